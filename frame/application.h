// The application frame: one application object per process with its hidden
// application window, which owns every form (so the taskbar shows one button,
// the application's), runs the message loop, and is the error boundary that
// shows every error escaping a message handler.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/window_class.h"
#include "runtime/errors.h"
#include "runtime/windows_api.h"

namespace kwt::frame {

class Application;

// A top-level window that the application owns.
class Form {
 public:
  virtual ~Form() = default;
  virtual HWND Handle() const noexcept = 0;
  // Offered each keyboard message for the form or one of its controls before
  // it is translated: action shortcuts, focus moves, button keys. True when
  // the message has been handled and goes no further.
  virtual bool PreviewKey(const MSG& message) = 0;
  // The form's close operation.
  virtual void Close() = 0;
  // Brings the form's actions up to date; run when the queue is empty.
  virtual void UpdateActions() {}
  // The hint of one of the form's controls; nullopt for a window that is not
  // one of them.
  virtual std::optional<std::string> HintOf(HWND window) const = 0;
  // The system has made the application's taskbar button, or made it again
  // after Explorer restarted; run for the main form only.
  virtual void TaskbarButtonCreated() {}
};

// The screen position that centres an outer size on a screen, each
// coordinate raised to 0 where the window is larger than the screen.
POINT CentredOrigin(SIZE screen, SIZE window);

// The long part of a hint: the text after its first "|" (a whole character,
// never the second byte of a double-byte one), or the whole hint.
std::string_view LongHintPart(std::string_view hint);
// The short part: the text before that "|", or the whole hint.
std::string_view ShortHintPart(std::string_view hint);

class Application {
 public:
  static constexpr wchar_t kWindowClassName[] = L"KwtApplication";

  // Registers the application window's class and creates the window. Raises
  // an Exception with the window-class text when either fails.
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  HWND Handle() const noexcept { return window_; }
  HINSTANCE Instance() const noexcept { return instance_; }
  // The application window's errors are its own to show.
  Application& ErrorBoundary() noexcept { return *this; }
  // The icon "MAINICON" of the executable, or the system's application icon.
  HICON Icon() const noexcept { return icon_; }

  // The title labels the taskbar button and captions every error box; it is
  // read back from the application window, at most 255 bytes.
  void SetTitle(std::string_view title);
  std::string Title() const;

  // Creates a form owned by the application; the first one becomes the main
  // form. If construction raises, nothing is kept and the error travels on.
  template <class F>
  F& CreateAppForm() {
    auto form = std::make_unique<F>(*this);
    F& created = *form;
    forms_.push_back(std::move(form));
    if (mainForm_ == nullptr) mainForm_ = &created;
    return created;
  }
  Form* MainForm() const noexcept { return mainForm_; }

  // Shows the main form for the start-up show command, then handles messages
  // until the run ends.
  void RunMessageLoop(int showCommand);
  // The steps of the loop, which the tests drive one by one.
  void ShowMainForm(int showCommand);
  // Handles one queued message inside the error boundary; false when the
  // queue was empty.
  bool ProcessMessage();
  // Idle work: the hint of the control under the mouse, the forms' actions.
  void DoIdle();
  bool Terminated() const noexcept { return terminated_; }
  // The long part of the hint of the control under the mouse, which nothing
  // shows.
  const std::string& Hint() const noexcept { return hint_; }

  // The one entry for errors caught around message handling. Never raises.
  void ReportUncaughtError(std::exception_ptr error) noexcept;
  // Shows the error's message, closed by a period where it needs one, in a
  // modal box with the stop icon and one OK button, captioned with the title.
  void ShowErrorBox(const Exception& error);
  // Shows text as the error box does (owner, caption, one OK button, the
  // program's other windows disabled meanwhile), with icon (an MB_ICON flag).
  void ShowMessageBox(std::string_view text, UINT icon);
  // Posts the quit request that ends the loop.
  void RequestEnd();

  // Minimising the main form minimises the application to its taskbar
  // button; restoring brings the form back where it was.
  void Minimize();
  void Restore();

  // While it lives, every other visible and enabled window of the program is
  // disabled; afterwards they are enabled again and the window that was
  // active is activated again, its focused control focused.
  class ModalScope {
   public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

   private:
    std::vector<HWND> disabled_;
    HWND active_;
    HWND focus_;
  };

 private:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnNcCreate(HWND window, WPARAM wparam, LPARAM lparam);
  LRESULT OnSysCommand(WPARAM wparam, LPARAM lparam);
  LRESULT OnClose();
  LRESULT OnQueryEndSession();
  LRESULT OnEndSession(WPARAM wparam);
  LRESULT OnActivate(WPARAM wparam, LPARAM lparam);
  LRESULT OnActivateMainForm();
  // The form that a message's window belongs to, if any.
  Form* FormOf(HWND window) const;
  bool PreviewMessage(const MSG& message);
  void ShowMainFormWindow();

  HINSTANCE instance_;
  HICON icon_;
  // The message the system sends when it has made the taskbar button.
  UINT taskbarButtonCreated_;
  WindowClass windowClass_;
  HWND window_ = nullptr;
  std::vector<std::unique_ptr<Form>> forms_;
  Form* mainForm_ = nullptr;
  bool terminated_ = false;
  bool mainFormShown_ = false;
  std::string hint_;
};

// Runs body inside the error boundary of a message handler: an escaping error
// is reported and the message counts as handled with result 0.
template <class Body>
LRESULT Guarded(Application& application, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    application.ReportUncaughtError(std::current_exception());
    return 0;
  }
}

// The text of the generic error box: the error's class, the module it was
// raised in and the offset there, and its message with a closing period
// unless it is empty or already ends in ".".
std::string GenericErrorText(std::string_view className, std::string_view moduleName, std::uintptr_t offset,
                             std::string_view message);
// The box for errors that no boundary catches: no owner, modal for the task,
// stop icon, captioned "アプリケーション エラー".
void ShowGenericErrorBox(std::exception_ptr error) noexcept;

// The whole run: creates the application, lets start_up set the title and
// create the main form, runs the loop and shuts down. Answers the process
// exit code: 0 after a normal end, 1 when start-up failed before the loop
// (shown in the generic error box).
int Run(int showCommand, const std::function<void(Application&)>& startUp);

}  // namespace kwt::frame
