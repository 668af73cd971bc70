#include "cli/check_report.h"

#include "cli/messages.h"

#include "runtime/integer_text.h"
#include "runtime/record_file.h"

namespace kwt::cli {

std::string FormatCheck(const ProjectCheck& check) {
  std::string out = "project: " + check.project + "\n";
  if (!check.projectPresent) {
    out += "project file: missing\n";
    out += "verdict: " + VerdictText(check) + "\n";
    return out;
  }
  out += "project file: present\n";

  out += "version: " + IntegerText(check.version);
  if (!check.versionText) {
    out += " (not recorded)";
  } else if (*check.versionText != IntegerText(check.version)) {
    out += " (recorded as \"" + *check.versionText + "\")";
  }
  out += "\n";
  out += "layout: " + std::to_string(check.layout) + " (" + std::to_string(check.recordSize) +
         "-byte records)\n";
  out += "Count: " + IntegerText(check.count) + "\n";

  out += "contents: " + check.contentsPath;
  if (check.recordedContentsPath) {
    out += check.contentsFoundBesideProject ? " (found beside the project; the project records "
                                            : " (given; the project records ";
    out += *check.recordedContentsPath + ")";
  }
  out += "\n";
  out += std::string("contents file: ") + (check.contentsPresent ? "present" : "missing") + "\n";

  out += "contents size: ";
  if (check.contentsSize) {
    out += std::to_string(*check.contentsSize) + " bytes";
  } else if (!check.contentsPresent) {
    out += "none";
  } else {
    out += "unknown (" + IoMessage(static_cast<std::int32_t>(check.sizeError)) + ")";
  }
  out += "\n";

  const auto expected = check.ExpectedSize();
  out += "expected size: ";
  if (expected) {
    out += std::to_string(*expected) + " bytes (Count " + IntegerText(check.count) + " x " +
           std::to_string(check.recordSize) + ")";
  } else {
    out += "none (Count is negative)";
  }
  out += "\n";

  out += "sizes: ";
  if (check.contentsSize && expected) {
    out += *check.contentsSize == *expected ? "agree" : "disagree";
  } else {
    out += "unknown";
  }
  out += "\n";

  if (check.convertedLayout != 0) {
    out += "contents layout: " + std::to_string(check.convertedLayout) +
           " already (a conversion refuses it; the Version to record is " +
           std::to_string(check.convertedLayout) + ")\n";
  }
  // A project that cannot convert runs no pass.
  out += "passes: ";
  if (check.passes.empty() || check.ConversionWouldFail()) out += "none";
  for (std::size_t i = 0; i < check.passes.size() && !check.ConversionWouldFail(); ++i) {
    if (i > 0) out += ' ';
    out += check.passes[i];
  }
  out += "\n";
  out += "verdict: " + VerdictText(check) + "\n";
  return out;
}

std::string FailureReason(const ProjectCheck& check) {
  const std::string at = check.failurePath.empty() ? std::string() : " (" + check.failurePath + ")";
  const std::string layout = std::to_string(check.convertedLayout);
  switch (check.failure) {
    case CheckFailure::None: return {};
    case CheckFailure::ProjectMissing: return Say(Msg::ReasonProjectMissing);
    case CheckFailure::NotRegularFile: return Say(Msg::ReasonNotRegularFile, {at});
    case CheckFailure::NoContents: return Say(Msg::ReasonNoContents);
    case CheckFailure::NegativeCount: return Say(Msg::ReasonNegativeCount, {IntegerText(check.count)});
    case CheckFailure::ContentsMissing:
      // No KWT= at all is another matter than a file that is not there.
      if (check.contentsPath.empty()) return Say(Msg::ReasonNoContentsKey);
      return Say(Msg::ReasonContentsMissing, {at});
    case CheckFailure::ContentsUnreadable: return Say(Msg::ReasonContentsUnreadable, {at});
    case CheckFailure::TooFewRecords:
      return Say(Msg::ReasonTooFewRecords,
                 {IntegerText(check.count), std::to_string(check.recordsPresent.value_or(0))});
    case CheckFailure::AlreadyConverted: return Say(Msg::ReasonAlreadyConverted, {layout, layout});
    case CheckFailure::TemporaryBlocked: return Say(Msg::ReasonTemporaryBlocked, {at});
    case CheckFailure::PathTooLong: return Say(Msg::ReasonPathTooLong, {at});
    case CheckFailure::ReadOnly: return Say(Msg::ReasonReadOnly, {at});
    case CheckFailure::FolderBusy: return Say(Msg::ReasonFolderBusy, {at});
  }
  return {};
}

std::string VerdictText(const ProjectCheck& check) {
  switch (check.Outcome()) {
    case Verdict::UpToDate: return "up to date";
    case Verdict::WillFail: return "will fail: " + FailureReason(check);
    case Verdict::WillConvert: break;
  }
  std::string text = "will convert (";
  for (std::size_t i = 0; i < check.passes.size(); ++i) {
    if (i > 0) text += ", ";
    text += check.passes[i];
  }
  return text + ")";
}

}  // namespace kwt::cli
