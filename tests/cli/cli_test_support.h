// Projects of real files in a private temporary folder, and kwtconv started as
// a process on them, for the command line's tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "cli/process.h"
#include "convert/content_records.h"
#include "kit/temp_folder.h"
#include "runtime/encoding.h"

namespace kwt::testing {

inline std::string Utf8(std::string_view cp932) {
  return encoding::Cp932ToUtf8(cp932).value();
}
inline std::string Cp932(std::string_view utf8) {
  return encoding::Utf8ToCp932(utf8).value();
}

// One layout-102 record with the given texts (code page 932) and values.
inline std::string Record102(std::string_view text1, std::string_view text2 = {}, std::string_view text3 = {},
                             std::uint8_t value1 = 1) {
  ContentRecord102 record;
  const auto put = [&](std::size_t offset, std::string_view text) {
    record.bytes[offset] = static_cast<std::uint8_t>(text.size());
    if (!text.empty()) std::memcpy(record.bytes.data() + offset + 1, text.data(), text.size());
  };
  record.bytes[ContentRecord102::kValue1] = value1;
  put(ContentRecord102::kText1, text1);
  put(ContentRecord102::kText2, text2);
  put(ContentRecord102::kText3, text3);
  return std::string(reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size());
}

// n layout-102 records ("record 0", "record 1", ...).
inline std::string Records102(int n) {
  std::string bytes;
  for (int i = 0; i < n; ++i) bytes += Record102("record " + std::to_string(i));
  return bytes;
}

// n zero-filled records of layout 103.
inline std::string Records103(int n) {
  return std::string(static_cast<std::size_t>(n) * ContentRecord103::kSize, '\0');
}

// A project file's text: section KWJ with the three keys (contents in code page 932).
inline std::string ProjectText(std::string_view version, std::string_view count, std::string_view contents) {
  return "[KWJ]\r\nVersion=" + std::string(version) + "\r\nCount=" + std::string(count) +
         "\r\nKWT=" + std::string(contents) + "\r\n";
}

// kwtconv, started as a user starts it.
inline ProcessResult Kwtconv(const std::vector<std::string>& arguments, bool readOutput = true) {
  return RunProcess(KWT_KWTCONV_PATH, arguments, readOutput);
}

}  // namespace kwt::testing
