#include "cli/project_list.h"

#include "cli/messages.h"
#include "convert/project_folders.h"

namespace kwt::cli {

std::vector<ProjectName> ExpandFolders(const std::vector<std::string>& arguments, bool recursive) {
  std::vector<ProjectName> projects;
  for (ListedName& listed : ListProjects(arguments, recursive)) {
    const std::string number = std::to_string(listed.number);
    switch (listed.kind) {
      case ListedName::Kind::Project: projects.push_back({std::move(listed.path), std::nullopt}); break;
      case ListedName::Kind::FolderUnreadable:
        projects.push_back({std::move(listed.path), Say(Msg::FolderUnreadable, {number})});
        break;
      case ListedName::Kind::NamesPassedOver: {
        // Each by name, so that the user knows which were not converted.
        std::string names;
        for (const std::string& name : listed.names) {
          if (!names.empty()) names += Say(Msg::ListSeparator);
          names += name;
        }
        projects.push_back({std::move(listed.path), Say(Msg::NamesPassedOver, {number}),
                            Say(Msg::NoteNamesPassedOver, {names})});
        break;
      }
      case ListedName::Kind::FolderHoldsNoProject: {
        // Projects only in its subfolders: -r is what the user wants.
        bool projectsBelow = false;
        if (!recursive) {
          for (const ListedName& below : ListProjects({listed.path}, true))
            projectsBelow = projectsBelow || below.kind == ListedName::Kind::Project;
        }
        projects.push_back({std::move(listed.path),
                            Say(projectsBelow ? Msg::FolderHoldsProjectsBelow : Msg::FolderHoldsNoProject)});
        break;
      }
    }
  }
  return projects;
}

}  // namespace kwt::cli
