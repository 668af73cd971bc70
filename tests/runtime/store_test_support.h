// Real files in a private temporary folder for the project store's tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "kit/temp_folder.h"

namespace kwt::testing {

inline std::string Golden(std::string_view name) {
  return ReadBytes(std::filesystem::path(KWT_STORE_GOLDEN_DIR) / std::string(name));
}

}  // namespace kwt::testing
