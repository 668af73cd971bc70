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

}  // namespace kwt::texts
