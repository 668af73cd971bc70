#include "runtime/file_names.h"

#include "runtime/platform.h"

namespace kwt {

bool FileIsPresent(std::string_view path) {
  return !path.empty() && platform::IsFile(path);
}

bool RemoveFile(std::string_view path) {
  return platform::Delete(path) == platform::error::kSuccess;
}

bool RenamePath(std::string_view from, std::string_view to) {
  return platform::Move(platform::Place(from), platform::Place(to)) == platform::error::kSuccess;
}

std::string_view PathDelimiters(PathStyle style) {
  return style == PathStyle::Windows ? std::string_view("\\:") : std::string_view("\\:/");
}

std::string_view DirectorySeparators(PathStyle style) {
  return style == PathStyle::Windows ? std::string_view("\\") : std::string_view("\\/");
}

std::size_t LastPathDelimiter(std::string_view delimiters, std::string_view text, const LeadByteSet& leads) {
  std::size_t i = text.size();
  while (i > 0) {
    const char byte = text[i - 1];
    if (byte != '\0' && delimiters.find(byte) != std::string_view::npos) {
      if (ClassifyByte(text, i - 1, leads) != ByteClass::Trail) return i;
      // A trail byte is never first in the text, so its lead byte is there
      // to be skipped together with it.
      i -= 2;
    } else {
      --i;
    }
  }
  return 0;
}

std::string DirectoryPart(std::string_view path, PathStyle style) {
  return std::string(path.substr(0, LastPathDelimiter(PathDelimiters(style), path)));
}

std::string NamePart(std::string_view path, PathStyle style) {
  return std::string(path.substr(LastPathDelimiter(PathDelimiters(style), path)));
}

std::string ContainingDirectory(std::string_view path, PathStyle style) {
  std::size_t i = LastPathDelimiter(PathDelimiters(style), path);
  const std::string_view separators = DirectorySeparators(style);
  // The byte before the separator is compared as a plain byte: a trail byte
  // with a backslash's value keeps the separator, as a real one would.
  if (i > 1 && separators.find(path[i - 1]) != std::string_view::npos &&
      PathDelimiters(style).find(path[i - 2]) == std::string_view::npos) {
    --i;
  }
  return std::string(path.substr(0, i));
}

std::optional<std::string> ReadWholeFile(std::string_view path, std::uint64_t limit) {
  platform::FileHandle file;
  std::uint64_t size = 0;
  if (platform::Open(path, platform::Access::Read, platform::kShareRead, platform::Creation::OpenExisting,
                     file) ||
      platform::Size(file, size) || size > limit) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  for (std::size_t got = 0; got < bytes.size();) {
    std::size_t read = 0;
    if (platform::Read(file, bytes.data() + got, bytes.size() - got, read) || read == 0) return std::nullopt;
    got += read;
  }
  return bytes;
}

std::string FolderOf(std::string_view path) {
  if constexpr (kNativePathStyle == PathStyle::Windows) {
    // The system takes '/' as it takes the backslash ('/' is never a trail byte),
    // though the rule that shows paths keeps it in the name: what is opened
    // here must be split where the system splits it.
    return std::string(path.substr(0, LastPathDelimiter("\\/:", path)));
  } else {
    // '/' is never a trail byte of a double-byte character.
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
  }
}

std::string NameIn(std::string_view path) {
  return std::string(path.substr(FolderOf(path).size()));
}

std::string FolderShown(std::string_view folder) {
  return folder.empty() ? std::string(".") : std::string(folder);
}

}  // namespace kwt
