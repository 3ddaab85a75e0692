// The History window of the editors: the versions listed, the differences marked, and a
// version put back through Save (asked first, kept itself, and subject to the check for a
// change made elsewhere). The comparison of texts is tested below the window.
#include <QApplication>

#include "awa/form_awa_edit.h"
#include "editor_fixture.h"
#include "form_history.h"
#include "history.h"
#include "sc/form_sc_edit.h"
#include "session.h"
#include "version_text.h"
#include "window_check.h"

namespace {

using editor::DiffPart;

TEST(WordDiff, MarksWordsRemovedAndAddedAndKeepsTheRest) {
  const auto parts = editor::wordDiff("the quick brown fox", "the slow brown fox jumps");
  std::string before, after, marks;
  for (const DiffPart& p : parts) {
    if (p.kind != DiffPart::Added) before += p.text;
    if (p.kind != DiffPart::Removed) after += p.text;
    marks += std::string(p.kind == DiffPart::Same ? "=" : p.kind == DiffPart::Removed ? "-" : "+") + "[" + p.text + "]";
  }
  EXPECT_EQ(before, "the quick brown fox");
  EXPECT_EQ(after, "the slow brown fox jumps");
  EXPECT_EQ(marks, "=[the ]-[quick ]+[slow ]=[brown fox]+[ jumps]");
  EXPECT_TRUE(editor::wordDiff("", "").empty());
  EXPECT_EQ(editor::wordDiff("same", "same").size(), 1u);
}

TEST(VersionText, AWordIsUnchangedWhateverBlanksFollowIt) {
  // The last word of the version is followed by a blank in the current text, and a blank
  // between two words became two: no word is marked, and each side keeps its blanks.
  const auto marked = editor::markDifferences({{"Question", "one  two fox"}}, {{"Question", "one two fox jumps"}});
  EXPECT_EQ(marked.version, "<p><b>Question</b><br>one  two fox</p>");
  EXPECT_EQ(marked.current, "<p><b>Question</b><br>one two fox<span style=\"background-color:#c6ecc6\"> jumps</span></p>");
}

TEST(VersionText, ShowsTheEditedFieldsAsPlainTextWithTheDifferencesMarked) {
  const auto version = editor::shownFields(bank::schema::Kind::AWA, {{"question", store::Value(kCbtStem)}});
  ASSERT_EQ(version.size(), 1u);
  EXPECT_EQ(version[0].name, "Question");
  EXPECT_EQ(version[0].text, "abcdefghijk");
  const auto marked = editor::markDifferences({{"answer", "A <b>"}}, {{"answer", "B <b>"}});
  EXPECT_NE(marked.version.find("line-through\">A </span>&lt;b&gt;"), std::string::npos) << marked.version;
  EXPECT_NE(marked.current.find("#c6ecc6\">B </span>&lt;b&gt;"), std::string::npos) << marked.current;
}

class HistoryWindow : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"choiceA", "first words"}});
  }
  kinds::FormSCEdit& editor() {
    auto& ed = open<kinds::FormSCEdit>();
    return ed;
  }
  void saveChoice(kinds::FormSCEdit& ed, const std::string& text) {
    ed.txtAnswer[0].setText(text);
    ed.cmdSave.Press();
  }
  editor::FormHistory& historyWindow(ui::CommandButton& button) {
    button.Press();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* h = dynamic_cast<editor::FormHistory*>(w); h && h->isVisible()) return *h;
    throw std::runtime_error("no History window");
  }
  void TearDown() override {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* h = dynamic_cast<editor::FormHistory*>(w)) delete h;
    EditorTest::TearDown();
  }
  std::string choiceA() { return field("SCtbl", "01201", "choiceA").toString(); }
};

TEST_F(HistoryWindow, ListsTheVersionsNewestFirstWithTheChosenOneBesideTheCurrent) {
  auto& ed = editor();
  saveChoice(ed, "second words");
  saveChoice(ed, "third words");
  auto& h = historyWindow(ed.cmdHistory);
  EXPECT_EQ(h.Caption(), "History of question 01201");
  ASSERT_EQ(h.lstVersions.ListCount(), 2);
  EXPECT_NE(h.lstVersions.List(0).find("   Save   "), std::string::npos) << h.lstVersions.List(0);
  EXPECT_EQ(h.lstVersions.ListIndex(), 0);
  EXPECT_NE(h.txtVersion.toPlainText().indexOf("second words"), -1);
  EXPECT_NE(h.txtCurrent.toPlainText().indexOf("third words"), -1);
  EXPECT_NE(h.txtVersion.toHtml().indexOf("line-through"), -1);
  window_check::checkLayout(&h);
  window_check::checkFitsScreen(&h);
  window_check::save(h, "FormHistory");
  h.lstVersions.setListIndex(1);
  EXPECT_NE(h.txtVersion.toPlainText().indexOf("first words"), -1);
  window_check::checkOwnWindow(h, h.txtVersion);
}

TEST_F(HistoryWindow, RestoreAsksThenSavesTheVersionAndKeepsTheOneItReplaces) {
  auto& ed = editor();
  saveChoice(ed, "second words");
  auto& h = historyWindow(ed.cmdHistory);
  dialogs.queueAnswer(ui::MsgResult::No);
  h.cmdRestore.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown.back().buttons, ui::MsgButtons::YesNo);
  EXPECT_EQ(choiceA(), "second words");

  dialogs.queueAnswer(ui::MsgResult::Yes);
  h.cmdRestore.Press();
  EXPECT_EQ(choiceA(), "first words");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "first words");
  auto v = store::history::versions(state->pConn(), bank::schema::Kind::SC, "01201");
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].operation, "Restore from history");
  EXPECT_EQ(v[0].field("choiceA")->toString(), "second words");
  EXPECT_EQ(h.lstVersions.ListCount(), 2);  // the list shows the new version
}

TEST_F(HistoryWindow, RestoreOverAChangeMadeElsewhereAsksAsSaveDoes) {
  auto& ed = editor();
  saveChoice(ed, "second words");
  auto& h = historyWindow(ed.cmdHistory);
  store::openOurFile(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey, false,
                     store::ErrorStyle::Ado)
      ->script("UPDATE SCtbl SET choiceA = 'theirs' WHERE numQ = '01201';");
  dialogs.queueAnswer(ui::MsgResult::Yes);  // restore; the question of overwriting gets its default, No
  h.cmdRestore.Press();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_NE(dialogs.shown.back().text.find("was changed by another program"), std::string::npos);
  EXPECT_EQ(choiceA(), "theirs");
  EXPECT_NE(h.txtCurrent.toPlainText().indexOf("theirs"), -1);  // shown again as it now is
}

// Restore writes onto the question the window is for, whatever the editor shows meanwhile.
TEST_F(HistoryWindow, RestoreWritesOntoItsOwnQuestionNotTheOneOnScreen) {
  add("SCtbl", {{"numQ", "01202"}, {"src", "X012"}, {"choiceA", "other words"}});
  auto& ed = editor();
  saveChoice(ed, "second words");
  auto& h = historyWindow(ed.cmdHistory);
  ed.lstQuestion.setListIndex(1);
  ASSERT_EQ(state->currentQNumber, "01202");
  dialogs.queueAnswer(ui::MsgResult::Yes);
  h.cmdRestore.Press();
  EXPECT_EQ(choiceA(), "first words");
  EXPECT_EQ(field("SCtbl", "01202", "choiceA").toString(), "other words");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "other words");
}

// The window outlives its editor: Restore still works, with nothing to call back.
TEST_F(HistoryWindow, RestoreAfterTheEditorClosedStillWorks) {
  auto& ed = editor();
  saveChoice(ed, "second words");
  auto& h = historyWindow(ed.cmdHistory);
  delete &ed;
  dialogs.queueAnswer(ui::MsgResult::Yes);
  h.cmdRestore.Press();
  EXPECT_EQ(choiceA(), "first words");
}

// Edits on screen of the question are never dropped unasked: Cancel restores nothing, No
// drops them, and the editor then shows the version put back.
TEST_F(HistoryWindow, RestoreAsksAboutTheEditsOnScreenFirst) {
  auto& ed = editor();
  saveChoice(ed, "second words");
  auto& h = historyWindow(ed.cmdHistory);
  ed.txtAnswer[0].setText("typed words");
  dialogs.queueAnswer(ui::MsgResult::Yes);  // put back? then Cancel (unanswered) about the edits
  h.cmdRestore.Press();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown.back().title, "Unsaved Edits");
  EXPECT_EQ(choiceA(), "second words");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "typed words");

  dialogs.queueAnswer(ui::MsgResult::Yes);
  dialogs.queueAnswer(ui::MsgResult::No);
  h.cmdRestore.Press();
  EXPECT_EQ(choiceA(), "first words");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "first words");
}

TEST_F(HistoryWindow, AutoSaveAndGOAreKeptUnderTheirNamesAsTheQuestionWasBefore) {
  add("SCtbl", {{"numQ", "01202"}, {"src", "X012"}, {"choiceA", "other words"}});
  auto& ed = editor();
  ed.chkAutoSave->setValue(1);
  ed.txtAnswer[0].setText("auto words");
  ed.lstQuestion.setListIndex(1);  // leaving the question saves it
  auto v = store::history::versions(state->pConn(), bank::schema::Kind::SC, "01201");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].operation, "Auto-save");
  EXPECT_EQ(v[0].field("choiceA")->toString(), "first words");

  ed.chkAutoSave->setValue(0);
  ed.cmdGo->Press();  // converts and saves every question of the pool: the bare stem gets its RTF
  v = store::history::versions(state->pConn(), bank::schema::Kind::SC, "01202");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].operation, "GO");
  EXPECT_TRUE(v[0].field("question")->isNull());
  EXPECT_EQ(v[0].field("choiceA")->toString(), "other words");
}

TEST_F(HistoryWindow, TheEssayEditorHasTheButtonToo) {
  add("AWAtbl", {{"numQ", "A1"}, {"type", "A"}, {"question", kCbtStem}});
  auto& ed = open<kinds::FormAWAEdit>();
  ed.rtxtQuestion.setText("new topic");
  ed.cmdSave.Press();
  auto& h = historyWindow(ed.cmdHistory);
  ASSERT_EQ(h.lstVersions.ListCount(), 1);
  EXPECT_NE(h.txtVersion.toPlainText().indexOf("abcdefghijk"), -1);
  dialogs.queueAnswer(ui::MsgResult::Yes);
  h.cmdRestore.Press();
  EXPECT_EQ(ed.rtxtQuestion.Text().toStdString(), "abcdefghijk");
}

}  // namespace

namespace {

// A history that cannot be written stops the Save with a message; the edits stay on screen.
TEST_F(HistoryWindow, ASaveWhoseHistoryCannotBeWrittenIsRefusedWithAMessage) {
  auto& ed = editor();
  store::openOurFile(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey, false,
                     store::ErrorStyle::Ado)
      ->script("DROP TABLE zx_history_SC;");
  saveChoice(ed, "unsaved words");
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown.back().text.find("zx_history_SC"), std::string::npos) << dialogs.shown.back().text;
  EXPECT_EQ(choiceA(), "first words");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "unsaved words");
}

}  // namespace
