#include "convert/contents_path.h"

#include <vector>

#include "convert/contents_owners.h"
#include "convert/plan.h"
#include "convert/project_folders.h"
#include "runtime/cp932_text.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"

namespace kwt {
bool IsRelativePath(std::string_view path) {
  if (path.empty()) return false;
  if (path[0] == '\\' || path[0] == '/') return false;
  // "C:" names a drive (and "C:x" that drive's current folder): not ours to move.
  if (path.size() >= 2 && path[1] == ':') return false;
  return true;
}

bool InSystemFolder(std::string_view path) {
  if constexpr (kNativePathStyle == PathStyle::Windows) return false;
  for (const std::string_view folder : {"/dev/", "/proc/", "/sys/"}) {
    if (path.starts_with(folder)) return true;
  }
  // A folder link on the way (x -> /dev/shm) leads there all the same.
  return platform::IsSystemFolder(FolderOf(path));
}

// Followed one hop at a time so that a hop through a system folder is seen
// (/dev/stdin is a link into /proc, whatever file it reaches at last).
std::string RealContentsPath(const std::string& path) {
  std::string hop = path;
  for (int links = 0; links < 40 && !InSystemFolder(hop); ++links) {
    const std::optional<std::string> target = platform::LinkTarget(hop);
    if (!target) return platform::ReplacementTarget(path);
    hop = !target->empty() && target->front() == '/' ? *target : FolderOf(hop) + *target;
  }
  return hop;
}

namespace {

// The file of that name in the folder of the project file, its letter case
// ignored as Windows ignores it: a project made there and copied here keeps
// "Book.KWT" in its KWT while the copy's file may be "book.kwt". Empty when
// there is none.
std::string FileBesideProject(const std::string& projectFolder, std::string_view name) {
  std::string beside = projectFolder + std::string(name);
  if (FileIsPresent(beside)) return beside;
  std::vector<platform::FolderEntry> entries;
  std::vector<platform::UnnamedEntry> unnamed;
  if (platform::ListFolder(projectFolder, entries, unnamed) != platform::error::kSuccess) return {};
  const std::string wanted = ansi::UpperCase(name);
  std::string found;
  for (const platform::FolderEntry& entry : entries) {
    // The first in byte order, so that the choice never depends on the listing.
    if (!entry.directory && ansi::UpperCase(entry.name) == wanted && (found.empty() || entry.name < found))
      found = entry.name;
  }
  if (found.empty() || !FileIsPresent(projectFolder + found)) return {};
  return projectFolder + found;
}

}  // namespace

bool NamesContentsFile(std::string_view path) {
  return ansi::UpperCase(path).ends_with(".KWT");
}

std::string CopyBesideProject(const TMemIniFile& store, const ChosenContents& contents) {
  const std::string& named = contents.named;
  const std::string projectFolder = FolderOf(store.ReplacementTarget());
  const auto asFolder = [](const std::string& folder) { return folder.empty() ? std::string(".") : folder; };
  const std::string namedFolder = FolderOf(named);
  if (namedFolder == projectFolder || platform::SameFile(asFolder(namedFolder), asFolder(projectFolder)))
    return {};
  // Where a copy keeps the file below its folder, as deep as the named file
  // lies below each of the folders on its way: "data/book.KWT", ...
  std::vector<std::string> places;
  std::string below = NameIn(named);
  for (std::string folder = namedFolder; folder.size() > 1;) {
    const std::string inner = folder.substr(0, folder.size() - 1);
    const std::string part = NameIn(inner);
    if (part.empty() || part == "." || part == "..") break;
    below = part + folder.back() + below;
    folder = FolderOf(inner);
    places.push_back(below);
  }
  // The named file itself, found on the way down from the project's folder
  // (the project keeps its records in a subfolder): the project's own.
  for (const std::string& place : places) {
    if (platform::SameFile(projectFolder + place, named) &&
        platform::SameFile(asFolder(FolderOf(projectFolder + place)), asFolder(namedFolder))) {
      return {};
    }
  }
  std::string copy = FileBesideProject(projectFolder, NameIn(named));
  for (auto place = places.begin(); copy.empty() && place != places.end(); ++place) {
    if (FileIsPresent(projectFolder + *place)) copy = projectFolder + *place;
  }
  // The named file itself, by another name: no other file.
  if (copy.empty() || platform::SameFile(copy, named)) return {};
  return copy;
}

ChosenContents ChooseContentsPath(TMemIniFile& store, const ContentsChoice& choice) {
  ChosenContents chosen;
  chosen.stored = store.ReadText(project_keys::kSection, project_keys::kContents, {});
  const std::string projectFolder = FolderOf(store.ReplacementTarget());
  const std::string storedPath =
      choice.besideProject && IsRelativePath(chosen.stored) ? projectFolder + chosen.stored : chosen.stored;
  if (choice.given) {
    chosen.named = *choice.given;
    chosen.path = RealContentsPath(chosen.named);
    chosen.given = true;
    // A path that names no file (a moved project, another system's path)
    // stays as it is.
    chosen.givenInPlaceOfStored =
        !chosen.stored.empty() && FileIsPresent(storedPath) && !platform::SameFile(storedPath, chosen.path);
    return chosen;
  }
  chosen.path = storedPath;
  if (choice.findBesideProject && !FileIsPresent(chosen.path)) {
    // The name under every platform's delimiters, so that a Windows path
    // gives its name on POSIX too.
    const std::string name = NamePart(chosen.stored, PathStyle::Posix);
    if (!name.empty() && !NamesProjectFile(name)) {
      if (std::string beside = FileBesideProject(projectFolder, name); !beside.empty()) {
        chosen.path = std::move(beside);
        chosen.foundBesideProject = true;
      }
    }
  }
  chosen.named = chosen.path;
  chosen.path = RealContentsPath(chosen.path);
  return chosen;
}

std::string PathToRecord(const ChosenContents& contents) {
  return RealPathOf(contents.named);
}

}  // namespace kwt
