// --check: the report of what a conversion would find and do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_plan.h"
#include "convert/restore.h"

namespace kwt::cli {

// The report, one "key: value" line each in the run's language (code page
// 932), ending with the verdict.
std::string FormatCheck(const ConversionPlan& check);

// What a conversion says about its contents file (contents), one text a
// note: kwtconv's notes and the --check lines.
std::vector<std::string> ContentsNoteTexts(const ContentsNotes& notes, std::string_view contents);

// Why a conversion would fail, in a few words (code page 932); empty for none.
std::string FailureReason(const ConversionPlan& check);

// The verdict line's text, in the run's language: in English "will convert
// (To103, To140)", "up to date" or "will fail: REASON".
std::string VerdictText(const ConversionPlan& check);

// --check --restore: the project, its backups and the verdict (code page 932).
std::string FormatRestoreCheck(const RestorePlan& plan);
// Why a project cannot be restored, in a few words; empty when it can.
std::string RestoreReason(const RestorePlan& plan);
// "will restore", "already restored" or "cannot restore: REASON".
std::string RestoreVerdictText(const RestorePlan& plan);

}  // namespace kwt::cli
