#include "convert/contents_owners.h"

#include <algorithm>

#include "convert/contents_path.h"
#include "convert/plan.h"
#include "convert/project_folders.h"
#include "runtime/cp932_text.h"
#include "runtime/file_names.h"
#include "runtime/ini_file.h"

namespace kwt {

namespace {

// The folder above a real folder (a full path with its closing delimiter):
// the parent's real place, or none at the root.
std::optional<platform::RealFolderPlace> RealParentOf(const platform::RealFolderPlace& folder) {
  const std::string& path = folder.path;
  return platform::RealFolder(path + ".." + path.back());
}

// The folder above folder as the path is written, every "." and ".." taken
// as text: where a copied project that reaches its records through a folder
// link keeps its own file (KWT=/shelf/p/lnk/book.KWT: the project is in
// /shelf/p). Only candidates come from it; identities decide.
std::string WrittenParentOf(std::string_view path) {
  std::string folder = FolderOf(platform::FullPath(path).value_or(std::string(path)));
  // Up one name, passing over "." and empty names, one more for each "..".
  for (int climbs = 1; climbs > 0 && folder.size() > 1;) {
    const std::string inner = folder.substr(0, folder.size() - 1);
    const std::string name = NameIn(inner);
    const std::string above = FolderOf(inner);
    if (above.empty() || (above == inner && inner.back() == ':')) break;
    if (name == "..") {
      ++climbs;
    } else if (!name.empty() && name != ".") {
      --climbs;
    }
    folder = above;
  }
  return folder;
}

// The folders in folder, links to folders passed over (a link elsewhere is
// no copy's home here).
std::vector<std::optional<platform::RealFolderPlace>> SubfoldersOf(const platform::RealFolderPlace& folder) {
  std::vector<std::optional<platform::RealFolderPlace>> subfolders;
  std::vector<platform::FolderEntry> entries;
  std::vector<platform::UnnamedEntry> unnamed;
  if (platform::ListFolder(folder.path, entries, unnamed) != platform::error::kSuccess) return subfolders;
  std::sort(entries.begin(), entries.end(),
            [](const platform::FolderEntry& a, const platform::FolderEntry& b) { return a.name < b.name; });
  for (const platform::FolderEntry& entry : entries) {
    if (entry.directory && !entry.link) {
      subfolders.push_back(platform::RealFolder(folder.path + entry.name + folder.path.back()));
    }
  }
  return subfolders;
}

bool Known(const std::vector<platform::RealFolderPlace>& folders, const platform::RealFolderPlace& folder) {
  return std::any_of(folders.begin(), folders.end(), [&](const platform::RealFolderPlace& known) {
    return known.device == folder.device && known.index == folder.index;
  });
}

}  // namespace

std::optional<ContentsEntry> EntryOf(std::string_view contentsPath) {
  const std::string real = RealContentsPath(std::string(contentsPath));
  const std::optional<platform::RealFolderPlace> folder = platform::RealFolder(FolderOf(real));
  platform::FileStamp file;
  if (!folder || platform::StampOf(platform::Place(real), file) != platform::error::kSuccess)
    return std::nullopt;
  return ContentsEntry{folder->device, folder->index, ansi::UpperCase(NameIn(real)), file.device, file.index};
}

std::string RealPathOf(std::string_view path) {
  const std::optional<platform::RealFolderPlace> folder = platform::RealFolder(FolderOf(path));
  return folder ? folder->path + NameIn(path) : std::string(path);
}

void ContentsOwners::AddRunProjects(std::span<const std::string> projects) {
  const std::lock_guard lock(mutex_);
  runProjects_.insert(runProjects_.end(), projects.begin(), projects.end());
  runRead_ = false;
}

const ContentsOwners::Candidate& ContentsOwners::Read(const ProjectKey& key, const std::string& path) {
  // Read again (its KWT was rewritten): what it named before goes.
  if (const auto known = candidates_.find(key); known != candidates_.end()) {
    for (const std::string& name : {known->second.nameKey, ansi::UpperCase(NameIn(known->second.contents))}) {
      const auto [first, last] = byName_.equal_range(name);
      for (auto it = first; it != last;) it = it->second == key ? byName_.erase(it) : std::next(it);
    }
  }
  Candidate candidate{path, {}, {}, false};
  const ScannedValue stored = ScanStoredValue(path, project_keys::kSection, project_keys::kContents);
  candidate.unreadable = stored.error != platform::error::kSuccess;
  if (stored.value && !stored.value->empty() && !stored.cut) {
    candidate.contents = IsRelativePath(*stored.value)
                             ? FolderOf(platform::ReplacementTarget(path)) + *stored.value
                             : *stored.value;
    candidate.nameKey = ansi::UpperCase(NameIn(RealContentsPath(candidate.contents)));
    byName_.emplace(candidate.nameKey, key);
    // Also by the name as written, should a link at its end lead elsewhere
    // by the time it is asked about.
    if (const std::string written = ansi::UpperCase(NameIn(candidate.contents)); written != candidate.nameKey)
      byName_.emplace(written, key);
  }
  return candidates_[key] = std::move(candidate);
}

void ContentsOwners::ListOnce(const platform::RealFolderPlace& folder) {
  if (!listed_.emplace(folder.device, folder.index).second) return;
  std::vector<platform::FolderEntry> entries;
  std::vector<platform::UnnamedEntry> unnamed;
  if (platform::ListFolder(folder.path, entries, unnamed) != platform::error::kSuccess) return;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.directory || !NamesProjectFile(entry.name)) continue;
    const ProjectKey key{folder.device, folder.index, entry.name};
    if (!candidates_.contains(key)) Read(key, folder.path + entry.name);
  }
}

ContentsReaders ContentsOwners::ReadersOf(std::string_view contentsPath, std::string_view named,
                                          std::string_view project) {
  const std::lock_guard lock(mutex_);
  ContentsReaders readers;
  const std::optional<ContentsEntry> ours = EntryOf(contentsPath);
  if (!ours) return readers;

  std::vector<platform::RealFolderPlace> folders;
  const auto lookIn = [&](std::optional<platform::RealFolderPlace> folder) {
    if (folder && !Known(folders, *folder)) folders.push_back(std::move(*folder));
  };
  if (const auto contentsFolder =
          platform::RealFolder(FolderOf(RealContentsPath(std::string(contentsPath))))) {
    lookIn(RealParentOf(*contentsFolder));
    // Projects that keep their records one folder up ("../book.KWT"), and
    // the copies of such a project's folder beside it.
    const auto key = std::make_pair(contentsFolder->device, contentsFolder->index);
    auto known = subfolders_.find(key);
    if (known == subfolders_.end()) known = subfolders_.emplace(key, SubfoldersOf(*contentsFolder)).first;
    for (const std::optional<platform::RealFolderPlace>& below : known->second) lookIn(below);
    lookIn(contentsFolder);
  }
  lookIn(platform::RealFolder(FolderOf(named)));
  lookIn(platform::RealFolder(WrittenParentOf(named)));
  lookIn(platform::RealFolder(FolderOf(project)));
  lookIn(platform::RealFolder(FolderOf(platform::ReplacementTarget(project))));
  for (const platform::RealFolderPlace& folder : folders) ListOnce(folder);
  if (!runRead_) {
    for (const std::string& path : runProjects_) {
      const std::optional<platform::RealFolderPlace> folder = platform::RealFolder(FolderOf(path));
      if (!folder) continue;
      const ProjectKey key{folder->device, folder->index, NameIn(path)};
      if (!candidates_.contains(key)) Read(key, path);
    }
    runRead_ = true;
  }

  const auto [first, last] = byName_.equal_range(ours->name);
  std::vector<ProjectKey> keys;
  for (auto it = first; it != last; ++it) keys.push_back(it->second);
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  for (const ProjectKey& key : keys) {
    const Candidate& candidate = candidates_.at(key);
    if (candidate.contents.empty() || platform::SameFile(candidate.path, project)) continue;
    if (EntryOf(candidate.contents) == ours) {
      readers.other = candidate.path;
      break;
    }
  }
  // The project files looked at whose records are not known.
  for (const auto& entry : candidates_) {
    const ProjectKey& key = entry.first;
    const bool lookedAt =
        std::any_of(folders.begin(), folders.end(), [&key](const platform::RealFolderPlace& f) {
          return std::get<0>(key) == f.device && std::get<1>(key) == f.index;
        });
    if (lookedAt && entry.second.unreadable) readers.unreadable.push_back(entry.second.path);
  }
  return readers;
}

void ContentsOwners::Forget(std::string_view project) {
  const std::lock_guard lock(mutex_);
  const std::optional<platform::RealFolderPlace> folder = platform::RealFolder(FolderOf(project));
  if (!folder) return;
  const ProjectKey key{folder->device, folder->index, NameIn(project)};
  if (candidates_.contains(key)) Read(key, folder->path + NameIn(project));
}

}  // namespace kwt
