// How a pass moves its records from the contents file into the temporary file:
// one read and one write per record (the window, as its users have always
// seen it), or blocks of many records per call (the command line, for speed).
// Both convert the same records into the same bytes and raise the same error
// at the same record, with the records before it on disk, so what a pass shows
// and leaves behind does not depend on the stream it uses.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/stop_reason.h"
#include "runtime/record_file.h"

namespace kwt {

// Converts the records of source into target in order, one per Next: record
// by record, each read and write checked at once.
template <typename Source, typename Target, auto Map>
class PerRecordStream {
 public:
  PerRecordStream(RecordFile& source, RecordFile& target) : source_(source), target_(target) {}

  // Converts the next record; the I/O error of its read or its write is raised.
  void Next() {
    ReadRecord(source_, from_.bytes.data());
    RaisePendingIo();
    Map(from_, to_);
    WriteRecord(target_, to_.bytes.data());
    RaisePendingIo();
  }

 private:
  RecordFile& source_;
  RecordFile& target_;
  Source from_;
  // Kept from record to record: a mapping leaves the bytes after each string's
  // text as the record before left them, and those bytes reach the file.
  Target to_;
};

// The same conversion with many records per call. The Next that starts a block
// reads, maps and writes the whole block at once; each Next then answers for
// its own record, so a read or write that failed inside a block is raised at
// the very record where PerRecordStream raises it. Nothing is held back: by
// the time a record's error is raised, the records before it are written, and
// the file holds what PerRecordStream would have left (the bytes a short write
// took, nothing after them).
template <typename Source, typename Target, auto Map>
class BlockStream {
 public:
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

  // For a pass of count records: Next is called at most count times.
  BlockStream(RecordFile& source, RecordFile& target, std::int32_t count)
      : source_(source),
        target_(target),
        left_(static_cast<std::size_t>(std::max(count, 0))),
        sources_(std::min(left_, kBlockRecords)),
        targets_(sources_.size()) {}

  void Next() {
    if (next_ == taken_) Fill();
    if (next_ == written_) {
      SetIoStatus(failure_);
      RaisePendingIo();
    }
    ++next_;
  }

 private:
  static constexpr std::size_t kBlockRecords = kBlockBytes / Target::kSize;

  // The next block of the pass: every record read up to the first that did not
  // arrive, each mapped, then all that arrived written.
  void Fill() {
    taken_ = std::min(left_, sources_.size());
    left_ -= taken_;
    next_ = 0;
    const std::size_t arrived = ReadRecords(source_, sources_.data(), taken_);
    failure_ = TakeIoStatus();
    for (std::size_t i = 0; i < arrived; ++i) {
      Map(sources_[i], to_);
      targets_[i] = to_;
    }
    written_ = WriteRecords(target_, targets_.data(), arrived);
    // Short of what arrived, the write failed first.
    if (written_ < arrived) failure_ = TakeIoStatus();
  }

  RecordFile& source_;
  RecordFile& target_;
  // Records of the pass not yet taken into a block.
  std::size_t left_;
  std::vector<Source> sources_;
  std::vector<Target> targets_;
  // As in PerRecordStream: carried from record to record, across blocks too.
  Target to_;
  // In the current block: its records, the next one Next answers for, and how
  // many are on disk; the record after those raises failure_.
  std::size_t taken_ = 0;
  std::size_t next_ = 0;
  std::size_t written_ = 0;
  std::int32_t failure_ = 0;
};

}  // namespace kwt
