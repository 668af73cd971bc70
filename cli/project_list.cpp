#include "cli/project_list.h"

#include <algorithm>

#include "cli/messages.h"
#include "convert/contents_path.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"

namespace kwt::cli {
namespace {

// The folder's path with its closing delimiter, as paths inside it are made.
std::string AsFolder(const std::string& folder) {
  if (folder.empty() || NamePart(folder, kNativePathStyle).empty()) return folder;
#ifdef _WIN32
  return folder + "\\";
#else
  return folder + "/";
#endif
}

void Collect(const std::string& folder, bool recursive, std::vector<ProjectName>& out) {
  std::vector<platform::FolderEntry> entries;
  std::size_t unnamed = 0;
  if (const platform::ErrorCode code = platform::ListFolder(folder, entries, unnamed)) {
    out.push_back({folder, Say(Msg::FolderUnreadable, {std::to_string(code)})});
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::FolderEntry& a, const platform::FolderEntry& b) { return a.name < b.name; });
  for (const platform::FolderEntry& entry : entries) {
    if (!entry.directory && NamesProjectFile(entry.name)) out.push_back({folder + entry.name, std::nullopt});
  }
  if (unnamed > 0) {
    out.push_back({folder, Say(Msg::NamesPassedOver, {std::to_string(unnamed)})});
  }
  if (!recursive) return;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.directory && !entry.link) Collect(AsFolder(folder + entry.name), recursive, out);
  }
}

}  // namespace

std::vector<ProjectName> ExpandFolders(const std::vector<std::string>& arguments, bool recursive) {
  std::vector<ProjectName> projects;
  for (const std::string& argument : arguments) {
    if (platform::KindOf(argument) != platform::FileKind::Directory) {
      projects.push_back({argument, std::nullopt});
      continue;
    }
    const std::size_t before = projects.size();
    Collect(AsFolder(argument), recursive, projects);
    if (projects.size() != before) continue;
    // Projects only in its subfolders: -r is what the user wants.
    std::vector<ProjectName> below;
    if (!recursive) Collect(AsFolder(argument), true, below);
    const bool projectsBelow =
        std::any_of(below.begin(), below.end(), [](const ProjectName& project) { return !project.error; });
    projects.push_back(
        {argument, Say(projectsBelow ? Msg::FolderHoldsProjectsBelow : Msg::FolderHoldsNoProject)});
  }
  return projects;
}

}  // namespace kwt::cli
