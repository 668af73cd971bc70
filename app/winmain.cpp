// The window program: the application frame around the main window.
#include "frame/application.h"
#include "runtime/texts.h"
#include "runtime/windows_api.h"
#include "ui/drop_run.h"
#include "ui/main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  // The window answers the system between records, but flushing a large
  // converted file to a slow disk can take longer than the few seconds after
  // which Windows would replace the window by a frozen copy: the record
  // counter must stay on screen.
  DisableProcessWindowsGhosting();
  return kwt::frame::Run(showCommand, [](kwt::frame::Application& application) {
    application.SetTitle(kwt::texts::kAppTitle);
    // Files dropped on the program's icon or a shortcut to it, sent to it
    // (Send To) or opened with it arrive as names on the command line: a drop
    // made at start.
    application.CreateAppForm<kwt::ui::TfrmMain>().DropAtStart(kwt::ui::CommandLineNames(GetCommandLineW()));
  });
}
