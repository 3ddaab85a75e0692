// The event order of the controls: what the windows' logic relies on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextLayout>
#include <QWidget>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "controls/scripted_dialogs.h"

namespace {

struct NumberedFailure : std::runtime_error {
  NumberedFailure(long n, const std::string& d) : std::runtime_error(d), number(n) {}
  long number;
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::setErrorDescriber([](std::exception_ptr e) -> ui::ErrorInfo {
      try {
        std::rethrow_exception(e);
      } catch (const NumberedFailure& f) {
        return {f.number, f.what()};
      } catch (const std::exception& x) {
        return {-1, x.what()};
      }
    });
  }
  void TearDown() override { ui::setErrorDescriber(nullptr); }

  QWidget window;
  ui::ScriptedDialogs dialogs;
  std::vector<std::string> log;
};

TEST_F(ControlsTest, TextBoxSetterRaisesChangeBeforeReturningOnlyWhenTheTextDiffers) {
  ui::TextBox txt(&window);
  txt.Change = [&] { log.push_back("change:" + txt.Text()); };
  txt.setText("abc");
  log.push_back("after");
  txt.setText("abc");
  EXPECT_EQ(log, (std::vector<std::string>{"change:abc", "after"}));

  txt.setMaxLength(3);
  txt.setText("abcdef");
  EXPECT_EQ(txt.Text(), "abc");
  txt.setText("xyz");
  txt.setSelStart(1);
  txt.setSelLength(2);
  EXPECT_EQ(txt.SelStart(), 1);
  EXPECT_EQ(txt.SelLength(), 2);
  EXPECT_EQ(txt.SelText(), "yz");
}

// A long line wraps within the box; Text gives back what was set, line breaks included,
// and typing adds no line break.
TEST_F(ControlsTest, WrappingTextBoxWrapsAndKeepsItsOneLine) {
  ui::WrappingTextBox box(&window);
  box.Move(0, 0, 3000, 1500);
  window.show();
  box.Change = [&] { log.push_back("change:" + box.Text()); };
  const std::string longLine(300, 'w');
  box.setText("short " + longLine + " end");
  box.setText("short " + longLine + " end");
  EXPECT_EQ(log.size(), 1u);
  QApplication::processEvents();
  const QTextLayout* layout = box.document()->begin().layout();
  ASSERT_NE(layout, nullptr);
  EXPECT_GT(layout->lineCount(), 2);
  for (int i = 0; i < layout->lineCount(); ++i) EXPECT_LE(layout->lineAt(i).naturalTextWidth(), box.viewport()->width());

  box.setText("one\r\ntwo");
  EXPECT_EQ(box.Text(), "one\r\ntwo");
  box.setSelStart(3);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  QApplication::sendEvent(&box, &enter);
  QKeyEvent letter(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  QApplication::sendEvent(&box, &letter);
  EXPECT_EQ(box.Text(), "onex\r\ntwo");
  QApplication::clipboard()->setText("a\nb");
  box.paste();
  EXPECT_EQ(box.Text(), "onexa b\r\ntwo");
  EXPECT_EQ(log.back(), "change:onexa b\r\ntwo");
}

TEST_F(ControlsTest, ListsRaiseClickFromCodeBeforeReturningAndNothingOnClearOrAdd) {
  ui::ComboBox cmb(&window);
  ui::ListBox lst(&window);
  cmb.Click = [&] { log.push_back("cmb:" + cmb.Text()); };
  lst.Click = [&] { log.push_back("lst:" + lst.Text()); };

  cmb.AddItem("pool 1");
  cmb.AddItem("pool 2");
  lst.AddItem("q1");
  EXPECT_TRUE(log.empty()) << "adding entries selects nothing";
  EXPECT_EQ(cmb.ListIndex(), -1);
  EXPECT_EQ(lst.ListIndex(), -1);

  cmb.setListIndex(1);
  log.push_back("after");
  EXPECT_EQ(log, (std::vector<std::string>{"cmb:pool 2", "after"}));

  log.clear();
  cmb.Clear();
  lst.setListIndex(0);
  lst.Clear();
  EXPECT_EQ(cmb.ListCount(), 0);
  EXPECT_EQ(cmb.ListIndex(), -1);
  EXPECT_EQ(lst.ListIndex(), -1);
  EXPECT_EQ(log, (std::vector<std::string>{"lst:q1"}));
}

TEST_F(ControlsTest, ChainOfSelectionsRunsToItsEndInsideTheFirstSetter) {
  // Filling the pool list selects its first pool, which fills the question list, which
  // selects its first question, which loads it.
  ui::ComboBox cmbPool(&window);
  ui::ListBox lstQuestion(&window);
  cmbPool.Click = [&] {
    lstQuestion.Clear();
    lstQuestion.AddItem(cmbPool.Text() + "-01");
    lstQuestion.AddItem(cmbPool.Text() + "-02");
    lstQuestion.setListIndex(0);
    log.push_back("pool filled questions");
  };
  lstQuestion.Click = [&] { log.push_back("load " + lstQuestion.Text()); };
  cmbPool.AddItem("A");
  cmbPool.AddItem("B");
  cmbPool.setListIndex(0);
  log.push_back("end");
  cmbPool.setListIndex(1);
  EXPECT_EQ(log, (std::vector<std::string>{"load A-01", "pool filled questions", "end", "load B-01",
                                           "pool filled questions"}));
}

TEST_F(ControlsTest, AfterEventHookRunsOnceWhenTheOutermostEventEndsWellOrNot) {
  ui::ComboBox cmbPool(&window);
  ui::ListBox lstQuestion(&window);
  cmbPool.Click = [&] {
    lstQuestion.AddItem("1");
    lstQuestion.setListIndex(0);
  };
  lstQuestion.Click = [&] { log.push_back("load"); };
  ui::setAfterEventHook([&] { log.push_back("after"); });
  cmbPool.AddItem("A");
  cmbPool.setListIndex(0);
  ui::runEvent([] { throw NumberedFailure(5, "stopped"); });
  ui::setAfterEventHook(nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"load", "after", "after"}));
}

TEST_F(ControlsTest, ImportListKeepsSeveralSelectedEntries) {
  ui::ListBox lst(&window, true);
  for (const char* s : {"a", "b", "c"}) lst.AddItem(s);
  lst.setSelected(0, true);
  lst.setSelected(2, true);
  EXPECT_EQ(lst.SelCount(), 2);
  EXPECT_TRUE(lst.Selected(0));
  EXPECT_FALSE(lst.Selected(1));
  EXPECT_TRUE(lst.Selected(2));
}

TEST_F(ControlsTest, CheckAndOptionValuesFromCodeRaiseClickWithTheIndex) {
  ui::CheckArray chk;
  chk.add(new ui::CheckBox(&window, "a", 0));
  chk.add(new ui::CheckBox(&window, "b", 1));
  chk.Click = [&](int i) { log.push_back("chk" + std::to_string(i) + "=" + std::to_string(chk[i].Value())); };
  chk[1].setValue(1);
  chk[1].setValue(1);
  chk[1].setValue(0);
  EXPECT_EQ(log, (std::vector<std::string>{"chk1=1", "chk1=0"}));

  log.clear();
  ui::OptionArray opt;
  for (int i = 0; i < 3; ++i) opt.add(new ui::OptionButton(&window, "o" + std::to_string(i), i));
  opt.Click = [&](int i) { log.push_back("opt" + std::to_string(i)); };
  opt[0].setValue(true);
  opt[2].setValue(true);
  EXPECT_FALSE(opt[0].Value()) << "options of one container exclude each other";
  opt[2].setValue(false);  // clears the chosen option, raising nothing
  EXPECT_FALSE(opt[2].Value());
  EXPECT_EQ(log, (std::vector<std::string>{"opt0", "opt2"}));
}

TEST_F(ControlsTest, SliderScrollComesFromTheUserOnly) {
  ui::Slider sld(&window);
  int scrolls = 0;
  sld.Scroll = [&] { ++scrolls; };
  sld.setMin(10);
  sld.setMax(50);
  sld.setTickFrequency(5);
  sld.setValue(30);
  sld.setMin(40);  // clamps the value: still code
  EXPECT_EQ(sld.Value(), 40);
  EXPECT_EQ(scrolls, 0);
  sld.triggerAction(QAbstractSlider::SliderSingleStepAdd);  // what a key press or click does
  EXPECT_EQ(scrolls, 1);
  EXPECT_EQ(sld.Value(), 41);
}

TEST_F(ControlsTest, ErrorOfAUserEventIsShownWithNumberAndTheWindowStays) {
  ui::CommandButton cmd(&window, "Save");
  ui::TextBox txt(&window);
  txt.setText("unsaved work");
  cmd.Click = [&] { throw NumberedFailure(-2147217900, "Syntax error in the command."); };
  window.show();
  cmd.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "-2147217900:Syntax error in the command.");
  EXPECT_EQ(dialogs.shown[0].icon, ui::MsgIcon::Critical);
  EXPECT_EQ(dialogs.shown[0].buttons, ui::MsgButtons::OkOnly);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(txt.Text(), "unsaved work");
  EXPECT_FALSE(ui::inEventHandler());
}

TEST_F(ControlsTest, ErrorOfANestedEventStopsTheOuterHandlerAndIsShownOnce) {
  ui::CommandButton cmd(&window, "Go");
  ui::ComboBox cmb(&window);
  cmb.AddItem("x");
  cmb.Click = [&] { throw NumberedFailure(3021, "No current record."); };
  cmd.Click = [&] {
    log.push_back("before");
    cmb.setListIndex(0);
    log.push_back("after");  // not reached: the setter's statement failed
  };
  cmd.Press();
  EXPECT_EQ(log, (std::vector<std::string>{"before"}));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "3021:No current record.");

  // The control is usable afterwards.
  cmb.Click = [&] { log.push_back("click"); };
  cmb.AddItem("y");
  cmb.setListIndex(1);
  EXPECT_EQ(log.back(), "click");

  // A maximum length that shortens the text is a change too.
  ui::TextBox txt(&window);
  txt.setText("abcdef");
  txt.Change = [&] { throw NumberedFailure(3251, "Not updatable."); };
  cmd.Click = [&] {
    txt.setMaxLength(2);
    log.push_back("after max length");
  };
  cmd.Press();
  EXPECT_EQ(log.back(), "click");
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].text, "3251:Not updatable.");
}

TEST_F(ControlsTest, ScriptedDialogsAnswerAndRecordEveryBox) {
  dialogs.queueAnswer(ui::MsgResult::Ok);
  EXPECT_EQ(ui::MsgBox("Delete?", ui::MsgButtons::OkCancel, ui::MsgIcon::Exclamation, "Confirm"), ui::MsgResult::Ok);
  EXPECT_EQ(ui::MsgBox("Again?", ui::MsgButtons::YesNo), ui::MsgResult::No) << "unanswered choice does nothing";
  EXPECT_EQ(dialogs.unanswered, 1);
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[0].title, "Confirm");
  EXPECT_EQ(dialogs.shown[0].icon, ui::MsgIcon::Exclamation);
  EXPECT_EQ(dialogs.shown[1].title, "ZORBEXEditor") << "an empty title shows the application title";

  ui::CommonDialog dlg;
  dlg.Filter = "All (*.*)|*.*";
  dialogs.queueFile("/tmp/source.mdb");
  dialogs.queueFile(std::nullopt);
  EXPECT_TRUE(dlg.ShowOpen());
  EXPECT_EQ(dlg.FileName, "/tmp/source.mdb");
  EXPECT_FALSE(dlg.ShowOpen());
  EXPECT_EQ(dlg.FileName, "");
  EXPECT_EQ(dialogs.fileFilters, (std::vector<std::string>{"All (*.*)|*.*", "All (*.*)|*.*"}));
}

}  // namespace
