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
  // True when the stored path names another file that exists: the project is
  // given the converted file in its place (see PathToRecord).
  bool givenInPlaceOfStored = false;

  // The converted file goes into the project's KWT from the first save on: a
  // project left naming another existing file would have the application
  // read that file's records as the new layout.
  bool RecordsItsPath() const noexcept { return foundBesideProject || givenInPlaceOfStored; }
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

// A file in the project's folder (beside it under the named file's name, in
// any letter case, or as deep below it as the named file lies below one of
// its own folders: "data/book.KWT") while the project names a file of that
// name outside its folder: an old copy, perhaps, which the conversion leaves
// as it is and says so. Empty when there is none, or when the named file
// itself lies below the project's folder.
std::string CopyBesideProject(const TMemIniFile& store, const ChosenContents& contents);

// The contents path of the project in store, chosen as choice says. A
// relative path and the file beside the project are taken from the folder of
// the file the project path reaches (a link followed), where its records are.
// findBesideProject takes the file beside the project only when the stored
// path names none. A final link is resolved once: the pass
// works on the real file in its real folder; a link that leads through a
// system folder gives that folder's path, which the plan refuses.
ChosenContents ChooseContentsPath(TMemIniFile& store, const ContentsChoice& choice);

// What the project records once it has converted a file that it did not
// name (see RecordsItsPath): the file's real path, its folder's links
// followed, as this system writes it.
std::string PathToRecord(const ChosenContents& contents);

}  // namespace kwt
