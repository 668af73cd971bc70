// The window program: the application frame around the main window.
#include "app/application.h"
#include "runtime/texts.h"
#include "runtime/windows_api.h"
#include "ui/main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  return kwt::app::Run(show_command, [](kwt::app::Application& application) {
    application.SetTitle(kwt::texts::kAppTitle);
    application.CreateAppForm<kwt::ui::TfrmMain>();
  });
}
