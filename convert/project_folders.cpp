#include "convert/project_folders.h"

#include <algorithm>

#include "convert/contents_path.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"

namespace kwt {
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

void Collect(const std::string& folder, bool recursive, const std::function<void()>& beforeFolder,
             std::vector<ListedName>& out) {
  if (beforeFolder) beforeFolder();
  std::vector<platform::FolderEntry> entries;
  platform::UnnamedEntries unnamed;
  if (const platform::ErrorCode code = platform::ListFolder(folder, entries, unnamed)) {
    out.push_back({ListedName::Kind::FolderUnreadable, folder, code});
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::FolderEntry& a, const platform::FolderEntry& b) { return a.name < b.name; });
  for (const platform::FolderEntry& entry : entries) {
    if (!entry.directory && NamesProjectFile(entry.name))
      out.push_back({ListedName::Kind::Project, folder + entry.name, 0});
  }
  // Only names that may hold a project count: a .kwj file, or a folder that
  // would be looked into.
  const std::size_t passedOver = unnamed.projectFiles + (recursive ? unnamed.folders : 0);
  if (passedOver > 0) {
    out.push_back({ListedName::Kind::NamesPassedOver, folder, static_cast<std::uint32_t>(passedOver)});
  }
  if (!recursive) return;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.directory && !entry.link) Collect(AsFolder(folder + entry.name), recursive, beforeFolder, out);
  }
}

}  // namespace

std::vector<ListedName> ListProjects(const std::vector<std::string>& names, bool recursive,
                                     const std::function<void()>& beforeFolder) {
  std::vector<ListedName> listed;
  for (const std::string& name : names) {
    if (platform::KindOf(name) != platform::FileKind::Directory) {
      listed.push_back({ListedName::Kind::Project, name, 0});
      continue;
    }
    const std::size_t before = listed.size();
    Collect(AsFolder(name), recursive, beforeFolder, listed);
    if (listed.size() == before) listed.push_back({ListedName::Kind::FolderHoldsNoProject, name, 0});
  }
  return listed;
}

}  // namespace kwt
