// The window as Explorer hands files to it: names on the command line (a
// drop made at start), progress on the taskbar button through its seam, the
// run's position after the caption, and a closing box that lists every
// failure.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "frame/display_text.h"
#include "runtime/cp932_text.h"
#include "runtime/error_text.h"
#include "runtime/texts.h"
#include "ui/drop_run.h"
#include "ui/taskbar.h"
#include "ui_harness.h"

namespace kwt::ui::testing {
namespace {

namespace fs = std::filesystem;

// How often a look at another program's windows is repeated.
constexpr std::chrono::milliseconds kPoll{20};

constexpr std::size_t kRecord102Size = 300;
constexpr std::size_t kRecord103Size = 516;

// A project at name (code page 932, below the folder) of the version, claiming
// count records, with a contents file of records of the version's layout
// beside it (none for a negative number).
fs::path Project(const TempFolder& folder, std::string_view name, int version, int count = 3,
                 int records = 3) {
  const std::string kwt = std::string(name.substr(0, name.size() - 4)) + ".KWT";
  fs::create_directories((folder.path() / Cp932ToWideLossy(name)).parent_path());
  const std::size_t size = version < 103 ? kRecord102Size : kRecord103Size;
  if (records >= 0) folder.Write(kwt, std::string(size * static_cast<std::size_t>(records), '\0'));
  folder.Write(name, "[KWJ]\r\nVersion=" + std::to_string(version) + "\r\nCount=" + std::to_string(count) +
                         "\r\nKWT=" + folder.PathOf(kwt) + "\r\n");
  return folder.path() / Cp932ToWideLossy(name);
}

bool Converted(const TempFolder& folder, std::string_view name) {
  return folder.ReadIfAny(name).find("Version=140") != std::string::npos;
}

std::wstring Clipboard() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) text = chars;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

std::wstring Quoted(const fs::path& path) {
  return L"\"" + path.wstring() + L"\"";
}

// --- The command line ------------------------------------------------------

TEST(CommandLineNamesTest, NamesAreTakenAsWindowsPassesThem) {
  struct Row {
    const char* name;
    std::wstring commandLine;
    std::vector<std::wstring> names;
  };
  const Row rows[] = {
      {"no arguments", L"\"C:\\Program Files\\KWT\\kwtconvw.exe\"", {}},
      {"a program name without quotes", L"C:\\KWT\\kwtconvw.exe", {}},
      {"quoted long names with spaces",
       L"\"C:\\KWT Converter\\kwtconvw.exe\" \"D:\\My Projects\\a b.kwj\" \"D:\\Long folder name\"",
       {L"D:\\My Projects\\a b.kwj", L"D:\\Long folder name"}},
      {"Japanese",
       L"kwtconvw.exe \"D:\\\u3057\u304a\u308a\u3070\u3053\\\u8868.kwj\"",
       {L"D:\\\u3057\u304a\u308a\u3070\u3053\\\u8868.kwj"}},
      {"UNC", L"kwtconvw.exe \\\\server\\share\\a.kwj", {L"\\\\server\\share\\a.kwj"}},
      {"the long-name prefix",
       L"kwtconvw.exe \"\\\\?\\C:\\deep\\a.kwj\" \\\\?\\UNC\\server\\share\\b",
       {L"\\\\?\\C:\\deep\\a.kwj", L"\\\\?\\UNC\\server\\share\\b"}},
      {"unquoted names and empty ones", L"kwtconvw.exe a.kwj \"\" b", {L"a.kwj", L"b"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(CommandLineNames(row.commandLine.c_str()), row.names);
  }
}

// The program itself, started as Explorer starts it: a drop on its icon, Send
// To and Open with all give the names quoted on its command line.
class StartTest : public ::testing::Test {
 protected:
  // The text of a window of the program, asked of it.
  static std::string TextOf(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        &length);
    return WideToCp932Lossy(text);
  }

  static BOOL CALLBACK FindStatusLine(HWND child, LPARAM context) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (_wcsicmp(name, L"Static") == 0 &&
        (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_OWNERDRAW) {
      *reinterpret_cast<HWND*>(context) = child;
      return FALSE;
    }
    return TRUE;
  }

  static BOOL CALLBACK FindBox(HWND window, LPARAM context) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
      *reinterpret_cast<HWND*>(context) = window;
      return FALSE;
    }
    return TRUE;
  }

  static std::string StatusOf(const Program& program) {
    HWND line = nullptr;
    EnumChildWindows(program.MainWindow(), FindStatusLine, reinterpret_cast<LPARAM>(&line));
    return line != nullptr ? TextOf(line) : std::string();
  }

  // The program's open box, waited for up to ten seconds (or a shorter while).
  static HWND BoxOf(const Program& program, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    HWND box = nullptr;
    kwt::testing::WaitUntil(
        [&] {
          EnumThreadWindows(program.ThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
          return box != nullptr;
        },
        timeout, kPoll);
    return box;
  }

  // Waits up to ten seconds for the status line to read text.
  static bool StatusBecomes(const Program& program, std::string_view text) {
    return kwt::testing::WaitUntil([&] { return StatusOf(program) == text; }, std::chrono::seconds(10),
                                   kPoll);
  }

  static void Close(Program& program) {
    PostMessageW(program.MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
  }

  TempFolder folder_;
};

TEST_F(StartTest, WithoutNamesTheWindowIsAsEver) {
  Program program;
  ASSERT_NE(program.MainWindow(), nullptr);
  EXPECT_EQ(StatusOf(program), "");
  EXPECT_EQ(frame::WindowText(program.MainWindow()), texts::kMainCaption);
  EXPECT_EQ(BoxOf(program, std::chrono::milliseconds(200)), nullptr);
  Close(program);
}

TEST_F(StartTest, OneProjectConvertsAsIfChosenInTheOpenDialog) {
  // しおり ばこ\表 1.kwj, in a folder with a space in its name.
  const std::string name = "\x82\xB5\x82\xA8\x82\xE8 \x82\xCE\x82\xB1\\\x95\x5C 1.kwj";
  const fs::path project = Project(folder_, name, 102);
  Program program(SW_SHOWNORMAL, Quoted(project));
  ASSERT_NE(program.MainWindow(), nullptr);
  EXPECT_TRUE(StatusBecomes(program, texts::kStatusSuccess)) << StatusOf(program);
  EXPECT_TRUE(Converted(folder_, name));
  EXPECT_EQ(folder_.ReadIfAny(name.substr(0, name.size() - 4) + ".KWT").size(), 3u * 768u);
  EXPECT_EQ(BoxOf(program, std::chrono::milliseconds(200)), nullptr) << "no box, as after the dialog";
  Close(program);
}

TEST_F(StartTest, AFolderAndAFileAreARunClosedByItsBox) {
  // The folder by its long-name form, as Windows may pass it.
  const std::string shelf = "\x92\x49";  // 棚
  Project(folder_, shelf + "\\a.kwj", 103);
  Project(folder_, shelf + "\\sub\\b.kwj", 102);
  folder_.Write("readme.txt", "not a project");
  const fs::path shelfPath = folder_.path() / Cp932ToWideLossy(shelf);
  Program program(SW_SHOWNORMAL,
                  L"\"\\\\?\\" + shelfPath.wstring() + L"\" " + Quoted(folder_.path() / L"readme.txt"));
  const HWND box = BoxOf(program);
  ASSERT_NE(box, nullptr);
  const auto line = [](std::string_view format, std::string_view count) {
    return texts::Format(format, count);
  };
  EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)),
            line(texts::kRunConvertedFormat, "2") + "\n" + line(texts::kRunUpToDateFormat, "0") + "\n" +
                line(texts::kRunFailedFormat, "0") + "\n" + line(texts::kRunSkippedFormat, "1"));
  EXPECT_EQ(FindWindowExW(box, nullptr, L"Edit", nullptr), nullptr) << "nothing to list";
  EXPECT_EQ(StatusOf(program), texts::Format(texts::kRunStatusSucceededFormat, {"2", "2"}));
  EXPECT_TRUE(Converted(folder_, shelf + "\\a.kwj"));
  EXPECT_TRUE(Converted(folder_, shelf + "\\sub\\b.kwj"));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  kwt::testing::WaitUntil([&] { return !IsWindow(box); }, std::chrono::seconds(10), kPoll);
  EXPECT_FALSE(IsWindow(box));
  EXPECT_EQ(frame::WindowText(program.MainWindow()), texts::kMainCaption) << "the caption as designed";
  Close(program);
}

TEST_F(StartTest, AMissingNameFailsTheRunAndALoneOneIsReportedAsTheDialogDoes) {
  const fs::path project = Project(folder_, "a.kwj", 103);
  {
    Program program(SW_SHOWNORMAL, Quoted(folder_.path() / L"gone") + L" " + Quoted(project));
    const HWND box = BoxOf(program);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), texts::Format(texts::kRunConvertedFormat, "1") + "\n" +
                                                   texts::Format(texts::kRunUpToDateFormat, "0") + "\n" +
                                                   texts::Format(texts::kRunFailedFormat, "1") + "\n" +
                                                   texts::Format(texts::kRunSkippedFormat, "0"));
    EXPECT_EQ(
        TextOf(FindWindowExW(box, nullptr, L"Edit", nullptr)),
        std::string(texts::kRunFailuresHeading) + "\r\ngone\r\n  " + std::string(texts::kStatusFileMissing));
    EXPECT_TRUE(Converted(folder_, "a.kwj"));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Close(program);
  }
  {
    // One project file that is not there: the dialog's way, which takes a
    // typed name of a missing file too.
    Program program(SW_SHOWNORMAL, Quoted(folder_.path() / L"gone.kwj"));
    EXPECT_TRUE(StatusBecomes(program, texts::kStatusFileMissing)) << StatusOf(program);
    EXPECT_EQ(BoxOf(program, std::chrono::milliseconds(200)), nullptr);
    Close(program);
  }
}

// --- In the window ---------------------------------------------------------

// The taskbar button's calls, each value with what follows the designed
// caption at that moment.
class RecordingTaskbar final : public TaskbarProgress {
 public:
  RecordingTaskbar(std::vector<std::string>& calls, HWND window) : calls_(calls), window_(window) {}
  void ButtonCreated() override { calls_.push_back("created"); }
  void SetState(TaskbarState state) override {
    calls_.push_back(state == TaskbarState::None     ? "none"
                     : state == TaskbarState::Normal ? "normal"
                                                     : "error");
  }
  void SetValue(std::uint64_t done, std::uint64_t total) override {
    const std::string caption = frame::WindowText(window_);
    calls_.push_back(std::to_string(done) + "/" + std::to_string(total) +
                     caption.substr(std::min(caption.size(), texts::kMainCaption.size())));
  }

 private:
  std::vector<std::string>& calls_;
  HWND window_;
};

class ExplorerTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Form().UseTaskbar(std::make_unique<RecordingTaskbar>(calls_, Form().Handle()));
  }

  std::string Status() const { return frame::WindowText(form_->Txt3()); }

  std::vector<std::string> calls_;
  TempFolder folder_;
};

TEST_F(ExplorerTest, TheButtonIsMadeThroughTheApplicationWindow) {
  SendMessageW(App().Handle(), RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
  EXPECT_EQ(calls_, std::vector<std::string>{"created"});
}

TEST_F(ExplorerTest, AConversionShowsItsRecordsEachPassInTurnAndLeavesNothing) {
  // Version 102: both passes, three records each.
  const fs::path project = Project(folder_, "a.kwj", 102);
  ModalAnswerer answerer(PressOk);
  Form().DropAtStart({project.wstring()});
  Pump();
  EXPECT_EQ(Status(), texts::kStatusSuccess);
  EXPECT_TRUE(answerer.Records().empty());
  const std::vector<std::string> pass = {"0/3", "1/3", "2/3", "3/3"};
  std::vector<std::string> expected = {"normal"};
  expected.insert(expected.end(), pass.begin(), pass.end());
  expected.insert(expected.end(), pass.begin(), pass.end());
  expected.push_back("none");
  EXPECT_EQ(calls_, expected);
  EXPECT_EQ(frame::WindowText(Form().Handle()), texts::kMainCaption) << "one conversion is no run";

  // Nothing to convert shows nothing; an error box comes after the button is cleared.
  calls_.clear();
  Project(folder_, "b.kwj", 140);
  Project(folder_, "c.kwj", 103, 5, 3);  // reads past the end
  for (const char* name : {"b.kwj", "c.kwj"}) Form().DropAtStart({(folder_.path() / name).wstring()});
  Pump();
  ASSERT_EQ(answerer.Records().size(), 1u);
  EXPECT_EQ(calls_, (std::vector<std::string>{"normal", "0/5", "1/5", "2/5", "3/5", "none"}));
}

TEST_F(ExplorerTest, ARunShowsItsProjectsAndTheCaptionItsPositionThenTheErrorStateDuringItsBox) {
  Project(folder_, "shelf\\a.kwj", 103);
  Project(folder_, "shelf\\b.kwj", 103, 3, -1);  // its contents file is missing
  Project(folder_, "shelf\\c.kwj", 140);
  std::vector<std::string> atBox;
  std::string captionAtBox;
  ModalAnswerer answerer([&](const ModalRecord& record) {
    atBox = calls_;
    captionAtBox = frame::WindowText(Form().Handle());
    PressOk(record);
  });
  Form().DropAtStart({(folder_.path() / L"shelf").wstring()});
  Pump();
  ASSERT_EQ(answerer.Records().size(), 1u);
  EXPECT_EQ(atBox,
            (std::vector<std::string>{"normal", "0/3 (1/3)", "1/3 (2/3)", "2/3 (3/3)", "error", "3/3"}));
  EXPECT_EQ(captionAtBox, texts::kMainCaption);
  EXPECT_EQ(calls_.back(), "none") << "nothing left afterwards";
  EXPECT_EQ(calls_.size(), atBox.size() + 1);
  EXPECT_EQ(frame::WindowText(Form().Handle()), texts::kMainCaption);

  // Without failures the button is cleared before the box.
  calls_.clear();
  atBox.clear();
  Project(folder_, "more\\d.kwj", 103);
  Project(folder_, "more\\e.kwj", 103);
  Form().DropAtStart({(folder_.path() / L"more").wstring()});
  Pump();
  EXPECT_EQ(atBox, (std::vector<std::string>{"normal", "0/2 (1/2)", "1/2 (2/2)", "none"}));
  EXPECT_EQ(calls_, atBox);
}

TEST_F(ExplorerTest, TheClosingBoxOfTwelveFailuresNamesAllTwelveInAListToCopy) {
  std::string expectedList(texts::kRunFailuresHeading);
  for (int i = 1; i <= 12; ++i) {
    const std::string name = "project" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".kwj";
    Project(folder_, "shelf\\" + name, 103, 3, -1);
    expectedList +=
        "\r\nshelf\\" + name + "\r\n  " + WithClosingPeriod(texts::Format(texts::kIoGenericFormat, "103"));
  }
  LONG listStyle = 0;
  LRESULT lines = 0;
  RECT summaryPlace{};
  RECT listPlace{};
  std::wstring copied;
  std::wstring boxCopied;
  HWND focusAtBox = nullptr;
  HWND ok = nullptr;
  ModalAnswerer answerer([&](const ModalRecord& record) {
    const HWND list = FindWindowExW(record.window, nullptr, L"Edit", nullptr);
    focusAtBox = GetFocus();
    ok = GetDlgItem(record.window, IDOK);
    listStyle = static_cast<LONG>(GetWindowLongPtrW(list, GWL_STYLE));
    lines = SendMessageW(list, EM_GETLINECOUNT, 0, 0);
    GetWindowRect(GetDlgItem(record.window, 0xFFFF), &summaryPlace);
    GetWindowRect(list, &listPlace);
    // Ctrl+C on OK copies the whole box, as on a message box.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE held[256] = {};
    std::copy(std::begin(keys), std::end(keys), std::begin(held));
    held[VK_CONTROL] = 0x80;
    SetKeyboardState(held);
    SendMessageW(ok, WM_KEYDOWN, 'C', 0);
    SetKeyboardState(keys);
    boxCopied = Clipboard();
    // The list's text selected and copied as any text box's.
    SendMessageW(list, EM_SETSEL, 0, -1);
    SendMessageW(list, WM_COPY, 0, 0);
    copied = Clipboard();
    PressOk(record);
  });
  Form().DropAtStart({(folder_.path() / L"shelf").wstring()});
  Pump();

  ASSERT_EQ(answerer.Records().size(), 1u);
  const ModalRecord& box = answerer.Records()[0];
  EXPECT_EQ(box.text, texts::Format(texts::kRunConvertedFormat, "0") + "\n" +
                          texts::Format(texts::kRunUpToDateFormat, "0") + "\n" +
                          texts::Format(texts::kRunFailedFormat, "12") + "\n" +
                          texts::Format(texts::kRunSkippedFormat, "0"));
  EXPECT_EQ(box.list, expectedList);
  EXPECT_EQ(copied, Cp932ToWideLossy(expectedList));
  const std::string dashes = "---------------------------\r\n";
  EXPECT_EQ(boxCopied, Cp932ToWideLossy(dashes + std::string(texts::kAppTitle) + "\r\n" + dashes +
                                        box.text.substr(0, box.text.find('\n')) + "\r\n" +
                                        texts::Format(texts::kRunUpToDateFormat, "0") + "\r\n" +
                                        texts::Format(texts::kRunFailedFormat, "12") + "\r\n" +
                                        texts::Format(texts::kRunSkippedFormat, "0") + "\r\n\r\n" +
                                        expectedList + "\r\n" + dashes + "OK\r\n" + dashes));
  EXPECT_EQ(box.caption, texts::kAppTitle);
  EXPECT_EQ(box.owner, App().Handle());
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(box.icon, LoadIconW(nullptr, IDI_HAND));
  EXPECT_NE(ok, nullptr);
  EXPECT_EQ(focusAtBox, ok) << "Enter answers it, as a message box";
  EXPECT_EQ(lines, 25);
  EXPECT_NE(listStyle & ES_READONLY, 0);
  EXPECT_NE(listStyle & WS_VSCROLL, 0) << "25 lines scroll";
  EXPECT_NE(listStyle & WS_TABSTOP, 0);
  EXPECT_LT(summaryPlace.bottom, listPlace.top) << "the counts at the top";
  // The whole box on the screen.
  EXPECT_GE(box.bounds.left, 0);
  EXPECT_GE(box.bounds.top, 0);
  EXPECT_LE(box.bounds.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_LE(box.bounds.bottom, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(Status(), texts::Format(texts::kRunStatusFailedFormat, {"12", "0"}));
}

// Set when a box had to be closed for the test, its keys having done nothing.
bool box_left_open = false;

void CALLBACK CloseLeftOpenBox(HWND box, UINT, UINT_PTR, DWORD) {
  box_left_open = true;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(ExplorerTest, EnterAndEscapeAnswerTheClosingBoxAsAMessageBox) {
  Project(folder_, "shelf\\a.kwj", 103, 3, -1);
  for (const WORD key : {WORD{VK_RETURN}, WORD{VK_ESCAPE}}) {
    SCOPED_TRACE(key);
    box_left_open = false;
    ModalAnswerer answerer([&](const ModalRecord& record) {
      SetTimer(record.window, 1, 5000, CloseLeftOpenBox);
      INPUT inputs[2] = {};
      for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
      }
      inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
      SendInput(2, inputs, sizeof(INPUT));
    });
    Form().DropAtStart({(folder_.path() / L"shelf").wstring()});
    Pump();
    EXPECT_EQ(answerer.Records().size(), 1u);
    EXPECT_FALSE(box_left_open);
  }
}

TEST_F(ExplorerTest, TheSystemsButtonWorksOrDoesNothing) {
  // Wine's taskbar list may do nothing; a system without one makes nothing.
  const std::unique_ptr<TaskbarProgress> button = SystemTaskbarProgress(App().Handle());
  button->SetState(TaskbarState::Normal);
  button->ButtonCreated();
  button->SetValue(1, 2);
  button->SetState(TaskbarState::Error);
  button->SetState(TaskbarState::None);
  button->ButtonCreated();
  SUCCEED();
}

}  // namespace
}  // namespace kwt::ui::testing
