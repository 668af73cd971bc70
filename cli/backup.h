// --backup: copies of a project's two files, kept beside them before the
// conversion touches either.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kwt::cli {

// The name a file's backup gets: the whole name with ".bak" appended.
std::string BackupPath(std::string_view path);

// Copies the project file, and the contents file a conversion of it would
// rewrite, to their backup names, when a conversion would change anything
// (a version below 140 and a positive Count). Refuses, copying nothing, when
// either backup exists already. Raises kwt::Exception when it refuses or a
// copy fails; a backup it made before the failure is removed again, so the
// project can be tried again as it was. A missing project file needs none.
void BackUpProject(std::string_view project, const std::optional<std::string>& contentsOverride);

}  // namespace kwt::cli
