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
  // What the error leaves to say (the names a folder's listing passed over).
  std::optional<std::string> note = std::nullopt;
};

// The projects of the arguments by the core's rule (ListProjects): each
// argument as it is, or for a folder its .kwj files, in name order, with
// recursive those of its subfolders too. A folder that cannot be read, has
// names without a code page 932 form or holds no project gives an error entry
// of its own in the output's words, so it is reported like a project.
std::vector<ProjectName> ExpandFolders(const std::vector<std::string>& arguments, bool recursive);

}  // namespace kwt::cli
