// --check: the report of what a conversion would find and do.
#pragma once

#include <string>

#include "convert/check.h"

namespace kwt::cli {

// The report, one "key: value" line each, in code page 932.
std::string FormatCheck(const ProjectCheck& check);

}  // namespace kwt::cli
