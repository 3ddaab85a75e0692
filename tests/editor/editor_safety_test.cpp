// What the editors do when the bank changes under them or refuses a write: a question
// deleted or changed by another program, a bank locked by another program, a table that
// cannot be read; and sizes and texts that the controls could not hold.
#include <QScrollArea>
#include <QScrollBar>

#include "cr/form_cr_edit.h"
#include "editor_fixture.h"
#include "sc/form_sc_edit.h"
#include "session.h"

using kinds::FormCREdit;
using kinds::FormSCEdit;

namespace {

class EditorSafety : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"choiceA", "a1"}, {"answer", "A"}});
    add("SCtbl", {{"numQ", "01202"}, {"src", "X012"}, {"choiceA", "a2"}, {"answer", "B"}});
    add("SCtbl", {{"numQ", "01301"}, {"src", "X013"}, {"choiceA", "a3"}});
  }
  // Another program's connection to the same bank.
  std::unique_ptr<store::SqliteDb> otherProgram() {
    return store::openOurFile(store::schema::bankPath(dir.path()).string(), store::schema::kBankKey, false,
                              store::ErrorStyle::Ado);
  }
  const ui::ShownMessage& lastMessage() { return dialogs.shown.back(); }
};

TEST_F(EditorSafety, AQuestionDeletedWhileShownIsReportedAndTheEditsStay) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.txtAnswer[0].setText("edited");
  otherProgram()->exec("DELETE FROM SCtbl WHERE numQ = '01201';");
  ed.cmdSave.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(lastMessage().text,
            "Question 01201 no longer exists in the bank: another program has deleted it. Your edits were not "
            "saved; they stay on screen.");
  EXPECT_EQ(lastMessage().title, "Error");
  EXPECT_EQ(lastMessage().icon, ui::MsgIcon::Critical);
  EXPECT_EQ(ed.txtAnswer[0].Text(), "edited");
  EXPECT_EQ(count("select count(*) as n from SCtbl"), 2);

  // Auto-save on leaving: the same message, and the window stays on the question.
  ed.chkAutoSave->setValue(1);
  ed.lstQuestion.setListIndex(1);
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(lastMessage().title, "Error");
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(state->currentQNumber, "01201");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "edited");
  // Closing with auto-save keeps the window and its edits as well.
  ed.Unload();
  EXPECT_TRUE(ed.Loaded());
  EXPECT_EQ(dialogs.shown.size(), 3u);
}

TEST_F(EditorSafety, SaveAsksBeforeOverwritingAnotherProgramsChange) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.txtAnswer[0].setText("mine");
  otherProgram()->exec("UPDATE SCtbl SET choiceB = 'theirs' WHERE numQ = '01201';");
  // The default answer keeps the stored version and shows it.
  ed.cmdSave.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(lastMessage().text.find("Question 01201 was changed by another program"), std::string::npos);
  EXPECT_EQ(lastMessage().buttons, ui::MsgButtons::YesNo);
  EXPECT_EQ(lastMessage().defaultButton, ui::MsgDefault::Second);
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "a1");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "a1");
  EXPECT_EQ(ed.txtAnswer[1].Text(), "theirs");
  // With the stored version loaded, Save writes without asking.
  ed.txtAnswer[0].setText("mine");
  ed.cmdSave.Press();
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "mine");
  // Overwriting: one question for layout and content together.
  otherProgram()->exec("UPDATE SCtbl SET choiceA = 'theirs' WHERE numQ = '01201';");
  ed.txtAnswer[0].setText("mine again");
  dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.cmdSave.Press();
  EXPECT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "mine again");
}

TEST_F(EditorSafety, AutoSaveAsksBeforeOverwritingAnotherProgramsChange) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.chkAutoSave->setValue(1);
  ed.txtAnswer[0].setText("mine");
  otherProgram()->exec("UPDATE SCtbl SET choiceB = 'theirs' WHERE numQ = '01201';");
  // Keeping the stored version stays on the question and shows it.
  ed.lstQuestion.setListIndex(1);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(state->currentQNumber, "01201");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "a1");
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "a1");
  // Overwriting saves and moves on.
  ed.txtAnswer[0].setText("mine");
  otherProgram()->exec("UPDATE SCtbl SET choiceB = 'theirs again' WHERE numQ = '01201';");
  dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "mine");
  EXPECT_EQ(state->currentQNumber, "01202");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "a2");
}

// Without auto-save, edits are never dropped unasked: Yes saves them (content and layout),
// No drops them, Cancel stays on the question with them.
TEST_F(EditorSafety, ChoosingAnotherQuestionWithEditsAsksFirst) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.imgClick[1].Press();  // showing a size is no edit
  ed.OptHW[1].setValue(true);
  ed.rtxtQuestion_Click();
  ed.OptHW[0].setValue(true);
  ed.lstQuestion.setListIndex(1);  // nothing edited: nothing asked
  ed.lstQuestion.setListIndex(0);
  EXPECT_TRUE(dialogs.shown.empty());

  ed.txtAnswer[0].setText("edited");
  dialogs.queueAnswer(ui::MsgResult::Cancel);
  ed.lstQuestion.setListIndex(1);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(lastMessage().text,
            "Question 01201 has edits that are not saved.\n\nSave them before leaving it?\n"
            "Yes: your edits are saved.\nNo: your edits are discarded.\n"
            "Cancel: the question stays on screen with your edits.");
  EXPECT_EQ(lastMessage().title, "Unsaved Edits");
  EXPECT_EQ(lastMessage().buttons, ui::MsgButtons::YesNoCancel);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(state->currentQNumber, "01201");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "edited");

  dialogs.queueAnswer(ui::MsgResult::No);
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(state->currentQNumber, "01202");
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "a1");

  ed.txtAnswer[0].setText("saved");
  ed.imgClick[0].Press();
  ed.txtValue.setText("2");
  dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.lstQuestion.setListIndex(0);
  EXPECT_EQ(dialogs.shown.size(), 3u);
  EXPECT_EQ(state->currentQNumber, "01201");
  EXPECT_EQ(field("SCtbl", "01202", "choiceA").toString(), "saved");
  EXPECT_EQ(field("SCtbl", "01202", "choiceAHeight").toDouble(), 2.0);
}

TEST_F(EditorSafety, ChoosingAnotherPoolWithEditsAsksOnce) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.txtAnswer[0].setText("edited");
  dialogs.queueAnswer(ui::MsgResult::Cancel);
  ed.cmbPool.setListIndex(1);
  EXPECT_EQ(ed.cmbPool.Text(), "X012");
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(ed.txtAnswer[0].Text(), "edited");

  dialogs.queueAnswer(ui::MsgResult::No);
  ed.cmbPool.setListIndex(1);
  EXPECT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(state->currentQNumber, "01301");
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "a1");

  ed.txtAnswer[0].setText("saved");
  dialogs.queueAnswer(ui::MsgResult::Yes);
  ed.cmbPool.setListIndex(0);
  EXPECT_EQ(dialogs.shown.size(), 3u);
  EXPECT_EQ(state->currentQNumber, "01201");
  EXPECT_EQ(field("SCtbl", "01301", "choiceA").toString(), "saved");
}

TEST_F(EditorSafety, ClosingWithEditsAsksFirst) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.txtAnswer[0].setText("edited");
  dialogs.queueAnswer(ui::MsgResult::Cancel);
  ed.Unload();
  EXPECT_TRUE(ed.Loaded());
  EXPECT_EQ(ed.txtAnswer[0].Text(), "edited");
  dialogs.queueAnswer(ui::MsgResult::No);
  ed.Unload();
  EXPECT_FALSE(ed.Loaded());
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "a1");

  add("CRtbl", {{"numQ", "02001"}, {"src", "X020"}});
  FormCREdit& cr = open<FormCREdit>();  // no auto-save at all
  cr.txtAnswer[0].setText("saved");
  dialogs.queueAnswer(ui::MsgResult::Yes);
  cr.Unload();
  EXPECT_FALSE(cr.Loaded());
  EXPECT_EQ(field("CRtbl", "02001", "choiceA").toString(), "saved");
  EXPECT_EQ(dialogs.shown.size(), 3u);
}

TEST_F(EditorSafety, AFailedAutoSaveLeavesTheListsOnTheQuestionShown) {
  FormSCEdit& ed = open<FormSCEdit>();
  state->pConn().session().db().exec("PRAGMA busy_timeout = 50;");
  ed.chkAutoSave->setValue(1);
  ed.txtAnswer[0].setText("edited");
  auto other = otherProgram();
  other->exec("BEGIN IMMEDIATE;");  // another program writes: the bank is locked
  ed.lstQuestion.setListIndex(1);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(lastMessage().icon, ui::MsgIcon::Critical);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(state->currentQNumber, "01201");
  ed.cmbPool.setListIndex(1);
  EXPECT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(ed.cmbPool.Text(), "X012");
  EXPECT_EQ(ed.lstQuestion.ListCount(), 2);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(ed.txtAnswer[0].Text(), "edited");
  // Once the lock is gone, Save writes the question on screen to its own number.
  other->exec("ROLLBACK;");
  ed.chkAutoSave->setValue(0);
  ed.cmdSave.Press();
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "edited");
  EXPECT_EQ(field("SCtbl", "01202", "choiceA").toString(), "a2");
}

TEST_F(EditorSafety, AFailedLoadLeavesTheListsOnTheQuestionShown) {
  FormCREdit& ed = open<FormCREdit>();  // CR has no auto-save: the load itself fails
  add("CRtbl", {{"numQ", "02001"}, {"src", "X020"}, {"choiceA", "c1"}});
  add("CRtbl", {{"numQ", "02002"}, {"src", "X020"}, {"choiceA", "c2"}});
  add("CRtbl", {{"numQ", "02101"}, {"src", "X021"}, {"choiceA", "c3"}});
  ed.FillPoolList();
  ed.txtAnswer[0].setText("edited");
  otherProgram()->exec("ALTER TABLE CRtbl RENAME TO CRaway;");
  ed.lstQuestion.setListIndex(1);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  ed.cmbPool.setListIndex(1);
  EXPECT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(ed.cmbPool.Text(), "X020");
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(state->currentQNumber, "02001");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "edited");
  otherProgram()->exec("ALTER TABLE CRaway RENAME TO CRtbl;");
  ed.cmdSave.Press();
  EXPECT_EQ(field("CRtbl", "02001", "choiceA").toString(), "edited");
  EXPECT_EQ(field("CRtbl", "02002", "choiceA").toString(), "c2");
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
