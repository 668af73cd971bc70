// The main window: an instruction line, the target box with its open button,
// the status line and the close button, all inside one etched group frame of
// fixed size. It is the face through which the conversion shows what it does,
// and it runs the conversion inside the open action.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "convert/conversion.h"
#include "frame/application.h"
#include "frame/window_class.h"
#include "runtime/windows_api.h"
#include "ui/actions.h"
#include "ui/device_context.h"
#include "ui/painting.h"
#include "ui/status_line.h"
#include "ui/taskbar.h"

#include <shellapi.h>

namespace kwt::ui {

class TfrmMain final : public frame::Form, public ConversionFace {
 public:
  static constexpr wchar_t kWindowClassName[] = L"TfrmMain";
  static constexpr wchar_t kGroupBoxClassName[] = L"KwtGroupBox";
  // Bitmap resources of the two button pictures at 100 percent; the names
  // with 150 or 200 appended hold them drawn at those scales.
  static constexpr wchar_t kClosePicture[] = L"CLOSEGLYPH";
  static constexpr wchar_t kOpenPicture[] = L"OPENGLYPH";

  // Builds the window, still hidden, with its controls and actions, owned by
  // the application window. Raises an Exception when any part fails.
  explicit TfrmMain(frame::Application& owner);
  ~TfrmMain() override;
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // frame::Form
  HWND Handle() const noexcept override { return window_; }
  bool PreviewKey(const MSG& message) override;
  void Close() override;
  std::optional<std::string> HintOf(HWND window) const override;
  void TaskbarButtonCreated() override { taskbar_->ButtonCreated(); }

  // ConversionFace. The status line draws each new text before SetStatus
  // returns, without the message loop; the same text again does nothing.
  void SetStatus(std::string_view text) override;
  void SetTarget(std::string_view text) override;
  // The records a pass has converted, on the taskbar button.
  void RecordsDone(std::int32_t done, std::int32_t count) override;
  TextMeasure& TargetMeasure() override { return measure_; }
  std::int32_t TargetWidth() override;
  // During a run: true once a stop has been asked for (Esc, a close request)
  // and answered はい; a lone conversion takes no input and is never stopped.
  bool StopRequested() override;

  // The conversion driver, on the accepted project file.
  void Convert(std::string_view projectPath);
  // The open action's handlers: the initial folder is the executable's
  // folder; an accepted name is converted.
  void FileOpen1BeforeExecute(TAction& sender);
  void FileOpen1Accept(TAction& sender);
  // Names dropped on the window: one project file converts as Convert does;
  // anything else is a run of every project they stand for, one after
  // another, closed by one box that sums it up.
  void ConvertDropped(const std::vector<std::wstring>& names);
  // Names given on the program's command line: a drop made at start, taken
  // once the loop runs. No names leave the window as it is.
  void DropAtStart(std::vector<std::wstring> names);
  // The taskbar button shows a conversion's records done, each pass in turn,
  // and a run's projects done of all (the error state while the box of a run
  // with failures is open); nothing before or after. A test puts a button
  // that records in place of the system's.
  void UseTaskbar(std::unique_ptr<TaskbarProgress> taskbar) { taskbar_ = std::move(taskbar); }

  // The system menu's items of our own. Their commands keep the low four
  // bits free, which the system uses.
  static constexpr UINT kBackupCommand = 0x0100;
  static constexpr UINT kRestoreCommand = 0x0110;
  // Whether every conversion the window makes first backs its project up,
  // as kwtconv --backup does. Off at every start: nothing is stored.
  bool BackupBeforeConverting() const noexcept { return backup_; }
  void SetBackupBeforeConverting(bool on);
  // Puts back the projects chosen in the restore dialog, each as kwtconv
  // --restore does: one says so on the status line or in the error box,
  // several in a closing box.
  void RestoreChosen();
  void RestoreProjects(const std::vector<std::wstring>& names);

  // The controls, in the order the window declares them.
  HWND GroupBox1() const noexcept { return groupBox1_; }
  HWND StaticText1() const noexcept { return staticText1_; }
  HWND Btn() const noexcept { return btn_; }
  HWND Txt1() const noexcept { return txt1_; }
  HWND Txt2() const noexcept { return txt2_; }
  HWND Edit1() const noexcept { return edit1_; }
  HWND Txt3() const noexcept { return txt3_; }
  HWND BitBtn1() const noexcept { return bitBtn1_; }
  TFileExit& FileExit1() noexcept { return *fileExit1_; }
  TFileOpen& FileOpen1() noexcept { return *fileOpen1_; }
  HFONT Font() const noexcept { return font_.get(); }
  // The dots per inch that the window is drawn for now.
  int Dpi() const noexcept { return dpi_; }
  // The window's errors are shown by the application.
  frame::Application& ErrorBoundary() const noexcept { return application_; }

  // The controls of the group frame in tab order.
  std::vector<HWND> TabOrder() const;

 private:
  // Widths of code page 932 text in the window's font on its drawing surface.
  class WindowMeasure : public TextMeasure {
   public:
    explicit WindowMeasure(const TfrmMain& form) : form_(form) {}
    std::int32_t TextWidth(std::string_view text) override;

   private:
    const TfrmMain& form_;
  };

  // What holds for the length of one conversion; see Convert.
  class Converting;
  // What holds for the length of a run of dropped names, its box included.
  class Running;

  // The status line, a static text of the system's, taken over (see
  // frame::SubclassProcedure).
  LRESULT HandleStatusLineMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // The other static texts draw as the system draws them, plus a focus mark
  // while they have the focus (the arrow keys give it to them).
  LRESULT HandleStaticTextMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Draws the status line's text now, without waiting for a paint message.
  void DrawStatusLine();
  // Brings the line's picture up to date and copies what changed, or all of
  // it, to dc; draws straight on dc when there is no picture.
  void ShowStatusOn(HDC dc, bool whole);
  // Handles the messages that other programs send, at most every so often:
  // a conversion handles no input, but a window that stops asking for
  // messages is taken for hung.
  void AnswerSentMessages();
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleGroupBoxMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  LRESULT OnGroupBoxPaint(HWND window);
  LRESULT OnNcCreate(HWND window, WPARAM wparam, LPARAM lparam);
  LRESULT OnNcDestroy(WPARAM wparam, LPARAM lparam);
  LRESULT OnCreate();
  LRESULT OnGetMinMaxInfo(MINMAXINFO& limits);
  LRESULT OnWindowPosChanging(WINDOWPOS& position, WPARAM wparam, LPARAM lparam);
  LRESULT OnSizing(RECT& dragged);
  LRESULT OnDpiChanged(WPARAM wparam, const RECT& suggested);
  LRESULT OnGetDpiScaledSize(WPARAM wparam, SIZE& size);
  LRESULT OnActivate(WPARAM wparam);
  LRESULT OnSetFocus();
  LRESULT OnCommand(WPARAM wparam, LPARAM lparam);
  LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
  LRESULT OnCtlColorStatic(HDC dc, HWND control);
  LRESULT OnSysCommand(WPARAM wparam, LPARAM lparam);
  LRESULT OnClose();
  LRESULT OnQueryEndSession();
  LRESULT OnDropFiles(HDROP drop);
  LRESULT OnEnable(WPARAM wparam);
  // Takes the first drop that waits, unless the window is busy: converting,
  // in a run, or disabled under a box or the open dialog.
  void TakeDrops();
  void RunDropped(const std::vector<std::wstring>& names);
  // Takes from the queue what asks a run to stop without moving anything
  // else: an Esc that is the first key waiting, a posted WM_CLOSE, a posted
  // SC_CLOSE that is the first system command waiting for its window.
  void TakeStopInput();
  // Asks whether to stop, when something asked for it; true for はい.
  bool AskToStop();
  // Answers an open question はい, as a logoff does.
  void EndQuestion();
  bool StopWanted(bool lookNow);
  // While a run lasts, the caption names which project of how many it
  // converts; afterwards it is the designed one again.
  void ShowRunPosition(std::size_t project, std::size_t projects);
  void RestoreCaption();
  // The taskbar button's progress: done of total in the normal state (drawn
  // when the thousandths change), the error state at full, or nothing.
  void ShowProgress(std::uint64_t done, std::uint64_t total);
  void ShowFailedRun(std::uint64_t projects);
  void ClearProgress();

  bool CreateControls();
  // left, top, width and height are the design's, at 96 dpi.
  HWND CreateControl(const wchar_t* windowClass, std::string_view text, DWORD style, DWORD extendedStyle,
                     int left, int top, int width, int height, HWND parent);
  // Sizes a static text to its text plus the padding, keeping its position.
  void FitToText(HWND staticText);
  // The outer size that gives the design's client area at dpi.
  SIZE OuterSize(int dpi) const;
  SIZE OuterSize() const { return OuterSize(dpi_); }
  // Draws the window for dpi from now on: the font and the pictures for it,
  // and every control placed, sized and refitted to its text.
  void UseDpi(int dpi);
  void PlaceControls();

  // What a click, Enter or the access key does to a button.
  void ClickButton(HWND button);
  // Focus moves by keys; moving into the target box selects its text.
  bool DialogKey(unsigned key);
  bool AccessKey(wchar_t character);
  void MoveFocus(bool forward, bool tabStopsOnly);
  void FocusByKeyboard(HWND control);
  HWND FirstTabStop() const;
  // The caption a button draws; its window text is its name for screen readers.
  const std::wstring& CaptionOf(HWND button) const noexcept {
    return button == btn_ ? btnCaption_ : bitBtn1Caption_;
  }
  bool IsButton(HWND window) const noexcept {
    return window != nullptr && (window == btn_ || window == bitBtn1_);
  }

  frame::Application& application_;
  HINSTANCE instance_;
  frame::WindowClass formClass_;
  frame::WindowClass groupBoxClass_;
  int dpi_;
  FontObject font_;
  std::unique_ptr<Glyph> closeGlyph_;
  std::unique_ptr<Glyph> openGlyph_;

  HWND window_ = nullptr;
  HWND groupBox1_ = nullptr;
  HWND staticText1_ = nullptr;
  HWND btn_ = nullptr;
  HWND txt1_ = nullptr;
  HWND txt2_ = nullptr;
  HWND edit1_ = nullptr;
  HWND txt3_ = nullptr;
  HWND bitBtn1_ = nullptr;

  TActionList actionList1_;
  std::unique_ptr<TFileExit> fileExit1_;
  std::unique_ptr<TFileOpen> fileOpen1_;

  // The control that had the focus when the window was last deactivated.
  HWND lastFocus_ = nullptr;
  // The status line's text. It lives here rather than in the system's copy
  // of the window text, whose every change is a trip to the window server
  // that would cost more than drawing the line: the line answers for its
  // text from here.
  std::string statusText_;
  std::wstring statusWide_;
  std::unique_ptr<StatusLinePicture> statusPicture_;
  bool statusFocused_ = false;
  WNDPROC statusLineProcedure_ = nullptr;
  WNDPROC staticTextProcedure_ = nullptr;
  std::wstring btnCaption_;
  std::wstring bitBtn1Caption_;
  // Set during a conversion: the line's device context, held for it, and
  // when sent messages were last handled.
  bool converting_ = false;
  HDC statusDc_ = nullptr;
  ULONGLONG lastAnswered_ = 0;
  // Drops that wait for the window to be idle, each drop's names as given.
  std::deque<std::vector<std::wstring>> pendingDrops_;
  // Set for a run of dropped names, from its first project to its box's end.
  bool running_ = false;
  // The window was asked to close: no waiting drop is taken any more.
  bool closing_ = false;
  // A run's stop: what asked for one that is still to be asked, whether the
  // question is open, and whether it was answered はい (the run then stops at
  // its next record and starts no further project).
  enum class StopAsk { None, Stop, Close };
  StopAsk stopAsked_ = StopAsk::None;
  bool asking_ = false;
  bool stopping_ = false;
  // A logoff or shutdown stopped the run: no box, the window ends.
  bool endingSession_ = false;
  ULONGLONG lastLooked_ = 0;
  bool backup_ = false;
  // The caption before a run changed it; empty when it is unchanged.
  std::wstring designedCaption_;
  std::unique_ptr<TaskbarProgress> taskbar_;
  // The records of the pass under way, read when the pass shows its target.
  // What the button shows: whether anything, and the thousandths drawn.
  bool progressShown_ = false;
  std::uint64_t progressThousandths_ = 0;
  WindowMeasure measure_;
  // Made again whenever the backup item changes, never during a conversion.
  std::unique_ptr<Converter> converter_;
  // The restore dialog's own folder, apart from the open action's dialog.
  std::wstring restoreFolder_;
};

}  // namespace kwt::ui
