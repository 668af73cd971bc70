// What the conversion benchmarks share: a generated project of layout-102
// records, a face that shows nothing, the floor that converting one record
// per call sets (the same reads, writes, flushes and moves with no record
// layer, no mapping and no status texts), and the reference that converting in
// blocks is held to: plain 1 MiB reads and writes with the same mappings,
// flushes and moves, and no record layer or status texts.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/content_records.h"
#include "convert/conversion.h"
#include "kit/quiet_face.h"
#include "kit/temp_folder.h"
#include "runtime/platform.h"

namespace kwt::bench {

using testing::QuietFace;

// A record with every string partly filled, told apart by its number.
inline ContentRecord102 SampleRecord(std::uint32_t number) {
  ContentRecord102 record;
  for (std::size_t i = 0; i < record.bytes.size(); ++i)
    record.bytes[i] = static_cast<std::uint8_t>('A' + i % 26);
  record.bytes[ContentRecord102::kText1] = 20;
  record.bytes[ContentRecord102::kText2] = 120;
  record.bytes[ContentRecord102::kText3] = 40;
  for (int i = 0; i < 4; ++i) {
    record.bytes[ContentRecord102::kValue2 + i] = static_cast<std::uint8_t>(number >> (8 * i));
  }
  return record;
}

// Writes folder/P.kwj (version 102, count records) and folder/D.KWT; returns
// the project's path. folder must exist and be plain ASCII.
inline std::string GenerateProject(const std::string& folder, std::uint32_t count) {
  const std::string contents = folder + "/D.KWT";
  {
    std::ofstream out(contents, std::ios::binary | std::ios::trunc);
    std::vector<char> chunk;
    constexpr std::uint32_t kPerChunk = 4096;
    for (std::uint32_t done = 0; done < count;) {
      chunk.clear();
      for (std::uint32_t i = 0; i < kPerChunk && done < count; ++i, ++done) {
        const auto record = SampleRecord(done);
        chunk.insert(chunk.end(), record.bytes.begin(), record.bytes.end());
      }
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
    if (!out) throw std::runtime_error("cannot write " + contents);
  }
  const std::string project = folder + "/P.kwj";
  {
    std::ofstream out(project, std::ios::binary | std::ios::trunc);
    out << "[KWJ]\r\nVersion=102\r\nCount=" << count << "\r\nKWT=" << contents << "\r\n";
    if (!out) throw std::runtime_error("cannot write " + project);
  }
  // On disk before the measured work starts, so that its flushes do not wait
  // for ours.
  for (const std::string& path : {contents, project}) {
    platform::FileHandle file;
    if (platform::Open(path, platform::Access::ReadWrite, platform::kShareRead,
                       platform::Creation::OpenExisting, file) != platform::error::kSuccess ||
        platform::Flush(file) != platform::error::kSuccess) {
      throw std::runtime_error("cannot flush " + path);
    }
  }
  return project;
}

// Writes folder/P.kwj as GenerateProject does, followed by keys key lines of
// 100 bytes each (ten to a section, spaces around the "=" as users write
// them) and, unless lineBytes is 0, a section with one line of lineBytes
// bytes; folder/D.KWT holds count records.
inline std::string GenerateLargeProject(const std::string& folder, std::uint32_t keys,
                                        std::uint32_t lineBytes, std::uint32_t count) {
  const std::string project = GenerateProject(folder, count);
  std::ofstream out(project, std::ios::binary | std::ios::app);
  constexpr std::uint32_t kKeysPerSection = 10;
  constexpr std::size_t kLineBytes = 100;
  std::string text;
  for (std::uint32_t key = 0; key < keys; ++key) {
    if (key % kKeysPerSection == 0) text.append("[Section").append(std::to_string(key / 10)).append("]\r\n");
    const std::size_t start = text.size();
    text.append("Key")
        .append(std::to_string(key % kKeysPerSection))
        .append(" = ")
        .append(std::to_string(key));
    text.append(1, ' ');
    text.append(start + kLineBytes - 2 - text.size(), 'v');
    text.append("\r\n");
    if (text.size() > (1u << 20)) {
      out << text;
      text.clear();
    }
  }
  if (lineBytes > 0) {
    text.append("[Long]\r\nLine=");
    text.append(lineBytes > 5 ? lineBytes - 5 : 0, 'x');
    text.append("\r\n");
  }
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + project);
  platform::FileHandle file;
  if (platform::Open(project, platform::Access::ReadWrite, platform::kShareRead,
                     platform::Creation::OpenExisting, file) != platform::error::kSuccess ||
      platform::Flush(file) != platform::error::kSuccess) {
    throw std::runtime_error("cannot flush " + project);
  }
  return project;
}

namespace detail {

inline void Require(platform::ErrorCode code, const char* what) {
  if (code != platform::error::kSuccess) throw std::runtime_error(std::string(what) + " failed");
}

// One pass of the floor: per record one read of sourceSize and one write of
// targetSize bytes, then the flush, the closes and the one-step move.
inline void FloorPass(const std::string& contents, const std::string& temporary, std::uint32_t count,
                      std::size_t sourceSize, std::size_t targetSize) {
  std::array<std::uint8_t, ContentRecord140::kSize> buffer{};
  platform::FileHandle source;
  platform::FileHandle target;
  Require(platform::Open(contents, platform::Access::ReadWrite, platform::kShareRead | platform::kShareWrite,
                         platform::Creation::OpenExisting, source),
          "open");
  Require(platform::Open(temporary, platform::Access::ReadWrite, platform::kShareNone,
                         platform::Creation::CreateAlways, target),
          "create");
  for (std::uint32_t i = 0; i < count; ++i) {
    std::size_t moved = 0;
    Require(platform::Read(source, buffer.data(), sourceSize, moved), "read");
    Require(platform::Write(target, buffer.data(), targetSize, moved), "write");
  }
  Require(platform::Flush(target), "flush");
  Require(platform::Close(source), "close");
  Require(platform::Close(target), "close");
  Require(platform::Replace(temporary, contents), "replace");
}

// One pass of the buffered reference: blocks of up to 1 MiB of target records
// read, mapped record by record (one target buffer carried from record to
// record, as a pass does) and written in one call each; then the flush, the
// project file's new text written beside it and flushed, the closes and the
// two one-step moves.
template <typename Source, typename Target, auto Map>
void BufferedPass(const std::string& contents, const std::string& temporary, const std::string& project,
                  std::uint32_t count, std::uint32_t version) {
  constexpr std::size_t kBlockRecords = (std::size_t{1} << 20) / Target::kSize;
  std::vector<Source> sources(kBlockRecords);
  std::vector<Target> targets(kBlockRecords);
  Target target;
  platform::FileHandle source;
  platform::FileHandle output;
  Require(platform::Open(contents, platform::Access::ReadWrite, platform::kShareRead | platform::kShareWrite,
                         platform::Creation::OpenExisting, source),
          "open");
  Require(platform::Open(temporary, platform::Access::ReadWrite, platform::kShareNone,
                         platform::Creation::CreateAlways, output),
          "create");
  for (std::uint32_t done = 0; done < count;) {
    const std::size_t records = std::min<std::size_t>(kBlockRecords, count - done);
    std::size_t moved = 0;
    Require(platform::Read(source, sources.data(), records * Source::kSize, moved), "read");
    if (moved != records * Source::kSize) throw std::runtime_error("short read");
    for (std::size_t i = 0; i < records; ++i) {
      Map(sources[i], target);
      targets[i] = target;
    }
    Require(platform::Write(output, targets.data(), records * Target::kSize, moved), "write");
    if (moved != records * Target::kSize) throw std::runtime_error("short write");
    done += static_cast<std::uint32_t>(records);
  }
  Require(platform::Flush(output), "flush");

  const std::string pending = project + "$$$";
  const std::string text = "[KWJ]\r\nVersion=" + std::to_string(version) +
                           "\r\nCount=" + std::to_string(count) + "\r\nKWT=" + contents + "\r\n";
  platform::FileHandle save;
  std::size_t moved = 0;
  Require(platform::Open(pending, platform::Access::ReadWrite, platform::kShareNone,
                         platform::Creation::CreateAlways, save),
          "create");
  Require(platform::Write(save, text.data(), text.size(), moved), "write");
  Require(platform::Flush(save), "flush");
  Require(platform::SyncFolderOf(pending), "sync");
  Require(platform::Close(save), "close");

  Require(platform::Close(source), "close");
  Require(platform::Close(output), "close");
  Require(platform::Replace(temporary, contents), "replace");
  Require(platform::Replace(pending, project), "replace");
}

}  // namespace detail

// Both passes' file work on folder/D.KWT, as the conversion of a layout-102
// project does it.
inline void FloorConvert(const std::string& folder, std::uint32_t count) {
  const std::string contents = folder + "/D.KWT";
  const std::string temporary = folder + "/TMP.DAT";
  detail::FloorPass(contents, temporary, count, ContentRecord102::kSize, ContentRecord103::kSize);
  detail::FloorPass(contents, temporary, count, ContentRecord103::kSize, ContentRecord140::kSize);
}

// Both passes of folder/P.kwj converted as plainly as buffering allows.
inline void BufferedConvert(const std::string& folder, std::uint32_t count) {
  const std::string contents = folder + "/D.KWT";
  const std::string temporary = folder + "/TMP.DAT";
  const std::string project = folder + "/P.kwj";
  detail::BufferedPass<ContentRecord102, ContentRecord103, MapTo103>(contents, temporary, project, count,
                                                                     103);
  detail::BufferedPass<ContentRecord103, ContentRecord140, MapTo140>(contents, temporary, project, count,
                                                                     140);
}

}  // namespace kwt::bench
