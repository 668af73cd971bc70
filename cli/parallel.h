// -j: projects converted side by side, each group of projects that share a
// folder in one worker, the results shown in the order of the command line.
#pragma once

#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "cli/project_list.h"

namespace kwt::cli {

int RunParallel(const Options& options, const std::vector<ProjectName>& projects, Console& console);

}  // namespace kwt::cli
