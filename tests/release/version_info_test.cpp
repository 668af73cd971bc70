// Windows only: the version information built into both programs says what
// kwtconv.exe --version prints, so a user's Properties dialog and the command
// line never disagree about which release is installed.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/process.h"
#include "runtime/windows_api.h"
// After <windows.h>, which it needs.
#include <winver.h>

namespace kwt::testing {
namespace {

std::string Narrow(const std::wstring& wide) {
  std::string text;
  for (const wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
  return text;
}

struct VersionAnswer {
  std::string version;
  std::string copyright;
  std::string license;
};

// kwtconv.exe --version: "kwtconv (KWT Converter) X.Y.Z", the copyright line, the license line.
VersionAnswer AskVersion() {
  const ProcessResult result = RunProcess(KWT_KWTCONV_PATH, {"--version"});
  EXPECT_EQ(result.exitCode, 0);
  std::vector<std::string> lines;
  std::string line;
  for (const char c : result.out) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  EXPECT_EQ(lines.size(), 3u) << result.out;
  lines.resize(3);
  const std::string prefix = "kwtconv (KWT Converter) ";
  EXPECT_TRUE(lines[0].starts_with(prefix)) << lines[0];
  return {lines[0].starts_with(prefix) ? lines[0].substr(prefix.size()) : "", lines[1], lines[2]};
}

std::array<WORD, 4> VersionParts(const std::string& version) {
  std::array<unsigned, 3> parts{};
  EXPECT_EQ(std::sscanf(version.c_str(), "%u.%u.%u", &parts[0], &parts[1], &parts[2]), 3) << version;
  return {static_cast<WORD>(parts[0]), static_cast<WORD>(parts[1]), static_cast<WORD>(parts[2]), 0};
}

class VersionInfo {
 public:
  explicit VersionInfo(const std::string& program) {
    const std::wstring path = WindowsPath(program);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    EXPECT_NE(size, 0u) << program << " has no version information";
    data_.resize(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data_.data())) data_.clear();
  }

  std::string Value(const wchar_t* name) const {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (data_.empty() || !VerQueryValueW(data_.data(), key.c_str(), &value, &length) || length == 0)
      return "";
    std::wstring text(static_cast<const wchar_t*>(value), length);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return Narrow(text);
  }

  const VS_FIXEDFILEINFO* Fixed() const {
    void* value = nullptr;
    UINT length = 0;
    if (data_.empty() || !VerQueryValueW(data_.data(), L"\\", &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
      return nullptr;
    return static_cast<const VS_FIXEDFILEINFO*>(value);
  }

 private:
  std::vector<unsigned char> data_;
};

void ExpectVersionInfo(const std::string& program, const std::string& name, const VersionAnswer& answer) {
  SCOPED_TRACE(program);
  const VersionInfo info(program);
  EXPECT_EQ(info.Value(L"ProductName"), "KWT Converter");
  EXPECT_EQ(info.Value(L"ProductVersion"), answer.version);
  EXPECT_EQ(info.Value(L"FileVersion"), answer.version + ".0");
  EXPECT_EQ(info.Value(L"LegalCopyright"), answer.copyright);
  EXPECT_EQ(info.Value(L"OriginalFilename"), name + ".exe");
  EXPECT_TRUE(info.Value(L"FileDescription").starts_with("KWT Converter ")) << info.Value(L"FileDescription");

  const VS_FIXEDFILEINFO* fixed = info.Fixed();
  ASSERT_NE(fixed, nullptr);
  const auto parts = VersionParts(answer.version);
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(parts[0]) << 16 | parts[1]);
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(parts[2]) << 16 | parts[3]);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
}

TEST(VersionInfo, TheCommandLineProgramSaysWhatItPrints) {
  const VersionAnswer answer = AskVersion();
  EXPECT_EQ(answer.copyright, "Copyright (c) 2026 KWT Converter authors");
  EXPECT_EQ(answer.license, "MIT License");
  ExpectVersionInfo(KWT_KWTCONV_PATH, "kwtconv", answer);
}

TEST(VersionInfo, TheWindowProgramSaysWhatTheCommandLinePrints) {
  ExpectVersionInfo(KWT_KWTCONVW_PATH, "kwtconvw", AskVersion());
}

TEST(VersionInfo, TheWindowProgramsManifestCarriesTheVersion) {
  const std::string version = AskVersion().version;
  const HMODULE module = LoadLibraryExW(WindowsPath(KWT_KWTCONVW_PATH).c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
  const std::string manifest(bytes, SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_NE(manifest.find("name=\"KwtConverter.kwtconvw\" version=\"" + version + ".0\""), std::string::npos)
      << manifest;
}

}  // namespace
}  // namespace kwt::testing
