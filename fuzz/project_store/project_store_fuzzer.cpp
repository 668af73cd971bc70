// The project-file loader and the saved text on any bytes, against a plain
// model of the file's rules: the store holds what the model reads, saving
// twice gives the same bytes, what was saved loads back to the same sections
// and lines, lookups find what a linear search finds (in either matching
// mode), and the writes this program makes change what the model changes.
// The same bytes loaded from a real file give the same store (checked for
// inputs whose length is a multiple of 8).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "kit/temp_folder.h"
#include "runtime/ini_file.h"

namespace {

struct Section {
  std::string name;
  std::vector<std::string> lines;
  bool operator==(const Section&) const = default;
};
using Content = std::vector<Section>;

// Every byte up to the space, control bytes included.
std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  // A NUL ends the text; each CR, LF or CR LF ends a line; a break at the
  // very end adds no empty line.
  text = text.substr(0, text.find('\0'));
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    lines.push_back(text.substr(0, end));
    std::size_t next = end;
    if (next < text.size() && text[next] == '\r') ++next;
    if (next < text.size() && text[next] == '\n') ++next;
    text.remove_prefix(next);
  }
  return lines;
}

Content ModelLoad(std::string_view text) {
  Content content;
  for (const std::string_view raw : SplitLines(text)) {
    const std::string_view line = Trim(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      content.push_back({std::string(Trim(line.substr(1, line.size() - 2))), {}});
    } else if (!content.empty()) {
      const std::size_t equals = line.find('=');
      content.back().lines.push_back(equals == std::string_view::npos
                                         ? std::string(line)
                                         : std::string(Trim(line.substr(0, equals))) + "=" +
                                               std::string(Trim(line.substr(equals + 1))));
    }
  }
  return content;
}

std::string ModelSave(const Content& content) {
  std::string text;
  for (const Section& section : content) {
    text += "[" + section.name + "]\r\n";
    for (const std::string& line : section.lines) text += line + "\r\n";
    text += "\r\n";
  }
  return text;
}

Content Snapshot(const kwt::TMemIniFile& store) {
  Content content;
  const kwt::THashedStringList& sections = store.Sections();
  for (std::size_t i = 0; i < sections.Count(); ++i) {
    Section section{std::string(sections.Strings(i)), {}};
    const kwt::THashedStringList& lines = *sections.Objects(i);
    for (std::size_t j = 0; j < lines.Count(); ++j) section.lines.emplace_back(lines.Strings(j));
    content.push_back(std::move(section));
  }
  return content;
}

// Names compare upper-cased unless case-sensitive: a to z only, and a
// double-byte character (lead byte 81-9F or E0-FC) passes whole.
std::string Fold(std::string_view name, bool caseSensitive) {
  std::string folded(name);
  if (caseSensitive) return folded;
  for (std::size_t i = 0; i < folded.size(); ++i) {
    const auto byte = static_cast<unsigned char>(folded[i]);
    if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) {
      ++i;
    } else if (byte >= 'a' && byte <= 'z') {
      folded[i] = static_cast<char>(byte - 'a' + 'A');
    }
  }
  return folded;
}

// The last matching section and, in it, the last matching key line; -1 when none.
std::pair<std::ptrdiff_t, std::ptrdiff_t> ModelFind(const Content& content, std::string_view section,
                                                    std::string_view key, bool caseSensitive) {
  const std::string wantedSection = Fold(section, caseSensitive);
  const std::string wantedKey = Fold(key, caseSensitive);
  for (std::size_t i = content.size(); i-- > 0;) {
    if (Fold(content[i].name, caseSensitive) != wantedSection) continue;
    const auto& lines = content[i].lines;
    for (std::size_t j = lines.size(); j-- > 0;) {
      const std::size_t equals = lines[j].find('=');
      if (equals != std::string::npos && Fold(lines[j].substr(0, equals), caseSensitive) == wantedKey) {
        return {static_cast<std::ptrdiff_t>(i), static_cast<std::ptrdiff_t>(j)};
      }
    }
    return {static_cast<std::ptrdiff_t>(i), -1};
  }
  return {-1, -1};
}

std::string ModelRead(const Content& content, std::string_view section, std::string_view key,
                      bool caseSensitive, std::string_view defaultValue) {
  const auto [i, j] = ModelFind(content, section, key, caseSensitive);
  if (j < 0) return std::string(defaultValue);
  const std::string& line = content[static_cast<std::size_t>(i)].lines[static_cast<std::size_t>(j)];
  return line.substr(line.find('=') + 1);
}

void ModelWrite(Content& content, std::string_view section, std::string_view key, std::string_view value,
                bool caseSensitive) {
  auto [i, j] = ModelFind(content, section, key, caseSensitive);
  if (i < 0) {
    content.push_back({std::string(section), {}});
    i = static_cast<std::ptrdiff_t>(content.size() - 1);
  }
  std::string line = std::string(key) + "=" + std::string(value);
  auto& lines = content[static_cast<std::size_t>(i)].lines;
  if (j < 0) {
    lines.push_back(std::move(line));
  } else {
    lines[static_cast<std::size_t>(j)] = std::move(line);
  }
}

// ASCII letters lowered byte by byte, trail bytes included: such a request
// must still find a name unless it changed a double-byte character.
std::string Lowered(std::string_view name) {
  std::string lowered(name);
  for (char& byte : lowered) {
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte - 'A' + 'a');
  }
  return lowered;
}

// Requests for a spread of the loaded names (at most about kProbes of them),
// as stored and lowered, plus the keys this program reads.
constexpr std::size_t kProbes = 24;

std::vector<std::pair<std::string, std::string>> Probes(const Content& content) {
  std::vector<std::pair<std::string, std::string>> probes = {
      {"KWJ", "Version"}, {"KWJ", "Count"}, {"KWJ", "KWT"}, {"kwj", "version"}, {"KWJ ", "Version"}};
  std::size_t total = 0;
  for (const Section& section : content) total += section.lines.size() + 1;
  const std::size_t step = total / kProbes + 1;
  std::size_t at = 0;
  for (const Section& section : content) {
    if (at++ % step == 0) probes.emplace_back(section.name, "");
    for (const std::string& line : section.lines) {
      if (at++ % step != 0) continue;
      const std::string name = line.substr(0, line.find('='));
      probes.emplace_back(section.name, name);
      probes.emplace_back(Lowered(section.name), Lowered(name));
    }
  }
  return probes;
}

void CheckLookups(kwt::TMemIniFile& store, const Content& content, bool caseSensitive) {
  constexpr std::string_view kDefault = "\x01(default)";
  for (const auto& [section, key] : Probes(content)) {
    KWT_FUZZ_CHECK(store.ReadText(section, key, kDefault) ==
                   ModelRead(content, section, key, caseSensitive, kDefault));
  }
}

// The same bytes loaded through a real file, in a folder of this process's own.
class Scratch {
 public:
  Scratch() : file_((dir_.path() / "project.kwj").string()) {}
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // The store loaded from a file holding bytes; the file is gone afterwards.
  Content Load(std::string_view bytes) const {
    {
      std::ofstream out(file_, std::ios::binary | std::ios::trunc);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.close();
      KWT_FUZZ_CHECK(!out.fail());
    }
    Content content = Snapshot(kwt::TMemIniFile(file_));
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
    return content;
  }

 private:
  kwt::testing::TempFolder dir_{"kwt-fuzz-"};
  std::string file_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Scratch scratch;
  const std::string_view text = kwt::fuzz::AsText(data, size);

  Content content = ModelLoad(text);
  kwt::TMemIniFile store = kwt::TMemIniFile::FromText("project.kwj", text);
  KWT_FUZZ_CHECK(Snapshot(store) == content);
  // A real file costs more than everything else here together, and its
  // reading does not depend on the bytes: one length in eight goes through it.
  if (size % 8 == 0) KWT_FUZZ_CHECK(scratch.Load(text) == content);

  // Saving twice gives the same bytes; they load back to the same store.
  const std::string saved = store.SavedText();
  KWT_FUZZ_CHECK(saved == ModelSave(content));
  KWT_FUZZ_CHECK(store.SavedText() == saved);
  const kwt::TMemIniFile reloaded = kwt::TMemIniFile::FromText("project.kwj", saved);
  KWT_FUZZ_CHECK(Snapshot(reloaded) == content);
  KWT_FUZZ_CHECK(reloaded.SavedText() == saved);

  // Lookups in both matching modes, and back: every switch must invalidate the indexes.
  CheckLookups(store, content, false);
  store.SetCaseSensitivity(true);
  CheckLookups(store, content, true);
  store.SetCaseSensitivity(false);
  CheckLookups(store, content, false);

  // The writes of a conversion (two version stamps), and a rewrite of some
  // loaded keys through lowered names; then the saved text round-trips again.
  std::vector<std::pair<std::string, std::string>> writes = {{"KWJ", "Version"}};
  for (std::size_t i = 0; i < content.size() && i < 4; ++i) {
    if (content[i].lines.empty()) continue;
    const std::string& line = content[i].lines.back();
    if (line.find('=') != std::string::npos) {
      writes.emplace_back(Lowered(content[i].name), Lowered(line.substr(0, line.find('='))));
    }
  }
  for (const std::int32_t version : {103, 140}) {
    for (const auto& [section, key] : writes) {
      store.WriteNumber(section, key, version);
      ModelWrite(content, section, key, std::to_string(version), false);
      KWT_FUZZ_CHECK(store.ReadNumber(section, key, 0) == version);
    }
    KWT_FUZZ_CHECK(Snapshot(store) == content);
    const std::string written = store.SavedText();
    KWT_FUZZ_CHECK(written == ModelSave(content));
    const kwt::TMemIniFile writtenBack = kwt::TMemIniFile::FromText("project.kwj", written);
    KWT_FUZZ_CHECK(Snapshot(writtenBack) == content);
    KWT_FUZZ_CHECK(writtenBack.SavedText() == written);
  }
  CheckLookups(store, content, false);
  return 0;
}
