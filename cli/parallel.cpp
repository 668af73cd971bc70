#include "cli/parallel.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "cli/face.h"
#include "cli/outcome.h"
#include "cli/report.h"
#include "cli/stop_request.h"
#include "convert/conversion.h"
#include "convert/restore.h"
#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"

namespace kwt::cli {
namespace {

// What one project wrote, kept until the projects before it have been shown.
class RecordedConsole : public Console {
 public:
  void Write(Stream stream, std::string_view text) override {
    chunks_.emplace_back(stream, std::string(text));
  }
  void Flush(Stream) override {}
  bool IsTerminal(Stream) override { return false; }
  int Columns(Stream) override { return 0; }
  void ReplayTo(Console& console) const {
    for (const auto& [stream, text] : chunks_) {
      console.Write(stream, text);
      console.Flush(stream);
    }
  }

 private:
  std::vector<std::pair<Stream, std::string>> chunks_;
};

// Projects whose plans share a folder would collide on its hold: they run one
// after another, in one group. A folder counts by what it is, so that two
// spellings of one folder (a link, "..") are one; by its name where the
// system does not say.
std::vector<std::vector<std::size_t>> GroupsByFolder(const std::vector<ProjectName>& projects,
                                                     const Options& options) {
  std::vector<std::size_t> parent(projects.size());
  for (std::size_t i = 0; i < parent.size(); ++i) parent[i] = i;
  const auto root = [&parent](std::size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  };
  std::map<std::string, std::size_t> owner;
  const auto join = [&](const std::string& folder, std::size_t i) {
    const std::string name = folder.empty() ? std::string(".") : folder;
    platform::FileStamp stamp;
    const std::string key = platform::StampOf(name, stamp) == platform::error::kSuccess
                                ? std::to_string(stamp.device) + ":" + std::to_string(stamp.index)
                                : name;
    const auto [at, fresh] = owner.emplace(key, i);
    if (!fresh) parent[root(i)] = root(at->second);
  };
  const ConversionOptions conversion = ConversionOptionsOf(options);
  for (std::size_t i = 0; i < projects.size(); ++i) {
    join(FolderOf(projects[i].path), i);
    if (projects[i].error) continue;
    try {
      const std::vector<std::string> folders = options.restore
                                                   ? PlanRestore(projects[i].path, conversion).folders
                                                   : PlanConversion(projects[i].path, conversion).folders;
      for (const std::string& folder : folders) join(folder, i);
    } catch (const Exception&) {
      // An unreadable project file holds only its own folder before it fails.
    }
  }
  std::map<std::size_t, std::vector<std::size_t>> byRoot;
  for (std::size_t i = 0; i < projects.size(); ++i) byRoot[root(i)].push_back(i);
  std::vector<std::vector<std::size_t>> groups;
  for (auto& [first, members] : byRoot) groups.push_back(std::move(members));
  return groups;
}

}  // namespace

// -j: up to jobs projects at once, each group of projects that share a folder
// in one worker; results are shown in the order of the command line.
int RunParallel(const Options& options, const std::vector<ProjectName>& projects, Console& console) {
  const std::vector<std::vector<std::size_t>> groups = GroupsByFolder(projects, options);
  const std::int32_t width = options.width.value_or(kDefaultTargetWidth);
  const Display display = options.trace ? Display::Trace : Display::Silent;

  struct Done {
    RecordedConsole output;
    std::optional<Result> result;  // none: not started (the run was stopped)
    bool finished = false;
  };
  std::vector<Done> done(projects.size());
  std::mutex lock;
  std::condition_variable changed;
  std::atomic<std::size_t> nextGroup{0};
  const auto work = [&] {
    for (std::size_t g; (g = nextGroup++) < groups.size();) {
      for (const std::size_t i : groups[g]) {
        RecordedConsole output;
        std::optional<Result> result;
        if (!StopRequested()) {
          CommandLineFace face(output, display, width);
          Converter converter(face, ConversionOptionsOf(options));
          result = ConvertAndReport(converter, face, projects[i], options, output);
        }
        const std::lock_guard hold(lock);
        done[i].output = std::move(output);
        done[i].result = result;
        done[i].finished = true;
        changed.notify_all();
      }
    }
  };
  std::vector<std::thread> workers;
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(options.jobs), groups.size());
  for (std::size_t w = 0; w < count; ++w) workers.emplace_back(work);

  Tally tally;
  for (std::size_t i = 0; i < projects.size(); ++i) {
    std::unique_lock hold(lock);
    changed.wait(hold, [&] { return done[i].finished; });
    done[i].output.ReplayTo(console);
    if (!done[i].result) {
      ReportNotStarted(console, projects[i], options, tally);
      continue;
    }
    // An interruption stops the others at their next record.
    if (!tally.Add(*done[i].result)) RequestStop();
  }
  for (std::thread& worker : workers) worker.join();
  // -q prints errors only: the summary is not one.
  if (projects.size() >= 2 && !options.quiet) {
    ReportSummary(console, tally.converted, tally.upToDate, tally.failed, options.restore);
  }
  return Finish(console, tally.status);
}

}  // namespace kwt::cli
