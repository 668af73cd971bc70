// The conversion plan: the record layouts a contents file can have, which
// layout a project's recorded version stands for, and which passes bring it
// to the newest one. Every face asks here instead of knowing the versions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "convert/content_records.h"

namespace kwt {

// The section and keys of the project file that the conversion reads and writes.
namespace project_keys {
inline constexpr std::string_view kSection = "KWJ";
inline constexpr std::string_view kVersion = "Version";
inline constexpr std::string_view kCount = "Count";
inline constexpr std::string_view kContents = "KWT";
}  // namespace project_keys

struct Layout {
  // Named after the format version that introduced it: 102, 103 or 140.
  std::int32_t number;
  std::uint32_t recordSize;
  // The length bytes of the strings this layout added. A pass writes them
  // empty, so a file of this layout written by us has them 0 in every record.
  std::span<const std::size_t> addedTexts;
  // Every short string of the record.
  std::span<const ShortStringField> strings;
};

enum class PassId { To103, To140 };

struct Pass {
  PassId id;
  std::string_view name;
  const Layout& from;
  const Layout& to;
  // The version the pass writes into the project file.
  std::int32_t stampedVersion;
};

// The layouts, oldest first.
std::span<const Layout> Layouts();
// The layout of a project's records: below 103 layout 102, from 103 to 139
// layout 103, from 140 on layout 140. The version decides, nothing else.
const Layout& LayoutForVersion(std::int32_t version);
// The layouts newer than the given one, oldest first.
std::span<const Layout> LaterLayouts(const Layout& layout);
// The passes a conversion runs for the recorded version, in order; none from 140.
std::span<const Pass> PassesFor(std::int32_t version);
const Pass& PassOf(PassId id);

// Count records of the layout, in bytes; none for a negative count.
inline bool ContentsSizeFor(const Layout& layout, std::int32_t count, std::uint64_t& size) {
  if (count < 0) return false;
  size = static_cast<std::uint64_t>(count) * layout.recordSize;
  return true;
}

}  // namespace kwt
