#include "cli/check.h"

#include "convert/content_records.h"
#include "runtime/file_names.h"
#include "runtime/ini_file.h"
#include "runtime/integer_text.h"
#include "runtime/record_file.h"

namespace kwt::cli {
namespace {

constexpr std::string_view kSection = "KWJ";

}  // namespace

std::optional<std::uint64_t> ProjectCheck::ExpectedSize() const {
  if (count < 0) return std::nullopt;
  return static_cast<std::uint64_t>(count) * recordSize;
}

bool ProjectCheck::ConversionWouldFail() const {
  if (!projectPresent) return true;
  if (passes.empty()) return false;
  if (count <= 0 || !contentsPresent || !contentsSize) return true;
  return *contentsSize < *ExpectedSize();
}

ProjectCheck CheckProject(std::string_view project, const std::optional<std::string>& contentsOverride) {
  ProjectCheck check;
  check.project = std::string(project);
  check.projectPresent = FileIsPresent(project);
  if (!check.projectPresent) return check;

  // The store reads the file once and keeps no handle; it is never saved here.
  TMemIniFile store{std::string(project)};
  store.SetCaseSensitivity(false);
  check.version = store.ReadNumber(kSection, "Version", 0);
  if (const std::string text = store.ReadText(kSection, "Version", {}); !text.empty()) {
    check.versionText = text;
  }
  check.count = store.ReadNumber(kSection, "Count", 0);
  const std::string recorded = store.ReadText(kSection, "KWT", {});

  if (check.version < 103) {
    check.layout = 102;
    check.recordSize = ContentRecord102::kSize;
    check.passes = {"To103", "To140"};
  } else if (check.version < 140) {
    check.layout = 103;
    check.recordSize = ContentRecord103::kSize;
    check.passes = {"To140"};
  } else {
    check.layout = 140;
    check.recordSize = ContentRecord140::kSize;
  }

  check.contentsPath = contentsOverride.value_or(recorded);
  if (contentsOverride) check.recordedContentsPath = recorded;
  check.contentsPresent = FileIsPresent(check.contentsPath);
  if (check.contentsPresent) {
    // Opening for reading alone changes neither the bytes nor any date.
    platform::FileHandle file;
    std::uint64_t size = 0;
    check.sizeError =
        platform::Open(check.contentsPath, platform::Access::Read,
                       platform::kShareRead | platform::kShareWrite, platform::Creation::OpenExisting, file);
    if (check.sizeError == platform::error::kSuccess) check.sizeError = platform::Size(file, size);
    if (check.sizeError == platform::error::kSuccess) check.contentsSize = size;
  }
  return check;
}

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
