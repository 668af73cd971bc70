// The projects a command line names: project files as given, and the .kwj
// files of the folders given.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kwt::cli {

struct ProjectName {
  // The path to convert (code page 932).
  std::string path;
  // Why this name cannot be converted at all (in the output's words), or none.
  std::optional<std::string> error;
};

// Each argument as it is, or, for a folder, the .kwj files in it (any letter
// case) in byte order of their names, and with recursive those of its
// subfolders after them, each folder in name order. Links to folders are not
// followed. A folder without projects gives an error entry of its own, so it
// is reported like a project.
std::vector<ProjectName> ExpandFolders(const std::vector<std::string>& arguments, bool recursive);

}  // namespace kwt::cli
