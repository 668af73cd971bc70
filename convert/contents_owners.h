// Which project files read a contents file. A contents file belongs to one
// project; a second project that reads it (a copy that still points at the
// original's records) would be left reading records of a layout it does not
// know once the first converts them. Decided by what the files are (their
// folders' and their own identities), never by how a path is spelt.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "runtime/platform.h"

namespace kwt {

// What reading a contents path reaches: the folder entry that a replacement
// by name changes (the folder where it really is, and the name in it, its
// final links followed) and the file it holds now. Two paths read the same
// records, now and after a replacement, when their entries are equal.
struct ContentsEntry {
  std::uint64_t folderDevice = 0;
  std::uint64_t folderIndex = 0;
  // The name in that folder, upper-cased as the application's system matches
  // names.
  std::string name;
  std::uint64_t fileDevice = 0;
  std::uint64_t fileIndex = 0;
  bool operator==(const ContentsEntry&) const = default;
};
// None when nothing can be reached there.
std::optional<ContentsEntry> EntryOf(std::string_view contentsPath);

// The path where the contents file at path really is: the real folder (every
// link on the way followed) and the name in it, as a project records a file
// the user chose. The path itself when the folder cannot be told.
std::string RealPathOf(std::string_view path);

// What looking for the readers of a contents file found.
struct ContentsReaders {
  // A project file, other than the one asked for, that reads the same
  // records; empty when none does.
  std::string other;
  // Project files looked at that could not be read (what they read is not
  // known), each once.
  std::vector<std::string> unreadable;
};

// The project files around contents files, each read once for the contents
// path it names, and kept for the rest of a run: a batch of many projects in
// one folder reads each of them once, not once per project. The index only
// proposes candidates; each answer compares identities again at the moment
// it is asked, since replacing files changes file numbers and the system
// reuses them. Safe to share between the threads of one run.
class ContentsOwners {
 public:
  // The projects of the run (a list, a folder run, -j, a window's drop): each
  // is a candidate reader of every contents file asked about.
  void AddRunProjects(std::span<const std::string> projects);
  // The project files that read the contents file at contentsPath (real, a
  // final link followed), other than project: looked for in the contents
  // file's real folder, its real parent and the folders in it, in the folder
  // the path named names before its links are followed and that folder's
  // parent, in the project's real folder, and among the run's projects.
  ContentsReaders ReadersOf(std::string_view contentsPath, std::string_view named, std::string_view project);
  // Forgets what project was read to name: it names another contents file now.
  void Forget(std::string_view project);

 private:
  // A project file by where it really is: its folder's identity and its name.
  using ProjectKey = std::tuple<std::uint64_t, std::uint64_t, std::string>;
  struct Candidate {
    std::string path;
    // The contents path it names, a relative one taken from its own folder;
    // empty when it names none.
    std::string contents;
    // The upper-cased name of the file it reaches (a final link followed).
    std::string nameKey;
    bool unreadable = false;
  };
  const Candidate& Read(const ProjectKey& key, const std::string& path);
  void ListOnce(const platform::RealFolderPlace& folder);

  std::mutex mutex_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> listed_;
  // The folders inside each contents folder asked about, listed once a run.
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::vector<std::optional<platform::RealFolderPlace>>>
      subfolders_;
  std::map<ProjectKey, Candidate> candidates_;
  // By name key, the candidates that may read a file of that name.
  std::multimap<std::string, ProjectKey> byName_;
  std::vector<std::string> runProjects_;
  bool runRead_ = false;
};

}  // namespace kwt
