#include "convert/project_folders.h"

#include <algorithm>

#include "convert/contents_path.h"
#include "runtime/cp932_text.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"

namespace kwt {

// Letter case ignored as names are matched everywhere: a to z only, double-
// byte characters whole.
bool NamesProjectFile(std::string_view path) {
  return ansi::UpperCase(path).ends_with(".KWJ");
}

bool NamesProjectFile(std::wstring_view path) {
  constexpr std::wstring_view kExtension = L".kwj";
  if (path.size() < kExtension.size()) return false;
  const std::wstring_view end = path.substr(path.size() - kExtension.size());
  return std::equal(end.begin(), end.end(), kExtension.begin(), [](wchar_t a, wchar_t b) {
    return (a >= L'A' && a <= L'Z' ? a + (L'a' - L'A') : a) == b;
  });
}

namespace {

// Whether an entry that has no code page 932 form may hold a project, and so
// must be told of: a project file, or with recursive a folder that would be
// looked into (links to folders never are).
bool MayHoldProject(const platform::UnnamedEntry& entry, bool recursive) {
  return entry.directory ? recursive && !entry.link : NamesProjectFile(entry.name);
}

// The folder's path with its closing delimiter, as paths inside it are made.
std::string AsFolder(const std::string& folder) {
  if (folder.empty() || NamePart(folder, kNativePathStyle).empty()) return folder;
#ifdef _WIN32
  return folder + "\\";
#else
  return folder + "/";
#endif
}

void Collect(const std::string& folder, bool recursive, const std::function<void()>& beforeFolder,
             std::vector<ListedName>& out) {
  if (beforeFolder) beforeFolder();
  std::vector<platform::FolderEntry> entries;
  std::vector<platform::UnnamedEntry> unnamed;
  if (const platform::ErrorCode code = platform::ListFolder(folder, entries, unnamed)) {
    out.push_back({ListedName::Kind::FolderUnreadable, folder, code});
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const platform::FolderEntry& a, const platform::FolderEntry& b) { return a.name < b.name; });
  for (const platform::FolderEntry& entry : entries) {
    if (!entry.directory && NamesProjectFile(entry.name))
      out.push_back({ListedName::Kind::Project, folder + entry.name, 0});
  }
  std::vector<std::string> passedOver;
  for (const platform::UnnamedEntry& entry : unnamed) {
    if (MayHoldProject(entry, recursive))
      passedOver.push_back(entry.directory ? AsFolder(entry.shown) : entry.shown);
  }
  if (!passedOver.empty()) {
    std::sort(passedOver.begin(), passedOver.end());
    const auto number = static_cast<std::uint32_t>(passedOver.size());
    out.push_back({ListedName::Kind::NamesPassedOver, folder, number, std::move(passedOver)});
  }
  if (!recursive) return;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.directory && !entry.link) Collect(AsFolder(folder + entry.name), recursive, beforeFolder, out);
  }
}

}  // namespace

std::vector<ListedName> ListProjects(const std::vector<std::string>& names, bool recursive,
                                     const std::function<void()>& beforeFolder) {
  std::vector<ListedName> listed;
  for (const std::string& name : names) {
    if (platform::KindOf(name) != platform::FileKind::Directory) {
      listed.push_back({ListedName::Kind::Project, name, 0});
      continue;
    }
    const std::size_t before = listed.size();
    Collect(AsFolder(name), recursive, beforeFolder, listed);
    if (listed.size() == before) listed.push_back({ListedName::Kind::FolderHoldsNoProject, name, 0});
  }
  return listed;
}

}  // namespace kwt
