#include "runtime/texts.h"

namespace kwt::texts {

std::string Format(std::string_view format, std::string_view value) {
  for (std::size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] == '%' && (format[i + 1] == 's' || format[i + 1] == 'd')) {
      std::string result(format.substr(0, i));
      result += value;
      result += format.substr(i + 2);
      return result;
    }
  }
  return std::string(format);
}

std::string Format(std::string_view format, std::initializer_list<std::string_view> values) {
  std::string result;
  auto next = values.begin();
  std::size_t i = 0;
  while (i < format.size()) {
    if (next != values.end() && format[i] == '%' && i + 1 < format.size() &&
        (format[i + 1] == 's' || format[i + 1] == 'd')) {
      result += *next++;
      i += 2;
    } else {
      result += format[i++];
    }
  }
  return result;
}

}  // namespace kwt::texts
