// What a contents file's size and first record say about its layout, read
// without changing a byte.
#pragma once

#include <cstdint>
#include <string_view>

#include "convert/plan.h"

namespace kwt {

// The later layout (than recorded) that the contents file at path already has,
// or null. A file has a later layout when its size is exactly count records of
// it, and not count records of the recorded layout, and its first record has
// that layout's added strings empty, as every record we write has them. An old
// file with more records than count whose size matches by chance almost never
// has both. A file that cannot be read answers null: the open that follows
// reports why.
const Layout* LaterLayoutOfContents(const Layout& recorded, std::string_view path, std::int32_t count);

}  // namespace kwt
