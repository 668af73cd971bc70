// The open-file dialog of the open action: the platform's explorer-style
// dialog, given a filter, an initial folder and the name accepted last time,
// and placed on the monitor of the program's active window.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/windows_api.h"

namespace kwt::frame {
class Application;
}  // namespace kwt::frame

namespace kwt::ui {

struct FilterEntry {
  std::string description;
  std::string pattern;
};

// Cuts a filter text at every "|" that is a whole character (never at a "|"
// byte that ends a double-byte character); the pieces alternate description
// and pattern. A description without a pattern gets an empty one.
std::vector<FilterEntry> SplitFilter(std::string_view filter);

// The filter as the dialog takes it: each piece ended by a zero, the list by
// a second zero.
std::wstring DialogFilter(std::string_view filter);

// The dialog's initial folder as given: a final "\" is dropped from a value
// longer than one character unless ":" precedes it.
std::string InitialDirValue(std::string_view dir);

// Where a dialog of the given outer size stands on a monitor: centred across,
// a third of the free height down.
POINT DialogOrigin(const RECT& monitor, SIZE dialog);

// The names of a multi-select dialog's buffer: one full name, or a folder
// followed by names in it, each ended by a zero, the list by a second zero.
std::vector<std::wstring> ChosenNames(std::wstring_view buffer);

// An open dialog of its own for one or several existing files: the filter,
// the initial folder, placed and modal as TOpenDialog. The full names
// chosen, wide as the system gives them; none when it was cancelled.
// folder becomes the folder they were chosen in, for the next time.
std::vector<std::wstring> ChooseFiles(frame::Application& owner, HWND fallback, std::string_view filter,
                                      std::wstring& folder);

class TOpenDialog {
 public:
  // The name travels in a buffer of this many bytes, the terminating zero
  // included, both ways.
  static constexpr std::size_t kFileNameBufferBytes = 260;

  const std::string& FileName() const noexcept { return fileName_; }
  void SetInitialDir(std::string_view dir) { initialDir_ = InitialDirValue(dir); }
  void SetFilter(std::string_view filter) { filter_ = filter; }

  // The flags the dialog is shown with: the read-only box hidden, the dialog
  // sizable, explorer style with the placing hook. Neither the file nor its
  // folder must exist, no extension is added, the current folder is not
  // restored.
  static DWORD Flags();

  // Shows the dialog modally, owned by owner's window, with the program's other
  // windows disabled meanwhile. The monitor is that of the program's active
  // window, or of fallback when none is active. True when a name was
  // accepted: FileName is then the name as returned. A cancelled dialog, or
  // one whose name does not fit the buffer, changes nothing.
  bool Execute(frame::Application& owner, HWND fallback);

 private:
  std::string fileName_;
  std::string initialDir_;
  std::string filter_;
  // The filter chosen last time, offered again next time.
  DWORD filterIndex_ = 1;
};

}  // namespace kwt::ui
