#include "cli/json.h"

#include "runtime/cp932_text.h"
#include "runtime/encoding.h"

namespace kwt::cli {

void JsonObject::Key(std::string_view key) {
  body_ += body_.empty() ? "{\"" : ",\"";
  body_ += key;
  body_ += "\":";
}

void JsonObject::String(std::string_view cp932) {
  const auto exact = encoding::Cp932ToUtf8(cp932);
  if (!exact) lossy_ = true;
  const std::string utf8 = exact ? *exact : Cp932ToUtf8Lossy(cp932);
  // Everything beyond ASCII as \u escapes: the line is then the same bytes in
  // every encoding the console may pass it through.
  static constexpr char kHex[] = "0123456789abcdef";
  const auto escape = [this](std::uint32_t unit) {
    body_ += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) body_ += kHex[(unit >> shift) & 15];
  };
  body_ += '"';
  for (std::size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      if (byte == '"' || byte == '\\') {
        body_ += '\\';
        body_ += static_cast<char>(byte);
      } else if (byte < 0x20) {
        escape(byte);
      } else {
        body_ += static_cast<char>(byte);
      }
      ++i;
      continue;
    }
    // A typed character is UTF-8 as the system gave it; bytes that form none
    // are U+FFFD, never read as part of what follows.
    const Utf8Step step = NextUtf8(std::string_view(utf8).substr(i));
    if (!step.valid) {
      lossy_ = true;
      escape(0xFFFD);
      i += step.length;
      continue;
    }
    const std::size_t length = step.length;
    std::uint32_t point = byte & (length == 4 ? 0x07 : length == 3 ? 0x0F : 0x1F);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      point = (point << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    if (point > 0xFFFF) {
      point -= 0x10000;
      escape(0xD800 + (point >> 10));
      escape(0xDC00 + (point & 0x3FF));
    } else {
      escape(point);
    }
    i += length;
  }
  body_ += '"';
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view cp932) {
  Key(key);
  String(cp932);
  return *this;
}

JsonObject& JsonObject::MaybeText(std::string_view key, const std::optional<std::string>& cp932) {
  if (!cp932) {
    Key(key);
    body_ += "null";
    return *this;
  }
  return Text(key, std::string_view(*cp932));
}

JsonObject& JsonObject::Number(std::string_view key, std::int64_t value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Number(std::string_view key, const std::optional<std::uint64_t>& value) {
  Key(key);
  body_ += value ? std::to_string(*value) : std::string("null");
  return *this;
}

JsonObject& JsonObject::Texts(std::string_view key, const std::vector<std::string_view>& cp932) {
  Key(key);
  body_ += '[';
  for (std::size_t i = 0; i < cp932.size(); ++i) {
    if (i > 0) body_ += ',';
    String(cp932[i]);
  }
  body_ += ']';
  return *this;
}

JsonObject& JsonObject::Flag(std::string_view key, bool value) {
  Key(key);
  body_ += value ? "true" : "false";
  return *this;
}

std::string JsonObject::Line() const {
  return (body_.empty() ? std::string("{") : body_) + ",\"lossy\":" + (lossy_ ? "true" : "false") + "}\n";
}

}  // namespace kwt::cli
