// One JSON object on one line, for --json. Texts arrive as code page 932 and
// leave as UTF-8; bytes with no character become U+FFFD and mark the object
// as lossy, so a reader knows a name shown is not the name on disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kwt::cli {

class JsonObject {
 public:
  JsonObject& Text(std::string_view key, std::string_view cp932);
  JsonObject& MaybeText(std::string_view key, const std::optional<std::string>& cp932);
  JsonObject& Number(std::string_view key, std::int64_t value);
  JsonObject& Number(std::string_view key, const std::optional<std::uint64_t>& value);
  JsonObject& Texts(std::string_view key, const std::vector<std::string_view>& cp932);
  JsonObject& Flag(std::string_view key, bool value);
  // The object and a line break: ASCII only, every other character escaped.
  std::string Line() const;

 private:
  void Key(std::string_view key);
  void String(std::string_view cp932);

  std::string body_;
  bool lossy_ = false;
};

}  // namespace kwt::cli
