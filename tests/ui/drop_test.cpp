// Files and folders dropped on the window, posted as the system posts them: a
// lone project file goes the open dialog's way; anything else is a run with
// one closing box; a drop or a close request during a run waits for its end.
#include "ui_harness.h"

#include <shlobj.h>

#include <thread>

#include "frame/display_text.h"
#include "runtime/cp932_text.h"
#include "runtime/error_text.h"
#include "runtime/platform_faults.h"
#include "runtime/texts.h"
#include "ui/drop_run.h"

namespace kwt::ui::testing {
namespace {

namespace fs = std::filesystem;

// A drop as Explorer posts it: a DROPFILES block in movable global memory,
// wide names one after another, closed by an empty one. The window frees it.
void PostDrop(HWND window, const std::vector<fs::path>& names) {
  std::wstring list;
  for (const fs::path& name : names) list += name.wstring() + L'\0';
  list += L'\0';
  const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
  ASSERT_NE(memory, nullptr);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(list.begin(), list.end(), reinterpret_cast<wchar_t*>(drop + 1));
  GlobalUnlock(memory);
  ASSERT_TRUE(PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0));
}

class DropTest : public WindowTest {
 protected:
  void TearDown() override {
    platform::faults::ClearPlan();
    WindowTest::TearDown();
  }

  // A project at name (code page 932, below the folder) claiming count
  // records, with a contents file of records of the 516-byte layout beside it
  // (none for a negative number).
  fs::path Project(std::string_view name, int version, int count = 3, int records = 3) {
    const std::string kwt = std::string(name.substr(0, name.size() - 4)) + ".KWT";
    fs::create_directories((folder_.path() / Cp932ToWideLossy(name)).parent_path());
    if (records >= 0) folder_.Write(kwt, std::string(516 * static_cast<std::size_t>(records), '\0'));
    folder_.Write(name, "[KWJ]\r\nVersion=" + std::to_string(version) + "\r\nCount=" + std::to_string(count) +
                            "\r\nKWT=" + folder_.PathOf(kwt) + "\r\n");
    return folder_.path() / Cp932ToWideLossy(name);
  }
  std::string Status() const { return frame::WindowText(form_->Txt3()); }
  static HICON Stop() { return LoadIconW(nullptr, IDI_HAND); }
  std::string Target() const { return frame::WindowText(form_->Edit1()); }

  TempFolder folder_;
};

TEST_F(DropTest, ALoneProjectFileGoesTheOpenDialogsWay) {
  // Converts; then five records claimed and three present: error 100's box.
  for (const int claimed : {3, 5}) {
    SCOPED_TRACE(claimed);
    const std::string name = "\x82\xB5\x82\xA8\x82\xE8\\\x95\x5C";  // しおり\表
    // The window's texts, the files and every box, after start.
    const auto run = [&](const std::function<void(const fs::path&)>& start) {
      const fs::path project = Project(name + ".kwj", 103, claimed);
      form_->SetStatus("");
      form_->SetTarget("");
      std::vector<std::string> seen;
      ModalAnswerer answerer([&](const ModalRecord& record) {
        if (record.fileDialog) return AcceptName(record, project.wstring());
        seen.push_back(record.caption + "|" + record.text + "|" + std::to_string(record.icon == Stop()));
        PressOk(record);
      });
      start(project);
      Pump();
      for (const std::string& text :
           {Status(), Target(), folder_.ReadIfAny(name + ".kwj"), folder_.ReadIfAny(name + ".KWT")})
        seen.push_back(text);
      return seen;
    };
    const auto byDialog = run([&](const fs::path&) { Type({{'O', {VK_CONTROL}}}); });
    const auto byDrop = run([&](const fs::path& project) { PostDrop(Form().Handle(), {project}); });
    EXPECT_EQ(byDrop, byDialog);
    EXPECT_EQ(byDrop.size(), claimed == 3 ? 4u : 5u) << "one error box for the I/O error";
  }
}

TEST_F(DropTest, FilesAndFoldersConvertInNameOrderAndOneBoxSumsThemUp) {
  // 棚 holds a project to convert, one up to date, a read-only one and, in a
  // subfolder, one whose contents file is missing; 表.kwj beside it converts;
  // café.kwj cannot be named in code page 932; readme.txt is no project.
  const std::string shelf = "\x92\x49";  // 棚
  Project(shelf + "\\a.kwj", 103);
  Project(shelf + "\\b.KWJ", 140);
  const fs::path readOnly = Project(shelf + "\\d.kwj", 103);
  Project(shelf + "\\sub\\c.kwj", 103, 3, -1);
  folder_.Write(shelf + "\\notes.txt", "not a project");
  folder_.Write("readme.txt", "not a project");
  fs::permissions(readOnly, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const auto unchanged = [&] {
    std::string all;
    for (const char* name : {"\\b.KWJ", "\\d.kwj", "\\d.KWT", "\\sub\\c.kwj"})
      all += folder_.ReadIfAny(shelf + name);
    return all;
  };
  const std::string before = unchanged();

  ModalAnswerer answerer(PressOk);
  PostDrop(Form().Handle(), {Project("\x95\x5C.kwj", 103), folder_.path() / L"caf\u00e9.kwj",
                             folder_.path() / L"readme.txt", folder_.path() / Cp932ToWideLossy(shelf)});
  Pump();

  ASSERT_EQ(answerer.Records().size(), 1u) << "no box before the closing one";
  const ModalRecord& box = answerer.Records()[0];
  const auto line = [](std::string_view format, std::string_view count) {
    return texts::Format(format, count) + "\n";
  };
  // The counts at the top; the failures in the list, as the error box would
  // show them.
  EXPECT_EQ(box.text + "\n", line(texts::kRunConvertedFormat, "2") + line(texts::kRunUpToDateFormat, "1") +
                                 line(texts::kRunFailedFormat, "3") + line(texts::kRunSkippedFormat, "1"));
  EXPECT_EQ(box.list, std::string(texts::kRunFailuresHeading) + "\r\n" + shelf + "\\d.kwj\r\n  " +
                          WithClosingPeriod(texts::Format(texts::kCannotCreateFileFormat,
                                                          folder_.PathOf(shelf + "\\d.kwj"))) +
                          "\r\n" + shelf + "\\sub\\c.kwj\r\n  " +
                          WithClosingPeriod(texts::Format(texts::kIoGenericFormat, "103")) + "\r\n" +
                          WideToCp932Lossy(L"caf\u00e9.kwj") + "\r\n  " +
                          WithClosingPeriod(texts::kRunNameHasNoForm));
  EXPECT_EQ(box.caption, texts::kAppTitle);
  EXPECT_EQ(box.owner, App().Handle());
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(box.icon, Stop());
  EXPECT_EQ(Status(), texts::Format(texts::kRunStatusFailedFormat, {"6", "2"}));

  // Each project as a single conversion leaves it.
  for (const std::string& converted : {std::string("\x95\x5C"), shelf + "\\a"}) {
    SCOPED_TRACE(converted);
    EXPECT_NE(folder_.ReadIfAny(converted + ".kwj").find("Version=140"), std::string::npos);
    EXPECT_EQ(folder_.ReadIfAny(converted + ".KWT").size(), 3u * 768u);
  }
  EXPECT_EQ(unchanged(), before);

  // Nothing failed: the information icon.
  PostDrop(Form().Handle(), {folder_.path() / L"readme.txt"});
  Pump();
  ASSERT_EQ(answerer.Records().size(), 2u);
  EXPECT_EQ(answerer.Records()[1].icon, LoadIconW(nullptr, IDI_ASTERISK));
  EXPECT_EQ(answerer.Records()[1].list, "") << "nothing to list: no list";
  EXPECT_EQ(Status(), texts::Format(texts::kRunStatusSucceededFormat, {"0", "0"}));
}

TEST(RunTallyTest, EveryFailureIsListedHoweverMany) {
  RunTally tally;
  std::string expected(texts::kRunFailuresHeading);
  for (int i = 0; i < 300; ++i) {
    const std::string number = std::to_string(i);
    tally.AddFailure(number + ".kwj", std::string("m").append(number));
    expected.append("\n").append(number).append(".kwj\n  m").append(number);
  }
  EXPECT_EQ(tally.ListText(), expected);
  EXPECT_EQ(tally.SummaryText().find(".kwj"), std::string::npos) << "the counts only";
}

// What the conversion did beyond its outcome is said too: a full disk freed,
// permissions that the new files could not keep.
TEST(RunTallyTest, AFreedDiskAndPermissionsNotKeptAreSaid) {
  RunTally tally;
  ConversionResult full;
  full.outcome = ConversionOutcome::Failed;
  full.reason.text = "full";
  full.reason.cause = Cause::DiskFull;
  full.temporaryRemoved = true;
  full.temporaryPath = "C:\\TMP.DAT";
  tally.Add("full.kwj", full);
  ConversionResult converted;
  converted.outcome = ConversionOutcome::Converted;
  tally.Add("kept.kwj", converted);
  converted.permissionsNotKept = platform::permission::kOwner;
  tally.Add("owner.kwj", converted);
  const std::string text = tally.ListText();
  EXPECT_NE(text.find("\nfull.kwj\n  full." + texts::Format(texts::kRunDiskFreedFormat, "C:\\TMP.DAT")),
            std::string::npos);
  EXPECT_EQ(text.substr(text.rfind("\n\n") + 2),
            std::string(texts::kRunPermissionsNotKeptHeading) + "\nowner.kwj");
}

TEST_F(DropTest, ADropOrACloseDuringARunWaitsForTheRunAndItsBoxToEnd) {
  struct Row {
    const char* name;
    bool close;
  };
  // A close request asks whether to stop; answered いいえ, the run goes on
  // and the close is dropped.
  const Row rows[] = {{"a drop is taken afterwards", false},
                      {"a close asks, いいえ: the run goes on, the drop is taken", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string shelf = row.close ? "closing" : "dropping";
    const fs::path first = Project(shelf + "\\a.kwj", 103, 60, 60);
    Project(shelf + "\\b.kwj", 103, 60, 60);
    const fs::path later = Project(shelf + "-later.kwj", 103);
    // A slow disk, so that the run lasts while the other program acts.
    platform::faults::Plan slow;
    slow.everyWriteTakes = std::chrono::milliseconds(8);
    platform::faults::SetPlan(slow);

    bool laterConvertedAtBox = true;
    bool quitAtBox = true;
    std::size_t boxes = 0;
    ModalAnswerer answerer([&](const ModalRecord& record) {
      if (record.text == texts::kStopQuestion) return Press(record, IDNO);
      ++boxes;
      // The drop came before the box opened, and waits.
      laterConvertedAtBox = folder_.ReadIfAny(shelf + "-later.kwj").find("Version=140") != std::string::npos;
      MSG quit{};
      quitAtBox = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
      PressOk(record);
    });
    std::atomic<bool> acted{false};
    bool sawProgress = false;
    std::thread otherProgram([&] {
      // Waits until the run counts records: the window answers while it runs.
      sawProgress = kwt::testing::WaitUntil(
          [&] {
            wchar_t text[128] = {};
            DWORD_PTR length = 0;
            SendMessageTimeoutW(form_->Txt3(), WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                                2000, &length);
            return WideToCp932Lossy(text).rfind(texts::kStatusProgressPrefix, 0) == 0;
          },
          std::chrono::seconds(5), std::chrono::milliseconds(5));
      PostDrop(form_->Handle(), {later});
      if (row.close) {
        PostMessageW(form_->Handle(), WM_CLOSE, 0, 0);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(form_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_BLOCK, 5000, &ignored);
      }
      acted = true;
    });
    PostDrop(Form().Handle(), {first.parent_path()});
    while (!acted.load()) {
      // The run itself answers the other program; before and after it, this.
      App().ProcessMessage();
      AnswerSentMessagesUntil(acted);
    }
    otherProgram.join();
    Pump();
    platform::faults::ClearPlan();

    EXPECT_TRUE(sawProgress);
    EXPECT_FALSE(laterConvertedAtBox);
    EXPECT_FALSE(quitAtBox);
    EXPECT_NE(folder_.ReadIfAny(shelf + "\\b.kwj").find("Version=140"), std::string::npos)
        << "the run went on";
    EXPECT_FALSE(App().Terminated());
    // The drop that waited is a lone project: the dialog's way, no box.
    EXPECT_EQ(boxes, 1u);
    EXPECT_NE(folder_.ReadIfAny(shelf + "-later.kwj").find("Version=140"), std::string::npos);
  }
}

// Esc or a close request during a run asks whether to stop: はい stops at the
// next record as kwtconv's Ctrl+C does and starts no further project; いいえ
// lets the run go on.
TEST_F(DropTest, ARunStopsAtTheNextRecordWhenTheUserSaysSo) {
  enum class When { AtARecord, InTheSecondPass, BeforeAProject };
  struct Row {
    const char* name;
    When when;
    bool close;  // a close request from another program, else Esc
    int answer;
    // a.kwj's Version and record size afterwards; b.kwj converted.
    const char* versionA;
    std::size_t recordA;
    bool convertedB;
  };
  const Row rows[] = {
      {"Esc at a record, いいえ", When::AtARecord, false, IDNO, "140", 768, true},
      {"Esc at a record, はい", When::AtARecord, false, IDYES, "103", 516, false},
      {"Esc in the last pass, はい", When::InTheSecondPass, false, IDYES, "103", 516, false},
      {"Esc before the first project, はい", When::BeforeAProject, false, IDYES, "102", 300, false},
      {"a close at a record, いいえ", When::AtARecord, true, IDNO, "140", 768, true},
      // Last: the window then closes.
      {"a close at a record, はい", When::AtARecord, true, IDYES, "103", 516, false},
  };
  int round = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string shelf = "shelf" + std::to_string(++round);
    // a.kwj of version 102 (two passes) where the second pass is stopped.
    const bool twoPasses = row.when != When::AtARecord;
    fs::create_directories(folder_.path() / shelf);
    folder_.Write(shelf + "\\a.KWT", std::string((twoPasses ? 300u : 516u) * 60u, '\x01'));
    folder_.Write(shelf + "\\a.kwj", std::string("[KWJ]\r\nVersion=") + (twoPasses ? "102" : "103") +
                                         "\r\nCount=60\r\nKWT=" + folder_.PathOf(shelf + "\\a.KWT") + "\r\n");
    Project(shelf + "\\b.kwj", 103, 60, 60);
    platform::faults::Plan slow;
    slow.everyWriteTakes = std::chrono::milliseconds(8);
    platform::faults::SetPlan(slow);

    std::vector<ModalRecord> questions;
    std::vector<ModalRecord> boxes;
    ModalAnswerer answerer([&](const ModalRecord& record) {
      if (record.text != texts::kStopQuestion) {
        boxes.push_back(record);
        return PressOk(record);
      }
      questions.push_back(record);
      // The run waits where it is: its unfinished TMP.DAT is still there.
      EXPECT_EQ(fs::exists(folder_.path() / shelf / L"TMP.DAT"), row.when != When::BeforeAProject);
      Press(record, row.answer);
    });
    std::atomic<bool> acted{row.when == When::BeforeAProject};
    std::thread otherProgram;
    if (!acted) {
      otherProgram = std::thread([&] {
        // Waits for the record counter, or for the first pass to be stamped.
        kwt::testing::WaitUntil(
            [&] {
              wchar_t text[128] = {};
              DWORD_PTR length = 0;
              SendMessageTimeoutW(form_->Txt3(), WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                                  2000, &length);
              const bool counting = WideToCp932Lossy(text).rfind(texts::kStatusProgressPrefix, 0) == 0;
              const bool stamped =
                  folder_.ReadIfAny(shelf + "\\a.kwj").find("Version=103") != std::string::npos;
              return counting && (row.when == When::AtARecord || stamped);
            },
            std::chrono::seconds(4), std::chrono::milliseconds(2));
        if (row.close) {
          DWORD_PTR ignored = 0;
          SendMessageTimeoutW(form_->Handle(), WM_CLOSE, 0, 0, SMTO_BLOCK, 5000, &ignored);
        } else {
          PostMessageW(form_->Handle(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
          PostMessageW(form_->Handle(), WM_KEYUP, VK_ESCAPE, 0xC0010001);
        }
        acted = true;
      });
    }
    PostDrop(Form().Handle(), {folder_.path() / shelf});
    // Before any project: the Esc waits behind the drop.
    if (row.when == When::BeforeAProject) PostMessageW(form_->Handle(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    while (!acted.load()) {
      App().ProcessMessage();
      AnswerSentMessagesUntil(acted);
    }
    if (otherProgram.joinable()) otherProgram.join();
    Pump();
    platform::faults::ClearPlan();

    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].owner, form_->Handle()) << "owned by the window";
    EXPECT_EQ(questions[0].buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_NE(folder_.ReadIfAny(shelf + "\\a.kwj").find(std::string("Version=") + row.versionA),
              std::string::npos);
    EXPECT_EQ(folder_.ReadIfAny(shelf + "\\a.KWT").size(), row.recordA * 60u);
    EXPECT_FALSE(fs::exists(folder_.path() / shelf / L"TMP.DAT"));
    EXPECT_EQ(folder_.ReadIfAny(shelf + "\\b.kwj").find("Version=140") != std::string::npos, row.convertedB);
    ASSERT_EQ(boxes.size(), 1u);
    const bool stopped = row.answer == IDYES;
    const bool oneStopped = stopped && row.when != When::BeforeAProject;
    std::string summary = texts::Format(texts::kRunConvertedFormat, stopped ? "0" : "2");
    for (const auto& [format, count] :
         std::initializer_list<std::pair<std::string_view, const char*>>{{texts::kRunUpToDateFormat, "0"},
                                                                         {texts::kRunFailedFormat, "0"},
                                                                         {texts::kRunSkippedFormat, "0"}})
      summary += "\n" + texts::Format(format, count);
    if (stopped) {
      summary += "\n" + texts::Format(texts::kRunStoppedFormat, oneStopped ? "1" : "0");
      if (oneStopped) summary += " (" + shelf + "\\a.kwj)";
      summary += "\n" + texts::Format(texts::kRunNotStartedFormat, oneStopped ? "1" : "2");
    }
    EXPECT_EQ(boxes[0].text, summary);
    EXPECT_EQ(Status(), stopped ? texts::Format(texts::kRunStatusStoppedFormat, {"2", "0"})
                                : texts::Format(texts::kRunStatusSucceededFormat, {"2", "2"}));
    EXPECT_EQ(App().Terminated(), row.close && stopped);
  }
}

// The system menu's backup item: off at start; on, every conversion the
// window makes keeps the two backups kwtconv --backup keeps.
TEST_F(DropTest, TheBackupItemBacksUpEveryConversionWhileItIsOn) {
  const HMENU menu = GetSystemMenu(form_->Handle(), FALSE);
  EXPECT_EQ(GetMenuState(menu, TfrmMain::kBackupCommand, MF_BYCOMMAND) & MF_CHECKED, 0u);
  ModalAnswerer answerer(PressOk);
  int round = 0;
  for (const bool on : {false, true, false}) {
    for (const bool run : {false, true}) {
      SCOPED_TRACE(std::to_string(on) + (run ? " run" : " lone"));
      if (form_->BackupBeforeConverting() != on)
        SendMessageW(form_->Handle(), WM_SYSCOMMAND, TfrmMain::kBackupCommand, 0);
      EXPECT_EQ((GetMenuState(menu, TfrmMain::kBackupCommand, MF_BYCOMMAND) & MF_CHECKED) != 0, on);
      const std::string name = "p" + std::to_string(++round);
      const fs::path project = Project(name + "\\a.kwj", 103);
      const std::string before = folder_.ReadIfAny(name + "\\a.kwj") + folder_.ReadIfAny(name + "\\a.KWT");
      PostDrop(Form().Handle(), {run ? project.parent_path() : project});
      Pump();
      EXPECT_NE(folder_.ReadIfAny(name + "\\a.kwj").find("Version=140"), std::string::npos);
      EXPECT_EQ(folder_.ReadIfAny(name + "\\a.kwj.bak") + folder_.ReadIfAny(name + "\\a.KWT.bak"),
                on ? before : "");
    }
  }
  EXPECT_EQ(answerer.Records().size(), 3u) << "the runs' boxes only";

  // A file of a backup's name that is no copy of the project refuses it, in
  // the window's words.
  SendMessageW(form_->Handle(), WM_SYSCOMMAND, TfrmMain::kBackupCommand, 0);
  const fs::path project = Project("taken\\a.kwj", 103);
  folder_.Write("taken\\a.kwj.bak", "someone else's");
  PostDrop(Form().Handle(), {project});
  Pump();
  ASSERT_EQ(answerer.Records().size(), 4u);
  EXPECT_EQ(answerer.Records().back().text,
            WithClosingPeriod(texts::Format(texts::kBackupExistsFormat, folder_.PathOf("taken\\a.kwj.bak"))));
  EXPECT_NE(folder_.ReadIfAny("taken\\a.kwj").find("Version=103"), std::string::npos);
}

// The restore item opens a dialog of its own and puts projects back as
// kwtconv --restore does, with its refusals.
TEST_F(DropTest, TheRestoreItemPutsProjectsBackFromTheirBackups) {
  SendMessageW(form_->Handle(), WM_SYSCOMMAND, TfrmMain::kBackupCommand, 0);
  const fs::path converted = Project("back.kwj", 103);
  const std::string before = folder_.ReadIfAny("back.kwj") + folder_.ReadIfAny("back.KWT");
  const fs::path plain = Project("plain.kwj", 103);
  std::vector<ModalRecord> boxes;
  std::wstring name;
  ModalAnswerer answerer([&](const ModalRecord& record) {
    if (record.fileDialog) return AcceptName(record, name);
    boxes.push_back(record);
    PressOk(record);
  });
  PostDrop(Form().Handle(), {converted});
  Pump();
  ASSERT_NE(folder_.ReadIfAny("back.kwj").find("Version=140"), std::string::npos);

  struct Row {
    const wchar_t* name;
    std::string status;  // empty: the error box
    std::string box;     // the closing box's counts, if one closes it
  };
  const std::wstring full = converted.wstring();
  const Row rows[] = {
      {full.c_str(), std::string(texts::kStatusRestored), ""},
      {full.c_str(), std::string(texts::kStatusAlreadyRestored), ""},
      {plain.c_str(), "", ""},
      // The dialog now opens in their folder.
      {L"\"back.kwj\" \"plain.kwj\"", texts::Format(texts::kRestoreStatusFormat, {"2", "0"}),
       texts::Format(texts::kRestoredCountFormat, "0") + "\n" +
           texts::Format(texts::kAlreadyRestoredCountFormat, "1") + "\n" +
           texts::Format(texts::kRunFailedFormat, "1")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(WideToCp932Lossy(row.name));
    name = row.name;
    boxes.clear();
    form_->SetStatus("");
    SendMessageW(form_->Handle(), WM_SYSCOMMAND, TfrmMain::kRestoreCommand, 0);
    Pump();
    EXPECT_EQ(folder_.ReadIfAny("back.kwj") + folder_.ReadIfAny("back.KWT"), before);
    EXPECT_EQ(Status(), row.status);
    if (row.status.empty()) {
      ASSERT_EQ(boxes.size(), 1u);
      const std::string refused(
          texts::kRestoreRefusedFormat.substr(0, texts::kRestoreRefusedFormat.find('%')));
      const std::string missing(
          texts::kRestoreBackupMissingFormat.substr(0, texts::kRestoreBackupMissingFormat.find('%')));
      EXPECT_EQ(boxes[0].text.rfind(refused + missing, 0), 0u) << boxes[0].text;
      EXPECT_EQ(boxes[0].icon, Stop());
    } else {
      ASSERT_EQ(boxes.size(), row.box.empty() ? 0u : 1u);
      if (!row.box.empty()) {
        EXPECT_EQ(boxes[0].text, row.box);
      }
    }
  }
  EXPECT_EQ(form_->FileOpen1().Dialog().FileName(), "") << "the open action's dialog remembers nothing new";
}

}  // namespace
}  // namespace kwt::ui::testing
