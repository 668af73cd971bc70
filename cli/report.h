// How kwtconv writes what projects came to: a text line and a note, or one
// --json line with every key, for a conversion, a restore or a check; and
// the summary and exit status of a run.
#pragma once

#include <cstddef>
#include <string_view>

#include "cli/console.h"
#include "cli/face.h"
#include "cli/options.h"
#include "cli/outcome.h"
#include "cli/project_list.h"
#include "convert/conversion_plan.h"
#include "convert/restore.h"

namespace kwt::cli {

inline constexpr std::string_view kProgram = "kwtconv";

// A project's result as text: one line, and a note where there is one.
void ReportText(Console& console, const ProjectOutcome& outcome, const Options& options);
// A conversion's or restore's --json line.
void ReportJson(Console& console, const ProjectOutcome& outcome);
// What --check found, and what --check --restore found, as --json lines.
void ReportCheckJson(Console& console, const ConversionPlan& check);
void ReportRestoreCheckJson(Console& console, const RestorePlan& plan);
// The --json line of a project --check could not read: nothing of it known.
void ReportUnreadableCheckJson(Console& console, const ProjectOutcome& failed);

// Converts (or restores) one project and writes its result to out.
Result ConvertAndReport(Converter& converter, CommandLineFace& face, const ProjectName& project,
                        const Options& options, Console& out);
// A project that a stop kept from starting still gets its result line.
void ReportNotStarted(Console& console, const ProjectName& project, const Options& options, Tally& tally);

// After two or more projects, the summary; then the exit status, which a
// failed write of the standard output turns into a failure.
void ReportSummary(Console& console, std::size_t converted, std::size_t upToDate, std::size_t failed,
                   bool restore);
int Finish(Console& console, int status);

}  // namespace kwt::cli
