// The box that closes a run of dropped names: the counts at its top beside
// the icon; below them, when there is one, the list of failures in a
// read-only text box that scrolls and whose text can be selected and copied,
// however long it is; one OK button. Ctrl+C copies the whole box, as it does
// a message box. It is shown as the error box is: owned
// by the application window, captioned with the application title, every
// other window of the program disabled while it is open.
#pragma once

#include <string_view>

#include "frame/application.h"

namespace kwt::ui {

// Both texts are code page 932, lines separated by "\n". failed picks the
// stop icon, otherwise the information icon. Returns when the box is closed.
void ShowClosingBox(frame::Application& application, std::string_view summary, std::string_view list,
                    bool failed);

}  // namespace kwt::ui
