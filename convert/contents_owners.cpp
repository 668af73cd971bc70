#include "convert/contents_owners.h"

#include "convert/contents_path.h"
#include "convert/conversion_plan.h"
#include "convert/project_folders.h"
#include "runtime/cp932_text.h"
#include "runtime/errors.h"
#include "runtime/ini_file.h"
#include "runtime/platform.h"

namespace kwt {

namespace {

std::string NameKey(std::string_view path) {
  return ansi::UpperCase(NameIn(path));
}

// The folder above folder, spelled so that FolderOf-style paths can be
// built on it: "../" above the current folder; the root is its own.
std::string FolderAbove(std::string_view folder) {
  if (folder.empty()) return "../";
  const std::string_view inner = folder.substr(0, folder.size() - 1);
  if (inner.empty()) return std::string(folder);
  return FolderOf(inner);
}

}  // namespace

std::vector<std::string> FoldersOfContentsOwners(std::string_view contentsPath, std::string_view project) {
  // From the full path, so that "./" and "../" have a folder above them.
  const std::string contentsFolder =
      FolderOf(platform::FullPath(contentsPath).value_or(std::string(contentsPath)));
  std::vector<std::string> folders;
  for (std::string folder : {contentsFolder, FolderAbove(contentsFolder), FolderOf(project)}) {
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(std::move(folder));
  }
  return folders;
}

const ContentsOwners::FolderIndex& ContentsOwners::IndexOf(const std::string& folder) {
  if (const auto known = folders_.find(folder); known != folders_.end()) return known->second;
  // Kept once read: a throw on the way leaves nothing half read behind.
  FolderIndex index;
  std::vector<platform::FolderEntry> entries;
  std::vector<platform::UnnamedEntry> unnamed;
  if (platform::ListFolder(folder, entries, unnamed) != platform::error::kSuccess) {
    return folders_[folder] = std::move(index);
  }
  for (const platform::FolderEntry& entry : entries) {
    if (entry.directory || !NamesProjectFile(entry.name)) continue;
    const std::string project = folder + entry.name;
    std::string stored;
    try {
      TMemIniFile store{project};
      store.SetCaseSensitivity(false);
      stored = store.ReadText(project_keys::kSection, project_keys::kContents, {});
      if (!stored.empty() && IsRelativePath(stored)) stored = FolderOf(store.ReplacementTarget()) + stored;
    } catch (const Exception&) {
      // A project file nobody can read here names nothing we could see.
      continue;
    }
    if (stored.empty()) continue;
    std::string real = RealContentsPath(stored);
    std::string key = NameKey(real);
    index.emplace(std::move(key), Named{project, std::move(real)});
  }
  return folders_[folder] = std::move(index);
}

std::string ContentsOwners::OtherProjectNaming(std::string_view folder, std::string_view contentsPath,
                                               std::string_view project) {
  const std::lock_guard lock(mutex_);
  const FolderIndex& index = IndexOf(std::string(folder));
  const auto [first, last] = index.equal_range(NameKey(contentsPath));
  for (auto it = first; it != last; ++it) {
    const Named& named = it->second;
    if (platform::SameFile(named.contents, contentsPath) && !platform::SameFile(named.project, project)) {
      return named.project;
    }
  }
  return {};
}

void ContentsOwners::Forget(std::string_view folder) {
  const std::lock_guard lock(mutex_);
  folders_.erase(std::string(folder));
}

}  // namespace kwt
