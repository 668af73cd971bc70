// The open action end to end: the dialog's folder, name, filter and place,
// a cancelled dialog, a typed name, and conversions that succeed or end in an
// I/O error shown once in the error box.
#include "ui_harness.h"

#include <commdlg.h>
#include <dlgs.h>

#include "frame/display_text.h"
#include "runtime/file_names.h"
#include "runtime/path_shortening.h"
#include "runtime/platform.h"
#include "runtime/texts.h"

namespace kwt::ui::testing {
namespace {

class OpenConvertTest : public WindowTest {
 protected:
  // Presses Ctrl+O with answer ending the dialog; answers any error box with
  // OK. Returns every box and dialog seen.
  std::vector<ModalRecord> Open(std::function<void(const ModalRecord&)> answer) {
    ModalAnswerer answerer([&](const ModalRecord& record) {
      if (record.fileDialog) {
        answer(record);
      } else {
        // The program's windows are disabled while the box is open.
        disabledDuringBox_ = !IsWindowEnabled(Form().Handle()) && !IsWindowEnabled(App().Handle());
        PressOk(record);
      }
    });
    Type({{'O', {VK_CONTROL}}});
    return answerer.Records();
  }

  std::string Progress(int record) const {
    return std::string(texts::kStatusProgressPrefix) + std::to_string(record) +
           std::string(texts::kStatusProgressSuffix);
  }

  bool disabledDuringBox_ = false;
  TempFolder folder_;
};

TEST_F(OpenConvertTest, DialogStartsInTheProgramFolderWithTheFilterAndIsPlaced) {
  std::string filterShown;
  const auto records = Open([&](const ModalRecord& record) {
    filterShown = frame::WindowText(GetDlgItem(record.window, cmb1));
    PressCancel(record);
  });
  ASSERT_EQ(records.size(), 1u);
  const ModalRecord& dialog = records[0];
  EXPECT_EQ(dialog.folder, ContainingDirectory(platform::ExecutablePath()));
  EXPECT_EQ(dialog.nameBox, "");
  EXPECT_EQ(dialog.owner, App().Handle());
  EXPECT_EQ(filterShown, SplitFilter(texts::kOpenFilter).at(0).description);
  // Centred across the monitor, a third of the free height down.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(Form().Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
  const POINT origin = DialogOrigin(monitor.rcMonitor, SIZE{dialog.bounds.right - dialog.bounds.left,
                                                            dialog.bounds.bottom - dialog.bounds.top});
  EXPECT_EQ(dialog.bounds.left, origin.x);
  EXPECT_EQ(dialog.bounds.top, origin.y);
  // Only these options: no existence checks, no default extension, no
  // restoring of the current folder.
  EXPECT_EQ(TOpenDialog::Flags(),
            static_cast<DWORD>(OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_ENABLEHOOK));
}

TEST_F(OpenConvertTest, TypedNamesOfMissingFilesPassAsTypedAndAreRemembered) {
  struct Row {
    const char* name;
    std::string typed;
  };
  const Row rows[] = {
      {"missing project", folder_.PathOf("missing.kwj")},
      {"no extension added", folder_.PathOf("project")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string remembered = Form().FileOpen1().Dialog().FileName();
    const auto records = Open([&](const ModalRecord& record) {
      // The name accepted last time is offered again.
      if (!remembered.empty()) {
        EXPECT_EQ(NamePart(record.nameBox), NamePart(remembered));
      }
      AcceptName(record, row.typed);
    });
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(Form().FileOpen1().Dialog().FileName(), row.typed);
    EXPECT_EQ(frame::WindowText(Form().Txt3()), texts::kStatusFileMissing);
  }
}

TEST_F(OpenConvertTest, CancelOrANameTheCoreCannotTakeChangesNothing) {
  const std::string accepted = folder_.PathOf("first.kwj");
  Open([&](const ModalRecord& record) { AcceptName(record, accepted); });
  Form().SetTarget("C:\\before\\data.KWT");
  const std::wstring folder = folder_.path().wstring() + L"\\";
  struct Row {
    const char* name;
    std::function<void(const ModalRecord&)> answer;
  };
  const Row rows[] = {
      {"cancelled", [](const ModalRecord& record) { PressCancel(record); }},
      // Fewer than 260 characters but more than 259 bytes: 表 takes two. (A
      // name longer than the buffer in characters is refused by the dialog
      // itself on Windows; under Wine its dialog faults on one.)
      {"too long in bytes",
       [&](const ModalRecord& record) {
         AcceptName(record, L"C:\\" + std::wstring(130, L'\u8868') + L".kwj");
       }},
      // No code page 932 form: the byte-string core could not open it.
      {"outside code page 932",
       [&](const ModalRecord& record) { AcceptName(record, folder + L"caf\u00e9.kwj"); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Open(row.answer).size(), 1u);
    EXPECT_EQ(Form().FileOpen1().Dialog().FileName(), accepted);
    EXPECT_EQ(frame::WindowText(Form().Txt3()), texts::kStatusFileMissing);
    EXPECT_EQ(frame::WindowText(Form().Edit1()), "C:\\before\\data.KWT");
  }
}

TEST_F(OpenConvertTest, CtrlOConvertsAPreparedProject) {
  const std::string project = WriteProject(folder_, 3, 3);
  const auto records = Open([&](const ModalRecord& record) { AcceptName(record, project); });
  ASSERT_EQ(records.size(), 1u) << "no error box";
  EXPECT_EQ(frame::WindowText(Form().Txt3()), texts::kStatusSuccess);
  const std::string contents = folder_.PathOf("data.KWT");
  EXPECT_EQ(frame::WindowText(Form().Edit1()),
            ShortenPath(contents, Form().TargetMeasure(), Form().TargetWidth()));
  EXPECT_NE(frame::WindowText(Form().Edit1()), contents) << "the prepared path is too long to fit";
  EXPECT_EQ(folder_.ReadIfAny("data.KWT").size(), 3u * 768u);
  EXPECT_NE(folder_.ReadIfAny("project.kwj").find("Version=140"), std::string::npos);
  // The window is idle and usable again.
  EXPECT_TRUE(IsWindowEnabled(Form().Handle()));
  EXPECT_FALSE(App().Terminated());
}

TEST_F(OpenConvertTest, IoErrorShowsOneErrorBoxAndBothActionsWorkAfterwards) {
  // Five records claimed, three present: reading record 3 passes the end.
  const std::string project = WriteProject(folder_, 3, 5);
  const auto records = Open([&](const ModalRecord& record) { AcceptName(record, project); });
  ASSERT_EQ(records.size(), 2u) << "the dialog and exactly one error box";
  const ModalRecord& box = records[1];
  EXPECT_FALSE(box.fileDialog);
  EXPECT_EQ(box.text, std::string(texts::kIoReadPastEnd) + ".");
  EXPECT_EQ(box.caption, texts::kAppTitle);
  EXPECT_EQ(box.owner, App().Handle());
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(box.icon, LoadIconW(nullptr, IDI_HAND));
  EXPECT_TRUE(disabledDuringBox_);

  // What the pass had done stays done.
  EXPECT_EQ(frame::WindowText(Form().Txt3()), Progress(3));
  EXPECT_EQ(frame::WindowText(Form().Edit1()),
            ShortenPath(folder_.PathOf("data.KWT"), Form().TargetMeasure(), Form().TargetWidth()));
  EXPECT_EQ(folder_.ReadIfAny("data.KWT").size(), 3u * 516u);
  EXPECT_TRUE(IsWindowEnabled(Form().Handle()));
  EXPECT_EQ(GetActiveWindow(), Form().Handle());

  // Ctrl+O and the open button each open the dialog once more.
  EXPECT_EQ(Open([](const ModalRecord& record) { PressCancel(record); }).size(), 1u);
  ModalAnswerer answerer([](const ModalRecord& record) { PressCancel(record); });
  SendMessageW(Form().BitBtn1(), BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(answerer.Records().size(), 1u);
  EXPECT_TRUE(Form().FileOpen1().Enabled());
  EXPECT_TRUE(Form().FileExit1().Enabled());
}

}  // namespace
}  // namespace kwt::ui::testing
