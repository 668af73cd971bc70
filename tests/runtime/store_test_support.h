// Real files in a private temporary folder for the project store's tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "kit/scoped_temp_dir.h"

namespace kwt::testing {

// A fresh folder, removed with everything in it when the test ends.
class TempFolder {
 public:
  const std::filesystem::path& path() const { return dir_.path(); }
  // The full path of name inside the folder, as the store takes it (ASCII names only).
  std::string File(std::string_view name) const { return (path() / std::string(name)).string(); }

 private:
  ScopedTempDir dir_{"kwt-store-"};
};

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path.string();
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << path.string();
}

inline std::string Golden(std::string_view name) {
  return ReadBytes(std::filesystem::path(KWT_STORE_GOLDEN_DIR) / std::string(name));
}

// Makes a file or folder read-only (no write permission bit; the read-only
// attribute on Windows).
inline void MakeReadOnly(const std::filesystem::path& path) {
  using std::filesystem::perms;
  std::filesystem::permissions(path, perms::owner_write | perms::group_write | perms::others_write,
                               std::filesystem::perm_options::remove);
}

}  // namespace kwt::testing
