// Files and folders dropped on the window: which projects a drop stands for,
// and what a run of them came to, for the status line and the closing box.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion.h"
#include "convert/restore.h"
#include "runtime/windows_api.h"

#include <shellapi.h>

namespace kwt::ui {

// The names of a drop as the system gives them, in its order; the drop's
// memory is given back.
std::vector<std::wstring> TakeDroppedNames(HDROP drop);

// The names given on a command line as Windows passes them (quoted, split
// by its rules), without the program's own name and without empty ones: the
// names of a drop made at start.
std::vector<std::wstring> CommandLineNames(const wchar_t* commandLine);

// The one project file of a drop of one name (a name ending in ".kwj" that is
// no folder and has a code page 932 form): the drop then converts exactly as
// that name accepted in the open dialog would.
std::optional<std::string> LoneProject(const std::vector<std::wstring>& names);

// One step of a run of dropped names.
struct RunItem {
  enum class Kind { Project, Failure, Skipped };
  Kind kind = Kind::Skipped;
  // Project: the path to convert (code page 932).
  std::string path;
  // Project and Failure: the name shown in the closing box, from the folder
  // the dropped name was in; Failure: the message shown beside it.
  std::string name;
  std::string message;
};

// The steps of a run: the names in byte order of their code page 932 form,
// each folder standing for the projects in it and its subfolders (by the core's
// ListProjects, links to folders found inside not followed). Other files and
// folders without a project are skipped; a name that does not exist, and a
// project or folder whose name has no code page 932 form, fail, like a folder
// that cannot be read or that has such names. beforeFolder runs before each
// folder is read.
std::vector<RunItem> PlanRun(const std::vector<std::wstring>& names,
                             const std::function<void()>& beforeFolder);

// The window's words for a backup that refused a conversion (BackupExists,
// BackupFailed), from what the refusal carries.
std::string BackupRefusalText(const StopReason& reason);
// The window's words for a restore that changed nothing, or failed.
std::string RestoreFailureText(const RestoreResult& result);

// What a run came to: of conversions, or of restores.
class RunTally {
 public:
  enum class Kind { Conversion, Restore };
  explicit RunTally(Kind kind = Kind::Conversion) : kind_(kind) {}

  // A conversion's outcome. A missing project or one without records fails
  // with its status text; an error with its message as the error box shows it,
  // and that a full disk was freed. A converted project whose new files could
  // not keep all permissions is listed after the failures.
  // A conversion that was stopped (Interrupted: only the user's stop asks
  // for one) is named as the stopped one.
  void Add(std::string_view name, const ConversionResult& result);
  // A project a stopped run did not start.
  void AddNotStarted() { ++notStarted_; }
  void AddRestore(std::string_view name, const RestoreResult& result);
  void AddFailure(std::string_view name, std::string_view message);
  void AddSkipped() { ++skipped_; }

  bool AnyFailed() const noexcept { return !failures_.empty(); }
  // The status line's last text: how many projects, how many converted (or
  // put back).
  std::string StatusText() const;
  // The closing box's text at its top: the four counts, and after a stop the
  // stopped project and those not started.
  std::string SummaryText() const;
  // The closing box's list: every failure, then every project that could not
  // keep all permissions, each part under its heading; empty when there are
  // none.
  std::string ListText() const;

 private:
  struct Failure {
    std::string name;
    std::string message;
  };
  Kind kind_;
  bool stopped_ = false;
  std::string stoppedName_;
  std::size_t notStarted_ = 0;
  std::size_t converted_ = 0;
  std::size_t upToDate_ = 0;
  std::size_t skipped_ = 0;
  std::vector<Failure> failures_;
  std::vector<std::string> permissionsNotKept_;
};

}  // namespace kwt::ui
