// Which contents file a conversion of a project works on.
#pragma once

#include <optional>
#include <string>

#include "runtime/ini_file.h"

namespace kwt {

struct ContentsChoice {
  // A path given in place of the stored one (a moved project); the stored
  // path is left as it is.
  std::optional<std::string> given;
  // A relative stored path names a file beside the project file, not in the
  // current folder (the window's open dialog leaves the current folder at the
  // project's, so both faces then find the same file).
  bool besideProject = false;
  // When the stored path names no file, the file of the same name in the
  // project file's folder is used (a project moved or made on another
  // machine: "C:\...\sample.KWT" gives "sample.KWT" beside the project).
  bool findBesideProject = false;
};

struct ChosenContents {
  std::string path;
  // The path before a link at its end was followed: the name the project
  // (or the user) gave the file.
  std::string named;
  // The stored path, as the project records it.
  std::string stored;
  // True when findBesideProject chose a file the stored path does not name.
  bool foundBesideProject = false;
  // True when the path was given in place of the stored one: the user's own
  // choice of file, whatever its name.
  bool given = false;
};

// True for a path in a folder of the system (/dev, /proc, /sys on POSIX):
// nothing there is a project's, and a move there would replace a device.
bool InSystemFolder(std::string_view path);

// True for a name ending in ".KWT" (any letter case), as every contents file
// of the application is named.
bool NamesContentsFile(std::string_view path);

// The file of the same name as the contents path, beside the project file,
// when the contents path leads out of the project's folder and that file is
// another one, or the same one through a second hard link: the project is a
// copy whose KWT still names the original's records. Empty otherwise.
std::string CopyBesideProject(const TMemIniFile& store, std::string_view contentsPath);

// The contents path of the project in store, chosen as choice says. A
// relative path and the file beside the project are taken from the folder of
// the file the project path reaches (a link followed), where its records are.
// findBesideProject also takes the file beside the project of a copied
// project (see CopyBesideProject). A final link is resolved once: the pass
// works on the real file in its real folder; a link that leads through a
// system folder gives that folder's path, which the plan refuses.
ChosenContents ChooseContentsPath(TMemIniFile& store, const ContentsChoice& choice);

}  // namespace kwt
