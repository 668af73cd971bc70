#include "convert/check.h"

#include "convert/contents_layout.h"
#include "convert/plan.h"
#include "runtime/file_names.h"
#include "runtime/ini_file.h"
#include "runtime/record_file.h"

namespace kwt {

namespace keys = project_keys;

std::optional<std::uint64_t> ProjectCheck::ExpectedSize() const {
  if (count < 0) return std::nullopt;
  return static_cast<std::uint64_t>(count) * recordSize;
}

bool ProjectCheck::ConversionWouldFail() const {
  if (!projectPresent) return true;
  if (passes.empty()) return false;
  if (count <= 0 || !contentsPresent || !contentsSize || convertedLayout != 0) return true;
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
  check.version = store.ReadNumber(keys::kSection, keys::kVersion, 0);
  if (const std::string text = store.ReadText(keys::kSection, keys::kVersion, {}); !text.empty()) {
    check.versionText = text;
  }
  check.count = store.ReadNumber(keys::kSection, keys::kCount, 0);
  const std::string recorded = store.ReadText(keys::kSection, keys::kContents, {});

  const Layout& layout = LayoutForVersion(check.version);
  check.layout = layout.number;
  check.recordSize = layout.recordSize;
  for (const Pass& pass : PassesFor(check.version)) check.passes.push_back(pass.name);

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
    if (!check.passes.empty()) {
      if (const Layout* later = LaterLayoutOfContents(layout, check.contentsPath, check.count)) {
        check.convertedLayout = later->number;
      }
    }
  }
  return check;
}

}  // namespace kwt
