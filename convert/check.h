// What a conversion of a project would find and do, read without changing a
// byte: the facts any face can show before converting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/contents_path.h"
#include "runtime/platform.h"

namespace kwt {

// Why a conversion of the project would not succeed; the faces put it in words.
enum class CheckFailure {
  None,
  ProjectMissing,
  NotRegularFile,
  NoContents,  // Count 0
  NegativeCount,
  ContentsMissing,
  ContentsUnreadable,
  TooFewRecords,     // Count above the records present
  AlreadyConverted,  // the contents have a later layout already
  TemporaryBlocked,  // TMP.DAT is a folder, or another opener holds it
  PathTooLong,       // the contents or temporary path is over 259 bytes
  ReadOnly,          // the contents or project file, or a folder, cannot be written
  FolderBusy,        // another conversion holds a folder
};

enum class Verdict { WillConvert, UpToDate, WillFail };

struct ProjectCheck {
  std::string project;
  bool projectPresent = false;

  // [KWJ] Version as the driver reads it, and its text as stored.
  std::int32_t version = 0;
  std::optional<std::string> versionText;
  // The layout the version stands for (102, 103 or 140) and its record size.
  std::int32_t layout = 0;
  std::uint32_t recordSize = 0;
  std::int32_t count = 0;

  // The contents file a conversion would use, and the one the project records
  // when another was given or found.
  std::string contentsPath;
  std::optional<std::string> recordedContentsPath;
  bool contentsFoundBesideProject = false;
  bool contentsPresent = false;
  std::optional<std::uint64_t> contentsSize;
  // Why the size is unknown although the file is present.
  platform::ErrorCode sizeError = platform::error::kSuccess;

  // The passes a conversion would run, in order.
  std::vector<std::string_view> passes;
  // The later layout that the contents file already has (a conversion would
  // refuse it), or 0.
  std::int32_t convertedLayout = 0;
  // The records the contents file holds in the recorded layout.
  std::optional<std::uint64_t> recordsPresent;

  CheckFailure failure = CheckFailure::None;
  // The file the failure is about (the read-only file, the busy folder's file).
  std::string failurePath;

  Verdict Outcome() const;

  // Count × record size; none for a negative Count.
  std::optional<std::uint64_t> ExpectedSize() const;
  // True when a conversion is sure to end with anything but success: the
  // project file is missing, or passes would run without records to convert
  // (Count 0 or negative, no contents file, fewer bytes than Count records, or
  // the records of a later layout already).
  bool ConversionWouldFail() const;
};

// Reads the project at path and its contents file, and foresees the
// conversion's outcome, changing nothing. Raises the project store's
// EFOpenError when the project file exists but cannot be read.
ProjectCheck CheckProject(std::string_view project, const ContentsChoice& choice);

}  // namespace kwt
