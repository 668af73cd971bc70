// What one project came to, in kwtconv's words: a conversion's or a
// restore's result turned into the line, the message and the notes that the
// reports write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/face.h"
#include "cli/options.h"
#include "cli/project_list.h"
#include "convert/conversion.h"
#include "convert/stop_reason.h"

namespace kwt::cli {

enum class Result { Converted, UpToDate, Failed, Interrupted };

// How one project ended, with what --json and the notes tell about it.
struct ProjectOutcome {
  std::string project;
  Result result = Result::Failed;
  // The status line's last text.
  std::string status;
  // The error's text, or the failing status; none on success.
  std::optional<std::string> message;
  // The message is kwtconv's own (from Say), not one of the system's texts.
  bool ownMessage = false;
  std::optional<std::int32_t> ioCode;
  std::optional<std::string> note;
  // A restore, not a conversion: its status is kwtconv's own words.
  bool restore = false;
  std::optional<std::string> contents;
  // None when the project file was never read.
  std::optional<std::int32_t> version;
  std::optional<std::int32_t> count;
  std::optional<std::uint64_t> recordsPresent;
  std::vector<std::string_view> passes;
  // Whose records: another project file that reads them (a refusal's), the
  // project files near them that could not be read, and whether writers were
  // kept out of the contents file.
  std::string otherProject;
  std::vector<std::string> unreadableProjects;
  bool writersKeptOut = true;
  // Why it did not convert (or restore); None when it did, or was up to date.
  Cause cause = Cause::None;
  // For a --check line: its verdict word, said in place of the outcome's.
  std::optional<std::string_view> verdict;
  // Whether its --json line says whose records the contents file holds: a
  // restore's check and a name that is no project do not.
  bool saysReaders = true;
};

// The conversion's options as the command line sets them.
ConversionOptions ConversionOptionsOf(const Options& options);

// Converts the project, or says why a name is none; the face shows the
// conversion as it runs.
ProjectOutcome ConvertOne(Converter& converter, CommandLineFace& face, const ProjectName& name,
                          const Options& options);
// Puts the project back from its backups (--restore).
ProjectOutcome RestoreOne(const ProjectName& name, const Options& options);

// What a run's projects came to, and the exit status they make.
struct Tally {
  std::size_t converted = 0;
  std::size_t upToDate = 0;
  std::size_t failed = 0;
  int status = kExitSuccess;

  // False once the run must end (an interruption). An interruption's status
  // stays whatever follows.
  bool Add(Result result) {
    switch (result) {
      case Result::Converted: ++converted; break;
      case Result::UpToDate: ++upToDate; break;
      case Result::Failed:
        ++failed;
        if (status != kExitInterrupted) status = kExitFailure;
        break;
      case Result::Interrupted:
        ++failed;
        status = kExitInterrupted;
        return false;
    }
    return true;
  }
};

}  // namespace kwt::cli
