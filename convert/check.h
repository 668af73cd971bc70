// What a conversion of a project would find and do, read without changing a
// byte: the plan of the conversion, as any face can show it before converting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_plan.h"
#include "runtime/platform.h"

namespace kwt {

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
  // Count as stored, where it is stored.
  std::optional<std::string> countText;

  // The contents file a conversion would use, and the one the project records
  // when another was given or found.
  std::string contentsPath;
  std::optional<std::string> recordedContentsPath;
  bool contentsFoundBesideProject = false;
  // Given with --contents while the recorded path names another file: the
  // project names the given one once it has converted.
  bool contentsGivenInPlace = false;
  bool contentsPresent = false;
  std::optional<std::uint64_t> contentsSize;
  // Why the size is unknown although the file is present.
  platform::ErrorCode sizeError = platform::error::kSuccess;

  // The Version a stopped run left to be finished first, or 0.
  std::int32_t finishesStoppedRun = 0;
  // The passes a conversion would run, in order.
  std::vector<std::string_view> passes;
  // The later layout that the contents file already has (a conversion would
  // refuse it), or 0.
  std::int32_t convertedLayout = 0;
  // The records the contents file holds in the recorded layout.
  std::optional<std::uint64_t> recordsPresent;

  // Where the conversion would stop, exactly as it would: its error's text
  // and code (or the status it would leave).
  StopReason stop;
  // What the conversion would say about its contents file.
  ContentsNotes notes;

  Verdict Outcome() const;

  // Count × record size; none for a negative Count.
  std::optional<std::uint64_t> ExpectedSize() const;
  // True when a conversion is sure to end with anything but success.
  bool ConversionWouldFail() const;
};

// Plans the conversion of the project at path, changing nothing. Raises the
// project store's EFOpenError when the project file exists but cannot be read.
ProjectCheck CheckProject(std::string_view project, const ConversionOptions& options);

}  // namespace kwt
