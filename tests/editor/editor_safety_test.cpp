// What the editors do when the bank changes under them or refuses a write: a question
// deleted or changed by another program, a bank locked by another program, a table that
// cannot be read; and sizes and texts that the controls could not hold. The question
// editor and the essay editor share their navigation and saving, and pass the same tests.
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

#include "awa/form_awa_edit.h"
#include "editor_fixture.h"
#include "sc/form_sc_edit.h"
#include "session.h"
#include "sqlite_db.h"

using kinds::FormSCEdit;

namespace {

// Another program's connection to the same bank.
std::unique_ptr<store::Engine> otherProgram(const testing_support::TempDir& dir) {
  return store::openOurFile(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey, false,
                            store::ErrorStyle::Ado);
}

// A window as the shared tests drive it: three records, the first two in the first pool
// (or type), the third in the second, and one box whose text the tests edit.
struct SCWindow {
  using Form = kinds::FormSCEdit;
  static constexpr const char* table = "SCtbl";
  static constexpr const char* field = "choiceA";
  static constexpr const char* numbers[3] = {"01201", "01202", "01301"};
  static constexpr bool closingAutoSaves = true;
  static std::map<std::string, store::Value> record(int i, const std::string& text) {
    return {{"numQ", numbers[i]}, {"src", i < 2 ? "X012" : "X013"}, {field, text}};
  }
  static std::string stored(const std::string& text) { return text; }
  static std::string text(const store::Value& v) { return v.toString(); }
  static void edit(Form& ed, const std::string& text) { ed.txtAnswer[0].setText(text); }
  static std::string shown(Form& ed) { return ed.txtAnswer[0].Text(); }
  static void setAutoSave(Form& ed, int on) { ed.chkAutoSave->setValue(on); }
};

struct AWAWindow {
  using Form = kinds::FormAWAEdit;
  static constexpr const char* table = "AWAtbl";
  static constexpr const char* field = "question";
  static constexpr const char* numbers[3] = {"A1", "A2", "I1"};
  static constexpr bool closingAutoSaves = false;
  static std::map<std::string, store::Value> record(int i, const std::string& text) {
    return {{"numQ", numbers[i]}, {"type", i < 2 ? "A" : "I"}, {field, stored(text)}};
  }
  static std::string stored(const std::string& text) {
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}}\\pard\\f0\\fs20 " + text + "\\par}";
  }
  static std::string text(const store::Value& v) {
    ui::RichTextBox box;
    box.setTextRTF(QByteArray::fromStdString(v.toString()));
    return box.Text().toStdString();
  }
  static void edit(Form& ed, const std::string& text) { ed.rtxtQuestion.setText(QString::fromStdString(text)); }
  static std::string shown(Form& ed) { return ed.rtxtQuestion.Text().toStdString(); }
  static void setAutoSave(Form& ed, int on) { ed.chkAutoSave.setValue(on); }
};

template <class W>
class WindowSafety : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    for (int i = 0; i < 3; ++i) add(W::table, W::record(i, "r" + std::to_string(i)));
  }
  typename W::Form& openWindow() { return open<typename W::Form>(); }
  std::string stored(int i) { return W::text(field(W::table, W::numbers[i], W::field)); }
  void changeElsewhere(int i, const std::string& text) {
    otherProgram(dir)->script(std::string("UPDATE ") + W::table + " SET " + W::field + " = '" + W::stored(text) +
                            "' WHERE numQ = '" + W::numbers[i] + "';");
  }
  long records() { return count(std::string("select count(*) as n from ") + W::table); }
  // A user's click on entry `row` of the number list.
  void clickEntry(ui::ListBox& list, int row) {
    QWidget* viewport = list.viewport();
    const QPoint at = list.visualItemRect(list.item(row)).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QApplication::sendEvent(viewport, &release);
  }
  const ui::ShownMessage& lastMessage() { return dialogs.shown.back(); }
};

struct WindowName {
  template <class W>
  static std::string GetName(int) {
    return std::is_same_v<W, SCWindow> ? "SC" : "AWA";
  }
};
using Windows = ::testing::Types<SCWindow, AWAWindow>;
TYPED_TEST_SUITE(WindowSafety, Windows, WindowName);

TYPED_TEST(WindowSafety, ARecordDeletedWhileShownIsReportedAndTheEditsStay) {
  using W = TypeParam;
  auto& ed = this->openWindow();
  W::edit(ed, "edited");
  otherProgram(this->dir)->script(std::string("DELETE FROM ") + W::table + " WHERE numQ = '" + W::numbers[0] + "';");
  ed.cmdSave.Press();
  ASSERT_EQ(this->dialogs.shown.size(), 1u);
  EXPECT_EQ(this->lastMessage().text, std::string("Question ") + W::numbers[0] +
                                          " no longer exists in the bank: another program has deleted it. Your "
                                          "edits were not saved; they stay on screen.");
  EXPECT_EQ(this->lastMessage().title, "Error");
  EXPECT_EQ(this->lastMessage().icon, ui::MsgIcon::Critical);
  EXPECT_EQ(W::shown(ed), "edited");
  EXPECT_EQ(this->records(), 2);

  // Auto-save on leaving: the same message, and the window stays on the record.
  W::setAutoSave(ed, 1);
  ed.lstQuestion.setListIndex(1);
  ASSERT_EQ(this->dialogs.shown.size(), 2u);
  EXPECT_EQ(this->lastMessage().title, "Error");
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(this->state->currentQNumber, W::numbers[0]);
  EXPECT_EQ(W::shown(ed), "edited");
  if (W::closingAutoSaves) {  // closing with auto-save keeps the window and its edits as well
    ed.Unload();
    EXPECT_TRUE(ed.Loaded());
    EXPECT_EQ(this->dialogs.shown.size(), 3u);
  }
}

// Another program changed the field that the screen edits too: the user is asked, and
// Cancel (the default) keeps the edits on screen with nothing written.
TYPED_TEST(WindowSafety, SaveAsksBeforeOverwritingAnotherProgramsChange) {
  using W = TypeParam;
  auto& ed = this->openWindow();
  W::edit(ed, "mine");
  this->changeElsewhere(0, "theirs");
  ed.cmdSave.Press();
  ASSERT_EQ(this->dialogs.shown.size(), 1u);
  EXPECT_EQ(this->lastMessage().title, "Changed Meanwhile");
  EXPECT_NE(this->lastMessage().text.find("Question " + std::string(W::numbers[0]) + " was changed by another program"),
            std::string::npos)
      << this->lastMessage().text;
  EXPECT_EQ(this->lastMessage().buttons, ui::MsgButtons::YesNoCancel);
  EXPECT_EQ(this->stored(0), "theirs");
  EXPECT_EQ(W::shown(ed), "mine");
  // No keeps theirs and shows it.
  this->dialogs.queueAnswer(ui::MsgResult::No);
  ed.cmdSave.Press();
  EXPECT_EQ(this->stored(0), "theirs");
  EXPECT_EQ(W::shown(ed), "theirs");
  // With the stored version shown, Save writes without asking.
  W::edit(ed, "mine");
  ed.cmdSave.Press();
  EXPECT_EQ(this->dialogs.shown.size(), 2u);
  EXPECT_EQ(this->stored(0), "mine");
  // Yes overwrites.
  this->changeElsewhere(0, "theirs again");
  W::edit(ed, "mine again");
  this->dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.cmdSave.Press();
  EXPECT_EQ(this->dialogs.shown.size(), 3u);
  EXPECT_EQ(this->stored(0), "mine again");
}

TYPED_TEST(WindowSafety, AutoSaveAsksBeforeOverwritingAnotherProgramsChange) {
  using W = TypeParam;
  auto& ed = this->openWindow();
  W::setAutoSave(ed, 1);
  W::edit(ed, "mine");
  this->changeElsewhere(0, "theirs");
  // Cancel stays on the record with the edits.
  ed.lstQuestion.setListIndex(1);
  ASSERT_EQ(this->dialogs.shown.size(), 1u);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(this->state->currentQNumber, W::numbers[0]);
  EXPECT_EQ(W::shown(ed), "mine");
  EXPECT_EQ(this->stored(0), "theirs");
  // Overwriting saves and moves on.
  this->dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(this->dialogs.shown.size(), 2u);
  EXPECT_EQ(this->stored(0), "mine");
  EXPECT_EQ(this->state->currentQNumber, W::numbers[1]);
  EXPECT_EQ(W::shown(ed), "r1");
}

// Without auto-save, edits are never dropped unasked: Yes saves them, No drops them,
// Cancel stays on the record with them.
TYPED_TEST(WindowSafety, ChoosingAnotherRecordWithEditsAsksFirst) {
  using W = TypeParam;
  auto& ed = this->openWindow();
  ed.lstQuestion.setListIndex(1);  // nothing edited: nothing asked
  ed.lstQuestion.setListIndex(0);
  EXPECT_TRUE(this->dialogs.shown.empty());

  W::edit(ed, "edited");
  this->dialogs.queueAnswer(ui::MsgResult::Cancel);
  ed.lstQuestion.setListIndex(1);
  ASSERT_EQ(this->dialogs.shown.size(), 1u);
  EXPECT_EQ(this->lastMessage().text, std::string("Question ") + W::numbers[0] +
                                          " has edits that are not saved.\n\nSave them before leaving it?\n"
                                          "Yes: your edits are saved.\nNo: your edits are discarded.\n"
                                          "Cancel: the question stays on screen with your edits.");
  EXPECT_EQ(this->lastMessage().title, "Unsaved Edits");
  EXPECT_EQ(this->lastMessage().buttons, ui::MsgButtons::YesNoCancel);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(this->state->currentQNumber, W::numbers[0]);
  EXPECT_EQ(W::shown(ed), "edited");

  this->dialogs.queueAnswer(ui::MsgResult::No);
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(this->state->currentQNumber, W::numbers[1]);
  EXPECT_EQ(this->stored(0), "r0");

  W::edit(ed, "saved");
  this->dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.lstQuestion.setListIndex(0);
  EXPECT_EQ(this->dialogs.shown.size(), 3u);
  EXPECT_EQ(this->state->currentQNumber, W::numbers[0]);
  EXPECT_EQ(this->stored(1), "saved");
}

TYPED_TEST(WindowSafety, ChoosingAnotherPoolWithEditsAsksOnce) {
  using W = TypeParam;
  auto& ed = this->openWindow();
  const std::string firstPool = ed.cmbPool.Text();
  W::edit(ed, "edited");
  this->dialogs.queueAnswer(ui::MsgResult::Cancel);
  ed.cmbPool.setListIndex(1);
  EXPECT_EQ(ed.cmbPool.Text(), firstPool);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(W::shown(ed), "edited");

  this->dialogs.queueAnswer(ui::MsgResult::No);
  ed.cmbPool.setListIndex(1);  // asked once, though the pool and then the record change
  EXPECT_EQ(this->dialogs.shown.size(), 2u);
  EXPECT_EQ(this->state->currentQNumber, W::numbers[2]);
  EXPECT_EQ(this->stored(0), "r0");

  W::edit(ed, "saved");
  this->dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.cmbPool.setListIndex(0);
  EXPECT_EQ(this->dialogs.shown.size(), 3u);
  EXPECT_EQ(this->state->currentQNumber, W::numbers[0]);
  EXPECT_EQ(this->stored(2), "saved");
}

TYPED_TEST(WindowSafety, ClosingWithEditsAsksFirst) {
  using W = TypeParam;
  auto& ed = this->openWindow();
  W::edit(ed, "edited");
  this->dialogs.queueAnswer(ui::MsgResult::Cancel);
  ed.Unload();
  EXPECT_TRUE(ed.Loaded());
  EXPECT_EQ(W::shown(ed), "edited");
  this->dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.Unload();
  EXPECT_FALSE(ed.Loaded());
  EXPECT_EQ(this->stored(0), "edited");
  EXPECT_EQ(this->dialogs.shown.size(), 2u);
  EXPECT_TRUE(this->formInit.Visible());
}

TYPED_TEST(WindowSafety, AFailedAutoSaveLeavesTheListsOnTheRecordShown) {
  using W = TypeParam;
  auto& ed = this->openWindow();
  store::sqliteFile(this->state->pConn().session().engine()).exec("PRAGMA busy_timeout = 50;");
  W::setAutoSave(ed, 1);
  W::edit(ed, "edited");
  auto other = otherProgram(this->dir);
  other->script("BEGIN IMMEDIATE;");  // another program writes: the bank is locked

  // A user's click on the second record: the save fails, the error is shown, and the
  // highlight stays with the record on screen.
  this->clickEntry(ed.lstQuestion, 1);
  ASSERT_EQ(this->dialogs.shown.size(), 1u);
  EXPECT_EQ(this->lastMessage().icon, ui::MsgIcon::Critical);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_TRUE(ed.lstQuestion.Selected(0));
  EXPECT_FALSE(ed.lstQuestion.Selected(1));
  EXPECT_EQ(this->state->currentQNumber, W::numbers[0]);

  // Choosing the other pool fails the same way and leaves pool and list as they were.
  const std::string firstPool = ed.cmbPool.Text();
  ui::runEvent([&] { ed.cmbPool.setListIndex(1); });
  EXPECT_EQ(this->dialogs.shown.size(), 2u);
  EXPECT_EQ(ed.cmbPool.Text(), firstPool);
  EXPECT_EQ(ed.lstQuestion.ListCount(), 2);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(W::shown(ed), "edited");

  // Once the lock is gone, Save writes the record on screen to its own number.
  other->script("ROLLBACK;");
  W::setAutoSave(ed, 0);
  ed.cmdSave.Press();
  EXPECT_EQ(this->stored(0), "edited");
  EXPECT_EQ(this->stored(1), "r1");
}

TYPED_TEST(WindowSafety, AFailedLoadLeavesTheListsOnTheRecordShown) {
  using W = TypeParam;
  auto& ed = this->openWindow();
  W::edit(ed, "edited");
  otherProgram(this->dir)->script(std::string("ALTER TABLE ") + W::table + " RENAME TO away;");
  // The edits are dropped, then the other record cannot be read.
  this->dialogs.queueAnswer(ui::MsgResult::No);
  ui::runEvent([&] { ed.lstQuestion.setListIndex(1); });
  ASSERT_EQ(this->dialogs.shown.size(), 2u);
  EXPECT_EQ(this->lastMessage().icon, ui::MsgIcon::Critical);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  ui::runEvent([&] { ed.cmbPool.setListIndex(1); });  // nothing to ask: the list cannot be read
  EXPECT_EQ(this->dialogs.shown.size(), 3u);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(ed.lstQuestion.ListCount(), 2);
  EXPECT_EQ(this->state->currentQNumber, W::numbers[0]);
  EXPECT_EQ(W::shown(ed), "edited");
  otherProgram(this->dir)->script(std::string("ALTER TABLE away RENAME TO ") + W::table + ";");
  ed.cmdSave.Press();
  EXPECT_EQ(this->stored(0), "edited");
  EXPECT_EQ(this->stored(1), "r1");
}

class EditorSafety : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"choiceA", "a1"}, {"answer", "A"}});
    add("SCtbl", {{"numQ", "01202"}, {"src", "X012"}, {"choiceA", "a2"}, {"answer", "B"}});
    add("SCtbl", {{"numQ", "01301"}, {"src", "X013"}, {"choiceA", "a3"}});
  }
  const ui::ShownMessage& lastMessage() { return dialogs.shown.back(); }
};

// A size shown in the value box is no edit; Yes saves the layout with the content.
TEST_F(EditorSafety, ShowingASizeIsNoEditAndSavingOnLeavingWritesTheLayoutToo) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.imgClick[1].Press();
  ed.OptHW[1].setValue(true);
  ed.rtxtQuestion_Click();
  ed.OptHW[0].setValue(true);
  ed.lstQuestion.setListIndex(1);
  ed.lstQuestion.setListIndex(0);
  EXPECT_TRUE(dialogs.shown.empty());

  ed.txtAnswer[0].setText("saved");
  ed.imgClick[0].Press();
  ed.txtValue.setText("2");
  dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(state->currentQNumber, "01202");
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "saved");
  EXPECT_EQ(field("SCtbl", "01201", "choiceAHeight").toDouble(), 2.0);
}

TEST_F(EditorSafety, ChoicesKeepTextsLongerThanALineEditsDefault) {
  const std::string longChoice = std::string(40000, 'x') + "end";
  add("SCtbl", {{"numQ", "01203"}, {"src", "X012"}, {"choiceC", longChoice}});
  FormSCEdit& ed = open<FormSCEdit>();
  ed.chkAutoSave->setValue(1);
  ed.lstQuestion.setListIndex(2);
  EXPECT_EQ(ed.txtAnswer[2].Text(), longChoice);
  ed.lstQuestion.setListIndex(0);  // auto-saves 01203 unchanged
  EXPECT_EQ(field("SCtbl", "01203", "choiceC").toString(), longChoice);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(EditorSafety, SizesTheWindowCannotDrawAreNotApplied) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.imgClick[1].Press();
  ed.txtValue.setText("1");
  EXPECT_EQ(ed.txtAnswer[1].Height(), 567);
  for (const char* text : {"-1", "1e9", "200"}) {
    ed.txtValue.setText(text);
    EXPECT_EQ(ed.choiceHeight[1].toDouble(), 1.0) << text;
    EXPECT_EQ(ed.txtAnswer[1].Height(), 567) << text;
  }
  ed.txtValue.setText("100");  // large, but every box can still be placed
  EXPECT_EQ(ed.txtAnswer[1].Height(), 56700);
  ed.cmdSave.Press();
  EXPECT_EQ(field("SCtbl", "01201", "choiceBHeight").toDouble(), 100.0);
}

TEST_F(EditorSafety, StoredSizesOfAnyValueKeepTheBoxesInOrderInsideTheWindow) {
  add("SCtbl", {{"numQ", "01204"}, {"src", "X012"}, {"questionHeight", 1e300}, {"choiceAHeight", -5.0},
                {"choiceBHeight", 1e12}, {"choiceCHeight", -1e300}, {"choiceDHeight", 500.0}});
  FormSCEdit& ed = open<FormSCEdit>();
  ed.lstQuestion.setListIndex(2);
  const QWidget* page = ed.rtxtQuestion.parentWidget();
  EXPECT_GE(ed.rtxtQuestion.geometry().top(), ed.lblTitle.geometry().bottom());
  int below = ed.rtxtQuestion.geometry().bottom();
  for (int k = 0; k < 5; ++k) {
    const QRect box = ed.txtAnswer[k].geometry();
    EXPECT_GT(box.height(), 0) << k;
    EXPECT_GT(box.top(), below) << k;
    below = box.bottom();
    EXPECT_LT(box.bottom(), 32767) << k;
    EXPECT_EQ(ed.txtAnswer[k].parentWidget(), page);
  }
  EXPECT_EQ(ed.txtAnswer[0].Height(), 270);  // a negative size draws the default
}

TEST_F(EditorSafety, OnASmallScreenTheWindowScrollsToEveryControl) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.resize(800, 600);
  QCoreApplication::processEvents();
  auto* scroller = ed.findChild<QScrollArea*>();
  ASSERT_NE(scroller, nullptr);
  const QWidget* page = scroller->widget();
  EXPECT_EQ(page->size(), QSize(1264, 712));
  EXPECT_EQ(scroller->horizontalScrollBar()->maximum(), page->width() - scroller->viewport()->width());
  EXPECT_EQ(scroller->verticalScrollBar()->maximum(), page->height() - scroller->viewport()->height());
  EXPECT_GT(scroller->horizontalScrollBar()->maximum(), 0);
  EXPECT_TRUE(page->rect().contains(ed.cmdDuplicateCheck->geometry()));
}

}  // namespace
