// The path rules and ShortenPath on any bytes.
//
// Input: a flags byte (bit 0: POSIX separators as well; bit 1: a measure that
// weighs bytes unevenly; bit 2: double-byte awareness off for the byte
// classes), a width byte (the maximum width is its value minus 16, so
// negative widths occur), then the path.
//
// Byte classes are checked against a forward reading of the text, character
// by character from its start, which is how the bytes were written; the rules
// under test read backwards from the byte in question.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "runtime/file_names.h"
#include "runtime/path_shortening.h"

namespace {

using kwt::ByteClass;
using kwt::LeadByteSet;
using kwt::PathStyle;

// Paths longer than this say nothing new, and the forward model is quadratic
// on long runs of lead bytes.
constexpr std::size_t kLongestPath = 1024;

std::vector<ByteClass> ForwardClasses(std::string_view text, const LeadByteSet& leads) {
  std::vector<ByteClass> classes(text.size(), ByteClass::Single);
  if (!leads.Any()) return classes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (leads.Contains(text[i]) && i + 1 < text.size()) {
      classes[i] = ByteClass::Lead;
      // A NUL never completes a character: it is a byte of its own, and the
      // next character starts after it.
      if (text[i + 1] != '\0') classes[++i] = ByteClass::Trail;
    } else if (leads.Contains(text[i])) {
      classes[i] = ByteClass::Lead;  // a lead byte at the very end
    }
  }
  return classes;
}

// Records every text measured; widths are one unit per byte, or uneven.
class RecordingMeasure : public kwt::TextMeasure {
 public:
  explicit RecordingMeasure(bool uneven) : uneven_(uneven) {}
  std::int32_t TextWidth(std::string_view text) override {
    measured.emplace_back(text);
    return Width(text);
  }
  std::int32_t Width(std::string_view text) const {
    std::int32_t width = 0;
    for (const char byte : text) {
      const auto value = static_cast<unsigned char>(byte);
      width += !uneven_ ? 1 : value < 0x40 ? 0 : value < 0x80 ? 2 : 3;
    }
    return width;
  }
  std::vector<std::string> measured;

 private:
  bool uneven_;
};

void CheckClasses(std::string_view path, const LeadByteSet& leads) {
  const std::vector<ByteClass> expected = ForwardClasses(path, leads);
  for (std::size_t i = 0; i < path.size(); ++i)
    KWT_FUZZ_CHECK(kwt::ClassifyByte(path, i, leads) == expected[i]);
  KWT_FUZZ_CHECK(kwt::ClassifyByte(path, path.size(), leads) == ByteClass::Single);

  for (const std::string_view delimiters : {std::string_view("\\:"), std::string_view("\\:/")}) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
      if (path[i] != '\0' && delimiters.find(path[i]) != std::string_view::npos &&
          expected[i] != ByteClass::Trail) {
        last = i + 1;
      }
    }
    KWT_FUZZ_CHECK(kwt::LastPathDelimiter(delimiters, path, leads) == last);
  }
}

void CheckSplitting(std::string_view path, PathStyle style) {
  const std::string dir = kwt::DirectoryPart(path, style);
  const std::string name = kwt::NamePart(path, style);
  KWT_FUZZ_CHECK(dir + name == path);
  KWT_FUZZ_CHECK(kwt::LastPathDelimiter(kwt::PathDelimiters(style), name) == 0);
  KWT_FUZZ_CHECK(kwt::DirectoryPart(dir, style) == dir);

  // The containing directory is the directory part, at most one separator shorter.
  const std::string containing = kwt::ContainingDirectory(path, style);
  KWT_FUZZ_CHECK(dir.compare(0, containing.size(), containing) == 0);
  KWT_FUZZ_CHECK(containing.size() == dir.size() || containing.size() + 1 == dir.size());
  if (containing.size() + 1 == dir.size()) {
    KWT_FUZZ_CHECK(kwt::DirectorySeparators(style).find(dir.back()) != std::string::npos);
  }
}

void CheckShortening(std::string_view path, PathStyle style, bool uneven, std::int32_t maxWidth) {
  RecordingMeasure measure(uneven);
  const std::string result = kwt::ShortenPath(path, measure, maxWidth, style);
  const std::string name = kwt::NamePart(path, style);

  // The name is never cut, and the result fits unless only the name is left.
  KWT_FUZZ_CHECK(result.size() >= name.size() &&
                 result.compare(result.size() - name.size(), name.size(), name) == 0);
  KWT_FUZZ_CHECK(measure.Width(result) <= maxWidth || result == name);

  // The path itself is measured first unless it is only a name; every
  // candidate measured before the last one was too wide; a candidate that
  // fits ends the search and is the result.
  const auto& measured = measure.measured;
  if (name.size() == path.size()) {
    KWT_FUZZ_CHECK(measured.empty() && result == path);
    return;
  }
  KWT_FUZZ_CHECK(!measured.empty() && measured.front() == path);
  for (std::size_t i = 0; i + 1 < measured.size(); ++i) KWT_FUZZ_CHECK(measure.Width(measured[i]) > maxWidth);
  if (measure.Width(measured.back()) <= maxWidth) {
    KWT_FUZZ_CHECK(result == measured.back());
  } else {
    KWT_FUZZ_CHECK(result == name);
  }
  // Each step drops a directory or the drive: the number of steps is bounded
  // by the path's separators, with a few for the drive and the markers.
  KWT_FUZZ_CHECK(measured.size() <= path.size() + 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size - 2 > kLongestPath) return 0;
  const std::uint8_t flags = data[0];
  const PathStyle style = (flags & 1) != 0 ? PathStyle::Posix : PathStyle::Windows;
  const bool uneven = (flags & 2) != 0;
  const LeadByteSet leads = (flags & 4) != 0 ? LeadByteSet::None() : LeadByteSet::CodePage932();
  const std::int32_t maxWidth = static_cast<std::int32_t>(data[1]) - 16;
  const std::string_view path = kwt::fuzz::AsText(data + 2, size - 2);

  CheckClasses(path, leads);
  CheckSplitting(path, style);
  CheckShortening(path, style, uneven, maxWidth);
  return 0;
}
