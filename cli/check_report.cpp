#include "cli/check_report.h"

#include "runtime/integer_text.h"
#include "runtime/record_file.h"

namespace kwt::cli {

std::string FormatCheck(const ProjectCheck& check) {
  std::string out = "project: " + check.project + "\n";
  if (!check.projectPresent) {
    out += "project file: missing\n";
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
  if (check.recordedContentsPath) out += " (given; the project records " + *check.recordedContentsPath + ")";
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
           " already (a conversion refuses it; the Version to record is " + std::to_string(check.convertedLayout) +
           ")\n";
  }
  out += "passes: ";
  if (check.passes.empty()) out += "none";
  for (std::size_t i = 0; i < check.passes.size(); ++i) {
    if (i > 0) out += ' ';
    out += check.passes[i];
  }
  out += "\n";
  return out;
}

}  // namespace kwt::cli
