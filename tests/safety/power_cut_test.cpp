// A power cut after every call of a real two-pass conversion that changes the
// disk. The conversion runs once in this process with the POSIX backend's
// journal observed; a model of the file system then builds, for each step,
// every state the disk may hold after a cut there: data written since the
// file's last flush kept whole, lost or cut short; names created, moved or
// removed since their folder's last sync kept or lost, each subset in order.
// Each state is written out as real files and converted again by a fresh
// Converter, as the user would start it after the cut. The records must never
// be lost: before that run the contents file holds the records of the
// project's version or of a later pass, and the run either finishes the
// conversion correctly or refuses with a message and changes nothing.
// POSIX only: the journal is the POSIX backend's.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion.h"
#include "kit/quiet_face.h"
#include "runtime/errors.h"
#include "runtime/platform_journal.h"
#include "runtime/texts.h"
#include "safety/safety_test_support.h"

namespace kwt::testing {
namespace {

namespace fs = std::filesystem;
using platform::journal::FileId;

constexpr int kRecords = 3;
// Bounds on what one step may fan out into; the runs here stay far below them.
constexpr std::size_t kMaxNameSubsetsLog2 = 10;
constexpr std::size_t kMaxDataVariants = 6;
constexpr std::size_t kMaxStatesPerStep = 512;

// One journalled call, with names relative to the project's folder.
struct Step {
  enum class Kind { Opened, Written, Truncated, Flushed, Renamed, Unlinked, FolderSynced, FileSystemSynced };
  Kind kind;
  std::string name;
  std::string to;
  FileId file;
  std::uint64_t offset = 0;
  std::string bytes;

  std::string Shown() const {
    switch (kind) {
      case Kind::Opened: return "open " + name;
      case Kind::Written: return "write " + std::to_string(bytes.size()) + " at " + std::to_string(offset);
      case Kind::Truncated: return "truncate to " + std::to_string(offset);
      case Kind::Flushed: return "flush";
      case Kind::Renamed: return "rename " + name + " -> " + to;
      case Kind::Unlinked: return "unlink " + name;
      case Kind::FolderSynced: return "sync folder " + (name.empty() ? std::string(".") : name);
      case Kind::FileSystemSynced: return "sync file system";
    }
    return "?";
  }
};

Step MakeStep(Step::Kind kind, std::string name = {}, std::string to = {}, FileId file = {},
              std::uint64_t offset = 0, std::string bytes = {}) {
  return {kind, std::move(name), std::move(to), file, offset, std::move(bytes)};
}

// Collects the journal; anything outside the project's folder is noted as an
// error, since the model (and the conversion) should never go there.
class Recorder : public platform::journal::Observer {
 public:
  explicit Recorder(const fs::path& folder) : folder_(folder.lexically_normal()) {
    if (!folder_.has_filename()) folder_ = folder_.parent_path();
  }

  void Opened(std::string_view path, FileId file) override {
    steps.push_back(MakeStep(Step::Kind::Opened, NameOf(path), {}, file));
  }
  void Written(FileId file, std::uint64_t offset, std::string_view bytes) override {
    steps.push_back(MakeStep(Step::Kind::Written, {}, {}, file, offset, std::string(bytes)));
  }
  void Truncated(FileId file, std::uint64_t size) override {
    steps.push_back(MakeStep(Step::Kind::Truncated, {}, {}, file, size));
  }
  void Flushed(FileId file) override { steps.push_back(MakeStep(Step::Kind::Flushed, {}, {}, file)); }
  void Renamed(std::string_view from, std::string_view to) override {
    steps.push_back(MakeStep(Step::Kind::Renamed, NameOf(from), NameOf(to)));
  }
  void Unlinked(std::string_view path) override {
    steps.push_back(MakeStep(Step::Kind::Unlinked, NameOf(path)));
  }
  void FolderSynced(std::string_view folder) override {
    const fs::path full = fs::path(folder).lexically_normal();
    std::string name = full == folder_ ? std::string() : Relative(full, folder);
    steps.push_back(MakeStep(Step::Kind::FolderSynced, std::move(name)));
  }
  void FileSystemSynced() override { steps.push_back(MakeStep(Step::Kind::FileSystemSynced)); }

  std::vector<Step> steps;
  std::vector<std::string> outside;

 private:
  // Names below the project's folder, such as "data/book.KWT".
  std::string NameOf(std::string_view path) { return Relative(fs::path(path).lexically_normal(), path); }

  std::string Relative(const fs::path& full, std::string_view shown) {
    const fs::path relative = full.lexically_relative(folder_);
    if (relative.empty() || *relative.begin() == "..") outside.emplace_back(shown);
    return relative.generic_string();
  }

  fs::path folder_;
};

// Sets the recorder for one scope.
class Observing {
 public:
  explicit Observing(Recorder& recorder) { platform::journal::SetObserver(&recorder); }
  ~Observing() { platform::journal::SetObserver(nullptr); }
  Observing(const Observing&) = delete;
  Observing& operator=(const Observing&) = delete;
};

// The model's own number for a file: the system reuses an inode once a file
// is gone, but durable names may still reach the file that had it.
using FileNumber = int;

// What one folder may hold after a cut: names to files, files to bytes.
using State = std::map<std::string, std::pair<FileNumber, std::string>>;

// The file system as this model sees it: a file's data is durable from its
// last flush on, a name from its folder's last sync on; everything since is
// pending and may or may not survive.
class Model {
 public:
  void AddDurable(const std::string& name, FileId id, std::string bytes) {
    const FileNumber number = NewFile(id);
    files_[number] = {bytes, bytes, {}};
    durable_[name] = number;
    current_[name] = number;
  }

  // False for a call the model cannot place (a file it does not know).
  bool Apply(const Step& step) {
    switch (step.kind) {
      case Step::Kind::Opened: {
        // The file already under this name, or a new one (perhaps with a
        // reused inode).
        if (current_.contains(step.name) && live_.contains(step.file) &&
            current_[step.name] == live_[step.file]) {
          return true;
        }
        const FileNumber number = NewFile(step.file);
        names_.push_back({NameChange::Kind::Link, step.name, {}, number});
        current_[step.name] = number;
        return true;
      }
      case Step::Kind::Written:
      case Step::Kind::Truncated: {
        if (!live_.contains(step.file)) return false;
        File& file = files_[live_[step.file]];
        file.pending.push_back(step);
        ApplyData(file.current, step, step.bytes.size());
        return true;
      }
      case Step::Kind::Flushed: {
        if (!live_.contains(step.file)) return false;
        File& file = files_[live_[step.file]];
        file.durable = file.current;
        file.pending.clear();
        return true;
      }
      case Step::Kind::Renamed: {
        // A move between folders would be pending in two folders at once.
        if (!current_.contains(step.name) || FolderOf(step.name) != FolderOf(step.to)) return false;
        const FileNumber id = current_[step.name];
        names_.push_back({NameChange::Kind::Rename, step.name, step.to, id});
        current_.erase(step.name);
        current_[step.to] = id;
        return true;
      }
      case Step::Kind::Unlinked: {
        if (!current_.contains(step.name)) return false;
        names_.push_back({NameChange::Kind::Unlink, step.name, {}, current_[step.name]});
        current_.erase(step.name);
        return true;
      }
      case Step::Kind::FolderSynced: {
        // Only this folder's names become durable; changes elsewhere stay pending.
        const auto inFolder = [&](const std::string& name) { return FolderOf(name) == step.name; };
        std::erase_if(durable_, [&](const auto& entry) { return inFolder(entry.first); });
        for (const auto& [name, number] : current_) {
          if (inFolder(name)) durable_[name] = number;
        }
        std::erase_if(names_, [&](const NameChange& change) { return inFolder(change.name); });
        return true;
      }
      case Step::Kind::FileSystemSynced:
        durable_ = current_;
        names_.clear();
        for (auto& [id, file] : files_) {
          file.durable = file.current;
          file.pending.clear();
        }
        return true;
    }
    return false;
  }

  // Every state a cut now may leave (bounded, see the constants above).
  std::vector<State> CutStates() const {
    std::vector<State> states;
    for (const std::map<std::string, FileNumber>& names : NameOutcomes()) {
      // The files these names reach, each with the data it may have kept.
      std::vector<std::pair<FileNumber, std::vector<std::string>>> choices;
      for (const auto& [name, id] : names) {
        if (std::none_of(choices.begin(), choices.end(),
                         [id = id](const auto& c) { return c.first == id; })) {
          choices.emplace_back(id, DataOutcomes(files_.at(id)));
        }
      }
      std::vector<std::size_t> pick(choices.size(), 0);
      while (states.size() < kMaxStatesPerStep) {
        State state;
        for (const auto& [name, id] : names) {
          const auto at = std::find_if(choices.begin(), choices.end(),
                                       [id = id](const auto& c) { return c.first == id; });
          state[name] = {id, at->second[pick[static_cast<std::size_t>(at - choices.begin())]]};
        }
        states.push_back(std::move(state));
        std::size_t i = 0;
        while (i < pick.size() && ++pick[i] == choices[i].second.size()) pick[i++] = 0;
        if (i == pick.size()) break;
      }
    }
    return states;
  }

 private:
  struct File {
    std::string durable;
    std::string current;
    std::vector<Step> pending;
  };
  struct NameChange {
    enum class Kind { Link, Rename, Unlink };
    Kind kind;
    std::string name;
    std::string to;
    FileNumber file;
  };

  static std::string FolderOf(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
  }

  FileNumber NewFile(FileId id) {
    const auto number = static_cast<FileNumber>(files_.size());
    files_[number] = {};
    live_[id] = number;
    return number;
  }

  // A write or truncation, of which only the first keep bytes reach the disk.
  static void ApplyData(std::string& data, const Step& step, std::size_t keep) {
    if (step.kind == Step::Kind::Truncated) {
      data.resize(static_cast<std::size_t>(step.offset));
      return;
    }
    const auto offset = static_cast<std::size_t>(step.offset);
    if (data.size() < offset + keep) data.resize(offset + keep, '\0');
    data.replace(offset, keep, step.bytes, 0, keep);
  }

  // The durable data with a prefix of the pending writes: none, each whole
  // write in turn, and a cut half-way through each of them.
  static std::vector<std::string> DataOutcomes(const File& file) {
    std::vector<std::string> outcomes{file.durable};
    std::string data = file.durable;
    for (const Step& step : file.pending) {
      if (step.kind == Step::Kind::Written && step.bytes.size() > 1) {
        std::string cut = data;
        ApplyData(cut, step, step.bytes.size() / 2);
        outcomes.push_back(std::move(cut));
      }
      ApplyData(data, step, step.bytes.size());
      outcomes.push_back(data);
    }
    std::sort(outcomes.begin(), outcomes.end());
    outcomes.erase(std::unique(outcomes.begin(), outcomes.end()), outcomes.end());
    if (outcomes.size() > kMaxDataVariants) {
      // Keep the durable and the complete data, and a spread between them.
      std::vector<std::string> spread;
      for (std::size_t i = 0; i < kMaxDataVariants; ++i) {
        spread.push_back(outcomes[i * (outcomes.size() - 1) / (kMaxDataVariants - 1)]);
      }
      spread.push_back(file.durable);
      spread.push_back(file.current);
      outcomes = std::move(spread);
    }
    return outcomes;
  }

  // The durable names with each subset of the pending changes applied in order.
  std::vector<std::map<std::string, FileNumber>> NameOutcomes() const {
    const std::size_t n = std::min(names_.size(), kMaxNameSubsetsLog2);
    std::vector<std::map<std::string, FileNumber>> outcomes;
    for (std::uint64_t mask = 0; mask < (std::uint64_t{1} << n); ++mask) {
      std::map<std::string, FileNumber> names = durable_;
      for (std::size_t i = 0; i < names_.size(); ++i) {
        // Changes beyond the bound survive with the last one enumerated.
        const bool kept = i < n ? ((mask >> i) & 1) != 0 : ((mask >> (n - 1)) & 1) != 0;
        if (!kept) continue;
        const NameChange& change = names_[i];
        switch (change.kind) {
          case NameChange::Kind::Link: names[change.name] = change.file; break;
          case NameChange::Kind::Rename:
            names[change.to] = change.file;
            if (names.contains(change.name) && names[change.name] == change.file) names.erase(change.name);
            break;
          case NameChange::Kind::Unlink:
            if (names.contains(change.name) && names[change.name] == change.file) names.erase(change.name);
            break;
        }
      }
      outcomes.push_back(std::move(names));
    }
    return outcomes;
  }

  std::map<FileNumber, File> files_;
  // The file each inode now belongs to.
  std::map<FileId, FileNumber> live_;
  std::map<std::string, FileNumber> durable_;
  std::map<std::string, FileNumber> current_;
  std::vector<NameChange> names_;
};

// A state as one comparable text: names, which of them share a file, bytes.
std::string KeyOf(const State& state) {
  std::string key;
  std::map<FileNumber, std::size_t> shared;
  for (const auto& [name, file] : state) {
    const std::size_t index = shared.emplace(file.first, shared.size()).first->second;
    key +=
        name + '\0' + std::to_string(index) + '\0' + std::to_string(file.second.size()) + '\0' + file.second;
  }
  return key;
}

// Every file below the folder with its bytes, by names such as "data/book.KWT".
std::map<std::string, std::string> Listing(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_directory()) continue;
    const std::string name = entry.path().lexically_relative(folder).generic_string();
    files[name] = entry.is_regular_file() ? ReadWhole(entry.path()) : "<not a file>";
  }
  return files;
}

// Writes the state into the folder, which holds nothing else afterwards but
// the subfolder the project keeps its contents in; names that share a file
// are hard links to one file.
void Materialise(const fs::path& folder, const State& state, const std::string& subfolder) {
  for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
  if (!subfolder.empty()) fs::create_directory(folder / subfolder);
  std::map<FileNumber, fs::path> made;
  for (const auto& [name, file] : state) {
    const fs::path path = folder / name;
    if (const auto at = made.find(file.first); at != made.end()) {
      fs::create_hard_link(at->second, path);
      continue;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.second.data(), static_cast<std::streamsize>(file.second.size()));
    out.close();
    if (!out) ADD_FAILURE() << "cannot write " << path.string();
    made[file.first] = path;
  }
}

struct Variant {
  const char* name;
  bool backup;
  // The contents file's name below the project's folder.
  const char* contents;
};

struct Tally {
  int built = 0;
  int tried = 0;
  int finished = 0;
  int resumed = 0;
  int alreadyDone = 0;
  int refused = 0;
  std::vector<std::string> faults;
};

class PowerCut {
 public:
  explicit PowerCut(const Variant& variant) : variant_(variant) {
    contentsName_ = variant.contents;
    const std::size_t slash = contentsName_.rfind('/');
    if (slash != std::string::npos) subfolder_ = contentsName_.substr(0, slash);
    for (int i = 0; i < kRecords; ++i) {
      const std::string n = std::to_string(i);
      contents_[0] +=
          Record102("title " + n, "body of record " + n, "note " + n, static_cast<std::uint8_t>(i + 1));
    }
    contents_[1] = To103Records(contents_[0], kRecords);
    contents_[2] = To140Records(contents_[1], kRecords);
    project_[0] = "; written by hand\r\n[KWJ]\r\n  Version = 102\r\nCount=" + std::to_string(kRecords) +
                  "\r\nKWT=" + folder_.PathOf(contentsName_) + "\r\n\r\n[Notes]\r\nkeep=me\r\n";
    project_[1] = StampedProject(project_[0], 103);
    project_[2] = StampedProject(project_[1], 140);
  }

  const fs::path& FolderPath() const { return path_; }

  // The conversion, journalled; the steps it made, or nothing when it failed.
  std::vector<Step> Record(Model& model) {
    Materialise(path_, {{"book.kwj", {0, project_[0]}}, {contentsName_, {1, contents_[0]}}}, subfolder_);
    for (const auto& entry : fs::recursive_directory_iterator(path_)) {
      if (entry.is_directory()) continue;
      struct stat info {};
      EXPECT_EQ(::stat(entry.path().c_str(), &info), 0);
      model.AddDurable(entry.path().lexically_relative(path_).generic_string(),
                       {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)},
                       ReadWhole(entry.path()));
    }
    Recorder recorder(path_);
    {
      const Observing observing(recorder);
      QuietFace face(/*keepStatuses=*/true);
      Converter converter(face, {.contentsPath = std::nullopt, .backup = variant_.backup});
      converter.Convert(ProjectPath());
    }
    EXPECT_EQ(folder_.Read("book.kwj"), project_[2]);
    EXPECT_EQ(folder_.Read(contentsName_), contents_[2]);
    for (const std::string& path : recorder.outside)
      ADD_FAILURE() << "changed outside the project's folder: " << path;
    return recorder.steps;
  }

  // Checks one state and the run after it; adds what went wrong to the tally.
  void Try(const State& state, const std::string& where, Tally& tally) {
    ++tally.tried;
    Materialise(path_, state, subfolder_);
    const auto fault = [&](const std::string& what) { tally.faults.push_back(where + ": " + what); };

    const std::map<std::string, std::string> before = Listing(path_);
    const auto stageOf = [](const std::string* text, const std::string(&stages)[3]) {
      for (int i = 0; i < 3; ++i) {
        if (text && *text == stages[i]) return i;
      }
      return -1;
    };
    const auto find = [&](const std::string& name) -> const std::string* {
      const auto at = before.find(name);
      return at == before.end() ? nullptr : &at->second;
    };
    const int stage = stageOf(find("book.kwj"), project_);
    const int layout = stageOf(find(contentsName_), contents_);
    if (stage < 0) return fault("the project file is lost or broken");
    if (layout < 0) {
      return fault(find(contentsName_)
                       ? "the records are broken (" + std::to_string(find(contentsName_)->size()) + " bytes)"
                       : "the contents file is lost");
    }
    if (layout < stage) return fault("the project's version is ahead of its records");
    for (const auto& [name, original] :
         {std::pair{std::string("book.kwj.bak"), &project_[0]}, {contentsName_ + ".bak", &contents_[0]}}) {
      if (const std::string* backup = find(name); backup && *backup != *original) {
        fault(name + " is not the original");
      }
    }

    QuietFace face(/*keepStatuses=*/true);
    try {
      Converter converter(face, {.contentsPath = std::nullopt, .backup = variant_.backup});
      converter.Convert(ProjectPath());
    } catch (const Exception& error) {
      ++tally.refused;
      if (error.Message().empty()) fault("refused without a message");
      if (Listing(path_) != before)
        fault(std::string("refused (") + error.ClassName() + ") but changed the files");
      return;
    } catch (const std::exception& error) {
      return fault(std::string("failed with an unexpected error: ") + error.what());
    }
    const std::map<std::string, std::string> after = Listing(path_);
    const auto at = [&](const std::string& name) {
      const auto found = after.find(name);
      return found == after.end() ? std::string("<missing>") : found->second;
    };
    if (at("book.kwj") != project_[2]) fault("reported success, but the project is not at 140");
    if (at(contentsName_) != contents_[2])
      fault("reported success, but the records are not the converted ones");
    std::set<std::string> allowed{"book.kwj", contentsName_};
    if (variant_.backup) allowed.insert({"book.kwj.bak", contentsName_ + ".bak"});
    for (const auto& [name, bytes] : after) {
      if (!allowed.contains(name)) fault("left " + name + " behind");
    }
    if (variant_.backup && stage < 2 &&
        (at("book.kwj.bak") != project_[0] || at(contentsName_ + ".bak") != contents_[0])) {
      fault("finished without backups of the original");
    }
    if (stage == 2) {
      ++tally.alreadyDone;
    } else {
      ++tally.finished;
      if (std::find(face.statuses.begin(), face.statuses.end(), texts::kStatusResumed) !=
          face.statuses.end()) {
        ++tally.resumed;
      }
    }
  }

 private:
  std::string ProjectPath() const { return folder_.PathOf("book.kwj"); }

  Variant variant_;
  TempFolder folder_{NameBytes::Utf8};
  fs::path path_ = folder_.Path("");
  std::string contentsName_;
  std::string subfolder_;
  std::string contents_[3];
  std::string project_[3];
};

void CutAtEveryStep(const Variant& variant) {
  PowerCut cut(variant);
  Model model;
  const std::vector<Step> steps = cut.Record(model);
  ASSERT_GT(steps.size(), 10u) << "the journal is too short to be a conversion";

  Tally tally;
  std::set<std::string> seen;
  // Step 0 is the cut before the first call: the project as the user left it.
  for (std::size_t k = 0; k <= steps.size(); ++k) {
    if (k > 0 && !model.Apply(steps[k - 1])) {
      ADD_FAILURE() << "the model cannot place step " << k << ": " << steps[k - 1].Shown();
      break;
    }
    for (const State& state : model.CutStates()) {
      ++tally.built;
      if (!seen.insert(KeyOf(state)).second) continue;
      std::string names;
      for (const auto& [name, file] : state)
        names += " " + name + "(" + std::to_string(file.second.size()) + ")";
      cut.Try(state,
              "cut after step " + std::to_string(k) + (k ? " (" + steps[k - 1].Shown() + ")" : "") +
                  ", folder:" + names,
              tally);
    }
  }

  std::cout << variant.name << ": journal steps: " << steps.size() << "; power-cut states: " << tally.tried
            << " (of " << tally.built << " built); finished: " << tally.finished
            << " (from the saved project text: " << tally.resumed
            << "), already complete: " << tally.alreadyDone << "; refused: " << tally.refused
            << "; faults: " << tally.faults.size() << "\n";
  ::testing::Test::RecordProperty("journal_steps", static_cast<int>(steps.size()));
  ::testing::Test::RecordProperty("power_cut_states", tally.tried);
  ::testing::Test::RecordProperty("finished", tally.finished);
  ::testing::Test::RecordProperty("already_complete", tally.alreadyDone);
  ::testing::Test::RecordProperty("refused", tally.refused);
  for (std::size_t i = 0; i < std::min<std::size_t>(tally.faults.size(), 20); ++i)
    ADD_FAILURE() << tally.faults[i];
  EXPECT_TRUE(tally.faults.empty()) << tally.faults.size() << " states lost or broke the records";
  // Refusing keeps the records, but leaves the user to mend the project by
  // hand; the flushes and syncs are there so that no cut ever needs that, as
  // no kill does.
  EXPECT_EQ(tally.refused, 0) << "states that the next run could not finish by itself";
  // The cuts reached both sides of the replacements.
  EXPECT_GT(tally.finished, 0);
  EXPECT_GT(tally.alreadyDone, 0);
}

TEST(PowerCut, EveryStateAfterEveryDiskChangeKeepsTheRecords) {
  for (const Variant& variant :
       {Variant{"two passes", false, "book.KWT"}, Variant{"two passes with --backup", true, "book.KWT"},
        Variant{"contents in a subfolder", false, "data/book.KWT"},
        Variant{"contents in a subfolder, with --backup", true, "data/book.KWT"}}) {
    SCOPED_TRACE(variant.name);
    CutAtEveryStep(variant);
  }
}

}  // namespace
}  // namespace kwt::testing
