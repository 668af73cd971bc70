// What a contents file's size and records say about its layout, read without
// changing a byte.
#pragma once

#include <cstdint>
#include <string_view>

#include "convert/plan.h"
#include "runtime/platform.h"

namespace kwt {

// True when the contents file is exactly what a pass into layout
// wrote for count records: count records of it, the strings the pass adds
// empty in the first. Only proof enough together with the project text a
// stopped run left (see StoppedRunToFinish); never a reason to refuse.
// file is open for reading at its start, and is read from there.
bool ContentsWrittenAs(const Layout& layout, platform::FileHandle& file, std::int32_t count);

// A later layout that a contents file already has, and how sure that is.
struct LaterLayoutFinding {
  const Layout* layout = nullptr;
  // Proved by the records (or by exactly what a pass writes): the Version to
  // record can be named. Otherwise only the size and the records together
  // point to it, and the file may instead be the recorded layout's, cut short.
  bool certain = false;
  explicit operator bool() const noexcept { return layout != nullptr; }
};

// The later layout (than recorded) whose records the contents file already
// holds. A pass must refuse such a file: converting converted records
// again ruins them. Count does not decide (another project's Count, an old
// project file restored over records the application has added to since):
// - certain: the file cannot be the recorded layout's (a string's length
//   byte above its capacity somewhere in the file read as that layout,
//   partial last record included), and every whole record of the later
//   layout has its length bytes within capacity; or its size is no whole
//   number of recorded records and it is exactly count records as a pass
//   into the later layout writes them;
// - not certain: its size is a whole number of the later layout's records and
//   not of the recorded layout's, or it is exactly count records as a pass
//   into the later layout writes them at a size both layouts divide; and
//   every whole record of the later layout has its length bytes within
//   capacity.
// Where two later layouts would do, the one the size tells is named: exactly
// count records as a pass writes them, else a whole number of records, else
// the older.
// A genuine file of the recorded layout is refused only where nothing in it
// tells it from a converted one: cut short inside a record at a size that is
// a whole number of later records, or holding more records than Count at
// exactly Count later records' size, with the strings the later layout adds
// empty in its first record, and its bytes reading as both layouts. The
// refusal changes nothing and names no Version; converting a converted file
// again could not be undone. A file that cannot be read answers nothing:
// the open that follows reports why.
// file is open for reading at its start, and is read from there.
LaterLayoutFinding LaterLayoutOfContents(const Layout& recorded, platform::FileHandle& file,
                                         std::int32_t count);
// The same for the file at path, as a check looks.
LaterLayoutFinding LaterLayoutOfContents(const Layout& recorded, std::string_view path, std::int32_t count);

}  // namespace kwt
