// Which project files name a contents file. A contents file belongs to one
// project; a second project that names it (a copy that still points at the
// original's records) would be left reading records of a layout it does not
// know once the first converts them.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kwt {

// The project files of the folders asked about, each read once for the
// contents path it names, and kept for the rest of a run: a batch of many
// projects in one folder reads each of them once, not once per project.
// Safe to share between the threads of one run.
class ContentsOwners {
 public:
  // A project file in folder (a directory part with its closing delimiter,
  // empty for the current folder) other than project that names the file at
  // contentsPath, compared as files (links followed); empty when none does.
  std::string OtherProjectNaming(std::string_view folder, std::string_view contentsPath,
                                 std::string_view project);
  // Forgets what was read in folder: a project there has been given another
  // contents path.
  void Forget(std::string_view folder);

 private:
  struct Named {
    std::string project;
    // The contents path it names, a relative one taken from its own folder.
    std::string contents;
  };
  // By the upper-cased name of the real file each names (a final link
  // followed): only a project naming a file of the same name can name the
  // same file, save a second hard link, which the plan refuses on its own.
  using FolderIndex = std::multimap<std::string, Named>;
  const FolderIndex& IndexOf(const std::string& folder);

  std::mutex mutex_;
  std::map<std::string, FolderIndex> folders_;
};

// The folders where a contents file's projects live: its own folder, the
// folder above it (a project keeps its records in a subfolder), and the
// converting project's folder. Each once, as spelled.
std::vector<std::string> FoldersOfContentsOwners(std::string_view contentsPath, std::string_view project);

}  // namespace kwt
