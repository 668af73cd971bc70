#include "convert/plan.h"

#include <array>

#include "convert/content_records.h"

namespace kwt {
namespace {

constexpr std::int32_t kVersion103 = 103;
constexpr std::int32_t kVersion140 = 140;

const std::array<Layout, 3> kLayouts = {{
    {102, ContentRecord102::kSize, {}, ContentRecord102::kStrings},
    {103, ContentRecord103::kSize, ContentRecord103::kAddedTexts, ContentRecord103::kStrings},
    {140, ContentRecord140::kSize, ContentRecord140::kAddedTexts, ContentRecord140::kStrings},
}};

const std::array<Pass, 2> kPasses = {{
    {PassId::To103, "To103", kLayouts[0], kLayouts[1], kVersion103},
    {PassId::To140, "To140", kLayouts[1], kLayouts[2], kVersion140},
}};

}  // namespace

std::span<const Layout> Layouts() {
  return kLayouts;
}

const Layout& LayoutForVersion(std::int32_t version) {
  // Both comparisons are strict: 102 and 139 still convert.
  if (version < kVersion103) return kLayouts[0];
  if (version < kVersion140) return kLayouts[1];
  return kLayouts[2];
}

std::span<const Layout> LaterLayouts(const Layout& layout) {
  const auto index = static_cast<std::size_t>(&layout - kLayouts.data());
  return std::span<const Layout>(kLayouts).subspan(index + 1);
}

std::span<const Pass> PassesFor(std::int32_t version) {
  const auto first = static_cast<std::size_t>(&LayoutForVersion(version) - kLayouts.data());
  return std::span<const Pass>(kPasses).subspan(first);
}

const Pass& PassOf(PassId id) {
  return id == PassId::To103 ? kPasses[0] : kPasses[1];
}

}  // namespace kwt
