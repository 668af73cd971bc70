#include "convert/contents_path.h"

#include "convert/conversion_plan.h"
#include "convert/plan.h"
#include "runtime/file_names.h"

namespace kwt {
namespace {

// A path that does not start at a root or a drive: resolved against a folder.
bool IsRelative(std::string_view path) {
  if (path.empty()) return false;
  if (path[0] == '\\' || path[0] == '/') return false;
  // "C:" names a drive (and "C:x" that drive's current folder): not ours to move.
  if (path.size() >= 2 && path[1] == ':') return false;
  return true;
}

}  // namespace

bool NamesProjectFile(std::string_view path) {
  if (path.size() < 4) return false;
  std::string ending(path.substr(path.size() - 4));
  for (char& byte : ending) {
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte - 'A' + 'a');
  }
  return ending == ".kwj";
}

ChosenContents ChooseContentsPath(TMemIniFile& store, const ContentsChoice& choice) {
  ChosenContents chosen;
  chosen.stored = store.ReadText(project_keys::kSection, project_keys::kContents, {});
  if (choice.given) {
    chosen.path = *choice.given;
    return chosen;
  }
  const std::string projectFolder = FolderOf(store.ReplacementTarget());
  chosen.path =
      choice.besideProject && IsRelative(chosen.stored) ? projectFolder + chosen.stored : chosen.stored;
  if (choice.findBesideProject && !FileIsPresent(chosen.path)) {
    // The name under every platform's delimiters, so that a Windows path
    // gives its name on POSIX too.
    const std::string name = NamePart(chosen.stored, PathStyle::Posix);
    const std::string beside = projectFolder + name;
    if (!name.empty() && !NamesProjectFile(name) && FileIsPresent(beside)) {
      chosen.path = beside;
      chosen.foundBesideProject = true;
    }
  }
  return chosen;
}

}  // namespace kwt
