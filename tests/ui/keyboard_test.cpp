// Focus order and keys: Tab through the tab stops, arrows through every
// control of the group, Enter and access keys on buttons, Ctrl+O anywhere,
// Escape nowhere.
#include "frame/display_text.h"
#include "ui_harness.h"

namespace kwt::ui::testing {
namespace {

class KeyboardTest : public WindowTest {
 protected:
  // The control name for a handle, for readable failures.
  std::string NameOf(HWND control) {
    TfrmMain& form = Form();
    const std::pair<HWND, const char*> names[] = {{form.StaticText1(), "StaticText1"},
                                                  {form.Btn(), "Btn"},
                                                  {form.Txt1(), "Txt1"},
                                                  {form.Txt2(), "Txt2"},
                                                  {form.Edit1(), "Edit1"},
                                                  {form.Txt3(), "Txt3"},
                                                  {form.BitBtn1(), "BitBtn1"},
                                                  {form.Handle(), "frmMain"}};
    for (const auto& [handle, name] : names) {
      if (handle == control) return name;
    }
    return "other";
  }

  // Presses key with modifiers once per expected stop, checking each.
  void ExpectWalk(Chord chord, std::initializer_list<HWND> stops) {
    for (HWND stop : stops) {
      Type({chord});
      EXPECT_EQ(NameOf(Focus()), NameOf(stop));
    }
  }
};

TEST_F(KeyboardTest, TabWalksTheTabStopsBothWaysAndWraps) {
  TfrmMain& form = Form();
  ASSERT_EQ(NameOf(Focus()), "Btn");
  ExpectWalk({VK_TAB}, {form.Edit1(), form.BitBtn1(), form.Btn(), form.Edit1()});
  ExpectWalk({VK_TAB, {VK_SHIFT}}, {form.Btn(), form.BitBtn1(), form.Edit1()});
}

TEST_F(KeyboardTest, ArrowsWalkEveryControlOfTheGroupInTabOrder) {
  TfrmMain& form = Form();
  ExpectWalk({VK_RIGHT}, {form.Txt1(), form.Txt2()});
  ExpectWalk({VK_DOWN}, {form.Edit1()});
  // In the target box the arrows move the caret and the focus stays.
  ExpectWalk({VK_RIGHT}, {form.Edit1()});
  ExpectWalk({VK_LEFT}, {form.Edit1()});
  Type({{VK_TAB}});
  ExpectWalk({VK_RIGHT}, {form.StaticText1(), form.Btn()});
  ExpectWalk({VK_UP}, {form.StaticText1(), form.BitBtn1(), form.Txt3()});
  // From a static text Tab goes on to the next tab stop after it.
  ExpectWalk({VK_TAB, {VK_SHIFT}}, {form.Edit1()});
}

TEST_F(KeyboardTest, EnteringTheTargetBoxByKeySelectsItsWholeText) {
  const std::string text = "C:\\folder\\data.KWT";
  Form().SetTarget(text);
  Type({{VK_TAB}});
  ASSERT_EQ(Focus(), Form().Edit1());
  DWORD start = 1;
  DWORD end = 0;
  SendMessageW(Form().Edit1(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, text.size());
  // Typing cannot change it.
  Type({{'A'}, {VK_BACK}, {VK_DELETE}});
  EXPECT_EQ(frame::WindowText(Form().Edit1()), text);
}

TEST_F(KeyboardTest, KeysThatDoNothing) {
  struct Row {
    const char* name;
    int tabs;  // from Btn: 1 reaches Edit1, 2 BitBtn1
    Chord chord;
  };
  const Row rows[] = {
      {"Escape on Btn", 0, {VK_ESCAPE}},     {"Escape in Edit1", 1, {VK_ESCAPE}},
      {"Enter in Edit1", 1, {VK_RETURN}},    {"X in Edit1", 1, {'X'}},
      {"Alt+C on Btn", 0, {'C', {VK_MENU}}},
  };
  ModalAnswerer answerer([](const ModalRecord& record) { PressCancel(record); });
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetFocus(Form().Btn());
    for (int i = 0; i < row.tabs; ++i) Type({{VK_TAB}});
    const HWND before = Focus();
    Type({row.chord});
    EXPECT_FALSE(App().Terminated());
    EXPECT_EQ(Focus(), before);
    EXPECT_TRUE(IsWindowVisible(Form().Handle()));
  }
  EXPECT_TRUE(answerer.Records().empty());
}

TEST_F(KeyboardTest, CloseButtonKeysEndTheRun) {
  struct Row {
    const char* name;
    int tabs;
    Chord chord;
  };
  const Row rows[] = {
      {"Enter at start", 0, {VK_RETURN}},        {"Space on Btn", 0, {VK_SPACE}},
      {"Alt+X from Edit1", 1, {'X', {VK_MENU}}}, {"Alt+X from BitBtn1", 2, {'X', {VK_MENU}}},
      {"x alone on BitBtn1", 2, {'X'}},          {"X alone on Btn", 0, {'X', {VK_SHIFT}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TearDown();
    SetUp();
    for (int i = 0; i < row.tabs; ++i) Type({{VK_TAB}});
    Type({row.chord});
    EXPECT_TRUE(App().Terminated());
    // The window stays until the run ends; it is not destroyed by the key.
    EXPECT_TRUE(IsWindow(Form().Handle()));
  }
}

TEST_F(KeyboardTest, OpenActionFromCtrlOAnywhereAndFromItsButton) {
  struct Row {
    const char* name;
    HWND (TfrmMain::*focused)() const noexcept;
    Chord chord;
  };
  const Row rows[] = {
      {"Ctrl+O on Btn", &TfrmMain::Btn, {'O', {VK_CONTROL}}},
      {"Ctrl+O on Txt1", &TfrmMain::Txt1, {'O', {VK_CONTROL}}},
      {"Ctrl+O in Edit1", &TfrmMain::Edit1, {'O', {VK_CONTROL}}},
      {"Ctrl+O on Txt3", &TfrmMain::Txt3, {'O', {VK_CONTROL}}},
      {"Enter on BitBtn1", &TfrmMain::BitBtn1, {VK_RETURN}},
      {"Space on BitBtn1", &TfrmMain::BitBtn1, {VK_SPACE}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetFocus((Form().*row.focused)());
    const HWND before = Focus();
    ModalAnswerer answerer([&](const ModalRecord& record) {
      // The window is disabled while the dialog is open.
      EXPECT_FALSE(IsWindowEnabled(Form().Handle()));
      PressCancel(record);
    });
    Type({row.chord});
    ASSERT_EQ(answerer.Records().size(), 1u);
    EXPECT_TRUE(answerer.Records()[0].fileDialog);
    // Afterwards the window takes input again, its focus where it was.
    EXPECT_TRUE(IsWindowEnabled(Form().Handle()));
    EXPECT_EQ(GetActiveWindow(), Form().Handle());
    EXPECT_EQ(NameOf(Focus()), NameOf(before));
    EXPECT_FALSE(App().Terminated());
  }
}

}  // namespace
}  // namespace kwt::ui::testing
