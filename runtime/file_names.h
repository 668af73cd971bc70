// Operations on file names and on files as wholes: the existence test,
// deleting and renaming, and the double-byte aware splitting of a path into
// its directory part and its name.
//
// Paths are code page 932 bytes. The splitting rules are Windows': a backslash
// separates directories, a colon ends a drive, and the second byte of a
// double-byte character is never a delimiter even when it has a backslash's
// value (表 is 95 5C). They are pure functions and behave the same on every
// platform. The POSIX build additionally treats '/' as a separator where it
// splits its own paths; that is PathStyle::Posix, and kNativePathStyle picks
// the one that fits the platform the program runs on.
//
// None of these operations raises or touches the I/O status; a failure shows
// only in the boolean result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The lead-byte set and the byte classes that the splitting rules use.
#include "runtime/cp932_text.h"

namespace kwt {

// True when a file that is not a directory exists at path. On Windows the
// directory search decides (the asterisk and question mark in the last
// component are wildcards; the first entry found counts); on POSIX stat does.
// The file's date plays no part: a file dated 1975 exists.
bool FileIsPresent(std::string_view path);
// True when the file was deleted.
bool RemoveFile(std::string_view path);
// The whole file's bytes, read through the platform; none when it cannot be
// opened or read, or is larger than limit bytes.
std::optional<std::string> ReadWholeFile(std::string_view path, std::uint64_t limit = std::uint64_t{1} << 31);
// True when the file now has the new path. Fails, changing nothing, when
// something already exists at to.
bool RenamePath(std::string_view from, std::string_view to);

// Which bytes separate the parts of a path: Windows' backslash and colon, or
// those plus '/' for the POSIX build's own paths.
enum class PathStyle { Windows, Posix };
#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// The delimiter set that the splitting operations use for style.
std::string_view PathDelimiters(PathStyle style);
// The directory separators of style (the delimiters without the colon).
std::string_view DirectorySeparators(PathStyle style);

// 1-based position of the last byte of text that is in delimiters and is not
// the trail byte of a double-byte character; 0 when there is none.
std::size_t LastPathDelimiter(std::string_view delimiters, std::string_view text,
                              const LeadByteSet& leads = kLeadByteSet);

// The path up to and including its last delimiter; empty when it has none.
std::string DirectoryPart(std::string_view path, PathStyle style = PathStyle::Windows);
// The path after its last delimiter; the whole path when it has none.
std::string NamePart(std::string_view path, PathStyle style = PathStyle::Windows);
// The directory part without its trailing separator, except where that
// separator belongs to a root ("C:\", "\") or follows a colon or another
// separator. That last test is on the plain byte, so the trail byte of 表
// (95 5C) keeps the separator after it: "C:\表\a" gives "C:\表\".
std::string ContainingDirectory(std::string_view path, PathStyle style = PathStyle::Windows);

// The folder part of a path as this system splits paths into folders: on
// Windows the backslash, the slash and the colon (a trail byte of a
// double-byte character never counts), on POSIX the slash alone, where a
// backslash or a colon is part of a name. Empty for a bare name (the current
// folder).
std::string FolderOf(std::string_view path);
// The name path has in its folder (the part after FolderOf), the one the held
// folder reaches it by.
std::string NameIn(std::string_view path);
// A folder part as messages name it: "." for the current folder.
std::string FolderShown(std::string_view folder);

}  // namespace kwt
