// Drives the real window in this process: creates the application and the
// main window as the program does, types with SendInput, answers modal boxes
// and dialogs from a CBT hook, reads pixels, and runs the program itself.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "frame/application.h"
#include "kit/temp_folder.h"
#include "kit/wait_until.h"
#include "runtime/windows_api.h"
#include "ui/main.h"

namespace kwt::ui::testing {

using kwt::testing::TempFolder;

// What a modal box or dialog showed when it became active.
struct ModalRecord {
  HWND window = nullptr;
  std::string caption;
  // The message of a message box (its text static).
  std::string text;
  // The list of the box that closes a run (its read-only text box), lines
  // separated by "\r\n"; empty for any other box.
  std::string list;
  HWND owner = nullptr;
  LONG style = 0;
  LONG extendedStyle = 0;
  // Identifiers of the visible push buttons.
  std::vector<int> buttons;
  // The icon the box shows, if any.
  HICON icon = nullptr;
  RECT bounds{};
  // File dialogs: the folder shown and the text of the name box.
  bool fileDialog = false;
  std::string folder;
  std::string nameBox;
};

// Installs a thread CBT hook for its lifetime: each dialog-class window that
// becomes active is recorded once its modal loop runs, then handed to answer,
// which must end it.
class ModalAnswerer {
 public:
  using Answer = std::function<void(const ModalRecord& record)>;
  explicit ModalAnswerer(Answer answer);
  ~ModalAnswerer();
  ModalAnswerer(const ModalAnswerer&) = delete;
  ModalAnswerer& operator=(const ModalAnswerer&) = delete;

  const std::vector<ModalRecord>& Records() const { return records_; }

 private:
  static LRESULT CALLBACK CbtProc(int code, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  Answer answer_;
  HHOOK hook_ = nullptr;
  HWND helper_ = nullptr;
  std::set<HWND> seen_;
  std::vector<ModalRecord> records_;
};

// Answers: the OK button, the Cancel button, any button by its identifier,
// and a file dialog given a name.
void PressOk(const ModalRecord& record);
void Press(const ModalRecord& record, int id);
void PressCancel(const ModalRecord& record);
void AcceptName(const ModalRecord& record, std::string_view name);
void AcceptName(const ModalRecord& record, std::wstring_view name);

// One key, optionally with modifiers held around it.
struct Chord {
  WORD key;
  std::vector<WORD> modifiers = {};
};

// Writes a project whose contents file holds records zero-filled records of
// the 516-byte layout and claims count of them; version 103.
std::string WriteProject(const TempFolder& folder, int records, int count);

// The application and its main window, shown as at start-up.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  frame::Application& App() { return *application_; }
  TfrmMain& Form() { return *form_; }

  // Handles every queued message as the loop does, then the idle work.
  void Pump();
  // Brings the window to the front and types the chords.
  void Type(std::initializer_list<Chord> chords);
  // The control with the keyboard focus.
  HWND Focus() const { return GetFocus(); }
  // The client area's size.
  SIZE ClientSize() const;
  // A control's rectangle in its parent's client coordinates.
  RECT PlaceOf(HWND control) const;

  std::unique_ptr<frame::Application> application_;
  TfrmMain* form_ = nullptr;
};

// Answers the messages other threads send to this thread's windows (and
// nothing else) until finished is set: a thread that asks a window of this
// one is answered only while this one asks for messages.
void AnswerSentMessagesUntil(const std::atomic<bool>& finished);

// The pixels of a window's client area as drawn now, row by row.
std::vector<COLORREF> Capture(HWND window, SIZE& size);
// The pixels of a rectangle of size at origin on any device context.
std::vector<COLORREF> CaptureFrom(HDC source, POINT origin, SIZE size);

// The window program kwtconvw.exe, started beside the test program's build,
// with arguments after its quoted name on its command line.
class Program {
 public:
  explicit Program(int showCommand = SW_SHOWNORMAL, const std::wstring& arguments = L"");
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  HWND MainWindow() const { return mainWindow_; }
  HWND ApplicationWindow() const { return applicationWindow_; }
  DWORD ThreadId() const { return process_.dwThreadId; }
  // The exit code, or STILL_ACTIVE after the timeout.
  DWORD WaitForExit(DWORD milliseconds = 10000);

 private:
  PROCESS_INFORMATION process_{};
  HWND mainWindow_ = nullptr;
  HWND applicationWindow_ = nullptr;
};

}  // namespace kwt::ui::testing
