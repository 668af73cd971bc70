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

// True for a path in a folder of the system (/dev, /proc, /sys on POSIX, as
// written or by where its folder really is): nothing there is a project's,
// and a move there would replace a device.
bool InSystemFolder(std::string_view path);

// True for a name ending in ".KWT" (any letter case), as every contents file
// of the application is named.
bool NamesContentsFile(std::string_view path);

// A path that does not start at a root or a drive: taken from a folder.
bool IsRelativePath(std::string_view path);

// The real file a contents path names, its final links followed one at a
// time; a hop through a system folder gives that hop instead.
std::string RealContentsPath(const std::string& path);

// When the contents path as the project names it (contents.named, never a
// link's target) leads out of the project's folder while that folder holds a
// file at the named file's place, that file: the project is a copy whose KWT
// still names the original's records. The place is beside the project (the
// name in any letter case), or as deep below the project's folder as the
// named file lies below one of its own folders ("data/book.KWT"). A link
// there that leads to the named file is the user's own way to it, and no
// copy. Empty otherwise.
std::string CopyBesideProject(const TMemIniFile& store, const ChosenContents& contents);

// The contents path of the project in store, chosen as choice says. A
// relative path and the file beside the project are taken from the folder of
// the file the project path reaches (a link followed), where its records are.
// findBesideProject also takes the file beside the project of a copied
// project (see CopyBesideProject). A final link is resolved once: the pass
// works on the real file in its real folder; a link that leads through a
// system folder gives that folder's path, which the plan refuses.
ChosenContents ChooseContentsPath(TMemIniFile& store, const ContentsChoice& choice);

// What the project records once it has converted a file that findBesideProject
// took: the full path of the name found, as this system writes it.
std::string PathToRecord(const ChosenContents& contents);

}  // namespace kwt
