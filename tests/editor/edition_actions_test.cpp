// The edition buttons of the SC and CR editors, driven through their controls.
#include <QPlainTextEdit>
#include <QScreen>

#include "commands.h"
#include "controls/events.h"
#include "cr/form_cr_edit.h"
#include "editor_fixture.h"
#include "ps/form_ps_edit.h"
#include "sc/form_sc_edit.h"
#include "window_check.h"

using kinds::FormCREdit;
using kinds::FormPSEdit;
using kinds::FormSCEdit;
using ui::MsgIcon;
using ui::MsgResult;

namespace {

class EditionButtons : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    describeDbErrors();
  }
  std::string lastMessage() const { return dialogs.shown.empty() ? "" : dialogs.shown.back().text; }
};

using EditionButtonsStore = OnBothEngines<EditionButtons>;
ZORBEX_ON_BOTH_ENGINES(EditionButtonsStore);

TEST_P(EditionButtonsStore, OgChecksItsInputsThenCreatesThePool) {
  add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}});
  FormSCEdit& ed = open<FormSCEdit>();
  EXPECT_TRUE(ed.cmdOGcreate.isEnabled());
  EXPECT_TRUE(ed.cmdCopy.isEnabled());
  EXPECT_EQ(ed.txtOG12.Text(), "O130");
  ed.txtQNumber.setText("ab");
  ed.cmdOGcreate.Press();
  EXPECT_EQ(lastMessage(), "The number of questions must be above 0.");
  ed.txtQNumber.setText("3");
  ed.txtOG12.setText("O1");
  ed.cmdOGcreate.Press();
  EXPECT_EQ(lastMessage(), "Invalid Pool Name");
  EXPECT_EQ(dialogs.shown.back().title, "Pool Name Error");
  ed.txtOG12.setText("O130");
  ed.cmdOGcreate.Press();  // Cancel
  EXPECT_EQ(lastMessage(), "Do you add new pool O130 ?");
  EXPECT_EQ(dialogs.shown.back().title, "Add New Pool");
  EXPECT_EQ(count("select count(*) as n from SCtbl"), 1);

  ed.cmbEdit.setListIndex(3);
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdOGcreate.Press();
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='O130'"), 3);
  EXPECT_EQ(ed.cmbPool.ListCount(), 2);
  EXPECT_EQ(ed.cmbEdit.ListIndex(), 0);
  EXPECT_FALSE(ed.PgrBar->Visible());
  EXPECT_EQ(ed.mousePointer(), ui::MousePointer::Default);

  // O131 now counts on at 13004; a number in the way fails whole and is shown.
  add("SCtbl", {{"numQ", "13005"}, {"src", "Y"}});
  ed.txtOG12.setText("O131");
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdOGcreate.Press();
  EXPECT_EQ(lastMessage().rfind("3022:The question number 13005 already exists", 0), 0u) << lastMessage();
  EXPECT_EQ(dialogs.shown.back().icon, MsgIcon::Critical);
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='O131'"), 0);
  EXPECT_EQ(ed.mousePointer(), ui::MousePointer::Default);
}

TEST_P(EditionButtonsStore, CopyWithAutoSaveShowsTheCopiedQuestion) {
  add("SCtbl", {{"numQ", "12001"}, {"src", "O120"}, {"choiceA", "old a"}, {"answer", "D"}});
  add("SCtbl", {{"numQ", "13001"}, {"src", "O130"}, {"choiceA", "bare"}});
  add("SCtbl", {{"numQ", "13002"}, {"src", "O130"}});
  add("12to13SC", {{"12th", 1}, {"13th", 1}});
  add("answerkey13SC", {{"number", 2}, {"key", "E"}});
  FormSCEdit& ed = open<FormSCEdit>();
  ed.cmbPool.setListIndex(1);
  ASSERT_EQ(state->currentQNumber, "13001");
  ed.chkAutoSave->setValue(1);
  ed.txtAnswer[1].setText("typed b");
  ed.cmdCopy.Press();
  EXPECT_EQ(lastMessage(), "Copy completed.");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "old a");
  EXPECT_EQ(ed.cmbAnswer.Text(), "D");
  // Leaving the question saves the screen, which now holds the copy.
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(field("SCtbl", "13001", "choiceA").toString(), "old a");

  ed.cmdCopy2->Press();
  EXPECT_EQ(lastMessage(), "Answer update completed.");
  EXPECT_EQ(ed.cmbAnswer.Text(), "E");
  EXPECT_EQ(field("SCtbl", "13002", "answer").toString(), "E");
}

TEST_F(EditionButtons, CopyAsksBeforeReplacingUnsavedEdits) {
  add("SCtbl", {{"numQ", "12001"}, {"src", "O120"}, {"choiceA", "old a"}});
  add("SCtbl", {{"numQ", "13001"}, {"src", "O130"}, {"choiceA", "bare"}});
  add("12to13SC", {{"12th", 1}, {"13th", 1}});
  FormSCEdit& ed = open<FormSCEdit>();
  ed.cmbPool.setListIndex(1);
  ASSERT_EQ(state->currentQNumber, "13001");
  ed.txtAnswer[0].setText("typed");
  dialogs.queueAnswer(MsgResult::Cancel);
  ed.cmdCopy.Press();
  EXPECT_EQ(dialogs.shown.back().title, "Unsaved Edits");
  EXPECT_EQ(field("SCtbl", "13001", "choiceA").toString(), "bare");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "typed");
  dialogs.queueAnswer(MsgResult::No);
  ed.cmdCopy.Press();
  EXPECT_EQ(lastMessage(), "Copy completed.");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "old a");
}

TEST_F(EditionButtons, FixNumQMovesTheDemoEditionPoolAndSaysHowMany) {
  bank_tool::writeDemoContent(dir.path());  // O130 holds 009001..009005
  FormPSEdit& ed = open<FormPSEdit>();
  ed.cmdFixnumQ.Press();
  EXPECT_EQ(lastMessage(), "numQ update completed. 5 questions moved.");
  EXPECT_EQ(count("select count(*) as n from PStbl where numQ like '011%'"), 5);
  EXPECT_EQ(count("select count(*) as n from PStbl where numQ like '009%'"), 0);
}

TEST_F(EditionButtons, DuplicateCheckListsItsFindings) {
  add("CRtbl", {{"numQ", "02001"}, {"src", "X020"}, {"choiceA", "a"}, {"choiceB", "b"}, {"choiceC", "c"},
                {"choiceD", "d"}, {"choiceE", "e"}});
  FormCREdit& ed = open<FormCREdit>();
  ed.cmdDuplicateCheck->Press();
  EXPECT_EQ(lastMessage(), "Completed.");
  EXPECT_EQ(ed.editions().findingsWindow(), nullptr);

  add("CRtbl", {{"numQ", "02002"}, {"src", "X020"}, {"choiceA", "same"}, {"choiceB", "b"}, {"choiceC", "same"},
                {"choiceD", "d"}, {"choiceE", "e"}});
  ed.cmdDuplicateCheck->Press();
  EXPECT_EQ(lastMessage(), "Completed.");
  QWidget* w = ed.editions().findingsWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->findChild<QPlainTextEdit*>("findingsText")->toPlainText().toStdString(), "02002 ERROR: A=C \"same\" \"same\"\n");
  window_check::save(*w, "DuplicateFindings");
  // The last question examined is on screen, and the list selects it.
  EXPECT_EQ(state->currentQNumber, "02002");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "same");
  EXPECT_EQ(ed.lstQuestion.Text(), "02002");
  EXPECT_EQ(ed.cmbPool.Text(), "X020");
  // The findings open in the middle of the screen.
  const QPoint centre = w->screen()->availableGeometry().center();
  EXPECT_LE((w->geometry().center() - centre).manhattanLength(), 40);
}

}  // namespace
