// The window program: the application frame around the main window.
#include "frame/application.h"
#include "runtime/texts.h"
#include "runtime/windows_api.h"
#include "ui/main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  return kwt::frame::Run(show_command, [](kwt::frame::Application& application) {
    application.SetTitle(kwt::texts::kAppTitle);
    application.CreateAppForm<kwt::ui::TfrmMain>();
  });
}
