#include "ui/drop_run.h"

#include <algorithm>

#include "convert/contents_path.h"
#include "convert/project_folders.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/error_text.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"
#include "runtime/windows_handles.h"

namespace kwt::ui {
namespace {

struct Dropped {
  std::wstring wide;
  std::optional<std::string> path;
};

bool IsWideFolder(const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WideNameExists(const std::wstring& name) {
  return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A path below the folder the dropped name was in, shown from there.
std::string ShownName(const std::string& path, const std::string& base) {
  if (!base.empty() && path.size() > base.size() && path.compare(0, base.size(), base) == 0)
    return path.substr(base.size());
  return path;
}

std::string Count(std::size_t value) {
  return std::to_string(value);
}

}  // namespace

std::vector<std::wstring> TakeDroppedNames(HDROP drop) {
  std::vector<std::wstring> names;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    const UINT copied = DragQueryFileW(drop, i, name.data(), length + 1);
    name.resize(copied);
    if (!name.empty()) names.push_back(std::move(name));
  }
  DragFinish(drop);
  return names;
}

std::vector<std::wstring> CommandLineNames(const wchar_t* commandLine) {
  std::vector<std::wstring> names;
  int count = 0;
  wchar_t** const arguments = CommandLineToArgvW(commandLine, &count);
  const kwt::windows::LocalMemory owned(arguments);
  if (arguments == nullptr) return names;
  for (int i = 1; i < count; ++i) {
    if (arguments[i][0] != L'\0') names.emplace_back(arguments[i]);
  }
  return names;
}

std::optional<std::string> LoneProject(const std::vector<std::wstring>& names) {
  if (names.size() != 1) return std::nullopt;
  std::optional<std::string> path = encoding::WideToCp932(names[0]);
  if (!path || !NamesProjectFile(*path) || platform::KindOf(*path) == platform::FileKind::Directory)
    return std::nullopt;
  return path;
}

std::vector<RunItem> PlanRun(const std::vector<std::wstring>& names,
                             const std::function<void()>& beforeFolder) {
  std::vector<Dropped> dropped;
  for (const std::wstring& name : names) dropped.push_back({name, encoding::WideToCp932(name)});
  // Names without a code page 932 form last, among themselves as the system gave them.
  std::stable_sort(dropped.begin(), dropped.end(), [](const Dropped& a, const Dropped& b) {
    if (a.path && b.path) return *a.path < *b.path;
    return a.path.has_value() && !b.path.has_value();
  });

  std::vector<RunItem> items;
  for (const Dropped& name : dropped) {
    if (!name.path) {
      // It cannot even be looked into: only a project or a folder is missed,
      // or a name that is not there.
      if (NamesProjectFile(name.wide) || IsWideFolder(name.wide)) {
        items.push_back({RunItem::Kind::Failure,
                         {},
                         NamePart(WideToCp932Lossy(name.wide)),
                         WithClosingPeriod(texts::kRunNameHasNoForm)});
      } else if (!WideNameExists(name.wide)) {
        items.push_back({RunItem::Kind::Failure,
                         {},
                         NamePart(WideToCp932Lossy(name.wide)),
                         std::string(texts::kStatusFileMissing)});
      } else {
        items.push_back({RunItem::Kind::Skipped, {}, {}, {}});
      }
      continue;
    }
    const std::string& path = *name.path;
    const std::string base = DirectoryPart(path);
    const platform::FileKind kind = platform::KindOf(path);
    if (kind != platform::FileKind::Directory) {
      if (NamesProjectFile(path)) {
        // A missing project is the conversion's to report.
        items.push_back({RunItem::Kind::Project, path, ShownName(path, base), {}});
      } else if (kind == platform::FileKind::Missing) {
        items.push_back(
            {RunItem::Kind::Failure, {}, ShownName(path, base), std::string(texts::kStatusFileMissing)});
      } else {
        items.push_back({RunItem::Kind::Skipped, {}, {}, {}});
      }
      continue;
    }
    for (const ListedName& listed : ListProjects({path}, true, beforeFolder)) {
      const std::string shown = ShownName(listed.path, base);
      const std::string number = std::to_string(listed.number);
      switch (listed.kind) {
        case ListedName::Kind::Project:
          items.push_back({RunItem::Kind::Project, listed.path, shown, {}});
          break;
        case ListedName::Kind::FolderUnreadable:
          items.push_back({RunItem::Kind::Failure,
                           {},
                           shown,
                           WithClosingPeriod(texts::Format(texts::kRunFolderUnreadableFormat, number))});
          break;
        case ListedName::Kind::NamesPassedOver:
          items.push_back({RunItem::Kind::Failure,
                           {},
                           shown,
                           WithClosingPeriod(texts::Format(texts::kRunNamesPassedOverFormat, number))});
          break;
        case ListedName::Kind::FolderHoldsNoProject:
          items.push_back({RunItem::Kind::Skipped, {}, {}, {}});
          break;
      }
    }
  }
  return items;
}

namespace {

// The closing box's words for a project that did not convert, by why: the
// status or the error's text as the window shows them, a backup's refusal in
// the window's words, and a full disk with what was freed.
std::string FailureText(const ConversionResult& result) {
  const StopReason& reason = result.reason;
  switch (reason.cause) {
    case Cause::ProjectMissing:
    case Cause::ProjectPathTooLong: return std::string(texts::kStatusFileMissing);
    case Cause::NoContents:
    case Cause::CountUnreadable: return std::string(texts::kStatusNoContents);
    case Cause::BackupExists:
    case Cause::BackupFailed: return WithClosingPeriod(BackupRefusalText(reason));
    case Cause::DiskFull:
      if (result.temporaryRemoved) {
        return WithClosingPeriod(reason.text) +
               WithClosingPeriod(texts::Format(texts::kRunDiskFreedFormat, result.temporaryPath));
      }
      return WithClosingPeriod(reason.text);
    default: return WithClosingPeriod(reason.text);
  }
}

}  // namespace

void RunTally::Add(std::string_view name, const ConversionResult& result) {
  switch (result.outcome) {
    case ConversionOutcome::Converted:
      ++converted_;
      if (result.permissionsNotKept != 0) permissionsNotKept_.emplace_back(name);
      break;
    case ConversionOutcome::UpToDate: ++upToDate_; break;
    case ConversionOutcome::Interrupted:
      stopped_ = true;
      stoppedName_ = name;
      break;
    case ConversionOutcome::ProjectMissing:
    case ConversionOutcome::NoRecords:
    case ConversionOutcome::Refused:
    case ConversionOutcome::Failed: AddFailure(name, FailureText(result)); break;
  }
}

void RunTally::AddFailure(std::string_view name, std::string_view message) {
  failures_.push_back({std::string(name), std::string(message)});
}

void RunTally::AddRestore(std::string_view name, const RestoreResult& result) {
  switch (result.outcome) {
    case RestoreOutcome::Restored:
      ++converted_;
      if (result.permissionsNotKept != 0) permissionsNotKept_.emplace_back(name);
      break;
    case RestoreOutcome::AlreadyRestored: ++upToDate_; break;
    case RestoreOutcome::Refused:
    case RestoreOutcome::Failed:
    case RestoreOutcome::Interrupted: AddFailure(name, WithClosingPeriod(RestoreFailureText(result))); break;
  }
}

std::string RunTally::StatusText() const {
  const std::size_t projects = converted_ + upToDate_ + failures_.size() + (stopped_ ? 1 : 0) + notStarted_;
  const std::string_view format = kind_ == Kind::Restore         ? texts::kRestoreStatusFormat
                                  : stopped_ || notStarted_ != 0 ? texts::kRunStatusStoppedFormat
                                  : AnyFailed()                  ? texts::kRunStatusFailedFormat
                                                                 : texts::kRunStatusSucceededFormat;
  return texts::Format(format, {Count(projects), Count(converted_)});
}

std::string RunTally::SummaryText() const {
  if (kind_ == Kind::Restore) {
    std::string text = texts::Format(texts::kRestoredCountFormat, Count(converted_));
    text += '\n' + texts::Format(texts::kAlreadyRestoredCountFormat, Count(upToDate_));
    text += '\n' + texts::Format(texts::kRunFailedFormat, Count(failures_.size()));
    return text;
  }
  std::string text = texts::Format(texts::kRunConvertedFormat, Count(converted_));
  text += '\n' + texts::Format(texts::kRunUpToDateFormat, Count(upToDate_));
  text += '\n' + texts::Format(texts::kRunFailedFormat, Count(failures_.size()));
  text += '\n' + texts::Format(texts::kRunSkippedFormat, Count(skipped_));
  if (stopped_ || notStarted_ != 0) {
    text += '\n' + texts::Format(texts::kRunStoppedFormat, Count(stopped_ ? 1 : 0));
    if (stopped_) text += " (" + stoppedName_ + ")";
    text += '\n' + texts::Format(texts::kRunNotStartedFormat, Count(notStarted_));
  }
  return text;
}

std::string BackupRefusalText(const StopReason& reason) {
  if (reason.cause == Cause::BackupExists)
    return texts::Format(texts::kBackupExistsFormat, reason.backupPath);
  return texts::Format(texts::kBackupFailedFormat,
                       {reason.path, reason.backupPath, IoMessage(reason.ioCode.value_or(0))});
}

std::string RestoreFailureText(const RestoreResult& result) {
  const RestorePlan& plan = result.plan;
  const std::string& path = plan.reason.path.empty() ? plan.project : plan.reason.path;
  if (result.outcome == RestoreOutcome::Failed) {
    if (plan.reason.cause == Cause::ContentsChanged)
      return texts::Format(texts::kRestoreChangedMidwayFormat, path);
    return plan.reason.path.empty() ? plan.reason.text : plan.reason.text + " (" + plan.reason.path + ")";
  }
  if (result.outcome == RestoreOutcome::Interrupted) return plan.reason.text;
  std::string reason;
  switch (plan.reason.cause) {
    case Cause::BackupMissing: reason = texts::Format(texts::kRestoreBackupMissingFormat, path); break;
    case Cause::BackupsNotAPair: reason = texts::Format(texts::kRestoreBackupsNotAPairFormat, path); break;
    case Cause::NotConverted: reason = texts::Format(texts::kRestoreNotConvertedFormat, path); break;
    case Cause::BackupChanged: reason = texts::Format(texts::kRestoreBackupChangedFormat, path); break;
    case Cause::ProjectChanged:
    case Cause::ContentsChanged: reason = texts::Format(texts::kRestoreChangedFormat, path); break;
    case Cause::ProjectMissing:
    case Cause::ProjectPathTooLong: reason = texts::kStatusFileMissing; break;
    // Putting the old records back would leave another project reading them.
    case Cause::SharedContents:
      reason = texts::Format(texts::kSharedContentsFormat, {plan.contents, plan.reason.otherPath});
      break;
    case Cause::ProjectHasSecondName:
      reason = plan.reason.otherPath.empty()
                   ? texts::Format(texts::kProjectNamedElsewhereFormat, plan.project)
                   : texts::Format(texts::kProjectHasSecondNameFormat, {plan.project, plan.reason.otherPath});
      break;
    case Cause::FolderBusy:
    case Cause::FolderNotHeld:
    case Cause::DiskFull:
    case Cause::FileInUse:
    case Cause::AccessDenied:
    case Cause::IoFailure:
      // What the system said, where it said something.
      if (plan.reason.ioCode) {
        reason = IoMessage(*plan.reason.ioCode) + " (" + path + ")";
        break;
      }
      [[fallthrough]];
    case Cause::None:
    case Cause::ProjectNotRegularFile:
    case Cause::NotRegularFile:
    case Cause::ProjectUnreadable:
    case Cause::NoContents:
    case Cause::CountUnreadable:
    case Cause::NegativeCount:
    case Cause::ContentsMissing:
    case Cause::NotContentsFile:
    case Cause::SystemFolder:
    case Cause::ProjectFileAsWorkFile:
    case Cause::ContentsIsTemporary:
    case Cause::PathTooLong:
    case Cause::AlreadyConverted:
    case Cause::ContentsUnreadable:
    case Cause::TemporaryBlocked:
    case Cause::OthersLeftover:
    case Cause::ReadOnly:
    case Cause::CannotReplaceInOneStep:
    case Cause::TooFewRecords:
    case Cause::ProjectNotSaved:
    case Cause::BackupExists:
    case Cause::BackupFailed:
    case Cause::Interrupted: reason = texts::Format(texts::kRestoreCannotUseFormat, path); break;
  }
  return texts::Format(texts::kRestoreRefusedFormat, reason);
}

std::string RunTally::ListText() const {
  std::string text;
  if (!failures_.empty()) {
    text += texts::kRunFailuresHeading;
    for (const Failure& failure : failures_) {
      text += '\n' + failure.name;
      text += "\n  " + failure.message;
    }
  }
  if (!permissionsNotKept_.empty()) {
    if (!text.empty()) text += "\n\n";
    text += texts::kRunPermissionsNotKeptHeading;
    for (const std::string& name : permissionsNotKept_) text += '\n' + name;
  }
  return text;
}

}  // namespace kwt::ui
