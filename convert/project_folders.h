// Which projects a list of names stands for: the names as given, and for a
// folder the project files in it. Both faces expand folders by this one rule.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kwt {

// True for a name ending in ".kwj" (any letter case): a project file, never
// a project's contents. The wide form is for names that have no code page
// 932 form (a window's dropped names, a listing's unnamed entries); both
// fold a to z only.
bool NamesProjectFile(std::string_view path);
bool NamesProjectFile(std::wstring_view path);

struct ListedName {
  enum class Kind {
    // path is to be converted: a project file of a folder, or a name as given.
    Project,
    // path is a folder that could not be read; number is the system's code.
    FolderUnreadable,
    // path is a folder in which number names that may be projects (.kwj
    // files, and with recursive folders) have no code page 932 form; they
    // were passed over.
    NamesPassedOver,
    // path is a folder given by name that holds no project file.
    FolderHoldsNoProject,
  };
  Kind kind = Kind::Project;
  // Code page 932. A folder that was read ends in its delimiter; a folder
  // without projects is named as it was given.
  std::string path;
  std::uint32_t number = 0;
  // For NamesPassedOver: the names passed over as shown (see
  // platform::UnnamedEntry), in byte order, a folder's with its delimiter.
  std::vector<std::string> names = {};
};

// Each name as it is, or, for a folder, the .kwj files in it (any letter case,
// never a folder of that name) in byte order of their names, and with
// recursive those of its subfolders after them, each folder in name order.
// Links to folders found inside are not followed; a folder named by the
// caller is read even when it is a link, being the caller's own choice. A
// folder that gives no project gives an entry of its own. beforeFolder, when
// set, is called before each folder is read (a face that must stay
// responsive during a long listing).
std::vector<ListedName> ListProjects(const std::vector<std::string>& names, bool recursive,
                                     const std::function<void()>& beforeFolder = {});

}  // namespace kwt
