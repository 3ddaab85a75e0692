// What a user types and sees in the RC, DS, PS and AWA editors, over real bank files and
// through the controls: typed text, long choices, boxes after a change of question.
#include <QApplication>
#include <QScrollBar>
#include <iostream>
#include <QTextBlock>
#include <QTextLayout>

#include "awa/form_awa_edit.h"
#include "ds/form_ds_edit.h"
#include "editor_fixture.h"
#include "keys.h"
#include "ps/form_ps_edit.h"
#include "rc/form_rc_edit.h"

using kinds::FormAWAEdit;
using kinds::FormDSEdit;
using kinds::FormPSEdit;
using kinds::FormRCEdit;

namespace {

// Text in CBT at 11 points.
std::string cbt(const char* text) {
  return std::string("{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil CBT;}}\\pard\\f0\\fs22 ") + text + "\\par}";
}

class EditorUse : public EditorTest {
 protected:
  // Ctrl+A, "X", Enter three times, "Y": as the user types into the box.
  static void typeOver(ui::RichTextBox& box) {
    keys::selectAll(&box);
    keys::type(&box, "X\n\n\nY");
  }
  // The stored rich text of a field after typeOver: every font entry has a name, and "Y"
  // is in the font and size of the text it replaced.
  void expectTypedInCbt(const char* table, const std::string& numQ, const char* fieldName) {
    SCOPED_TRACE(fieldName);
    const std::string rtf = field(table, numQ, fieldName).toString();
    EXPECT_EQ(rtf.find(" ;}"), std::string::npos) << rtf;
    ui::RichTextBox back;
    back.setTextRTF(QByteArray::fromStdString(rtf));
    EXPECT_EQ(back.Text(), "X\r\n\r\n\r\nY");
    back.setSelStart(back.TextLength() - 1);
    back.setSelLength(1);
    EXPECT_EQ(back.SelFontName(), "CBT");
    EXPECT_EQ(back.SelFontSize(), 11.0);
  }
};

// ---- typed text keeps its font

TEST_F(EditorUse, TypedTextInTheRCStemAndPassageKeepsItsFont) {
  add("RCtbl", {{"numQ", "03001"}, {"src", "X030"}, {"question", cbt("stem")}, {"reading", cbt("passage")}});
  FormRCEdit& ed = open<FormRCEdit>();
  typeOver(ed.rtxtQuestion);
  typeOver(ed.rtxtPassage);
  ed.cmdSave.Press();
  expectTypedInCbt("RCtbl", "03001", "question");
  expectTypedInCbt("RCtbl", "03001", "reading");
}

TEST_F(EditorUse, TypedTextInTheDSStemAndStatementsKeepsItsFont) {
  add("DStbl", {{"numQ", "05001"}, {"src", "X050"}, {"question", cbt("stem")}, {"statement1", cbt("one")},
                {"statement2", cbt("two")}});
  FormDSEdit& ed = open<FormDSEdit>();
  typeOver(ed.rtxtQuestion);
  typeOver(ed.rtxtState[0]);
  typeOver(ed.rtxtState[1]);
  ed.cmdSave.Press();
  for (const char* name : {"question", "statement1", "statement2"}) expectTypedInCbt("DStbl", "05001", name);
}

TEST_F(EditorUse, TypedTextInThePSStemAndChoicesKeepsItsFont) {
  add("PStbl", {{"numQ", "04001"}, {"src", "X040"}, {"question", cbt("stem")}, {"choiceA", cbt("a")},
                {"choiceB", cbt("b")}, {"choiceC", cbt("c")}, {"choiceD", cbt("d")}, {"choiceE", cbt("e")}});
  FormPSEdit& ed = open<FormPSEdit>();
  typeOver(ed.rtxtQuestion);
  for (int i = 0; i < 5; ++i) typeOver(ed.rtxtAnswer[i]);
  ed.cmdSave.Press();
  for (const char* name : {"question", "choiceA", "choiceB", "choiceC", "choiceD", "choiceE"})
    expectTypedInCbt("PStbl", "04001", name);
}

TEST_F(EditorUse, TypedTextInTheAWATopicKeepsItsFont) {
  add("AWAtbl", {{"numQ", "A1"}, {"type", "A"}, {"question", cbt("topic")}});
  FormAWAEdit& ed = open<FormAWAEdit>();
  typeOver(ed.rtxtQuestion);
  ed.cmdSave.Press();
  expectTypedInCbt("AWAtbl", "A1", "question");
}

// ---- long choices

TEST_F(EditorUse, ALongChoiceWrapsWithinItsBoxAndIsStoredAsItWas) {
  std::string choice;
  while (choice.size() < 976) choice += "word" + std::to_string(choice.size()) + " ";
  choice.resize(976);
  add("RCtbl", {{"numQ", "03001"}, {"src", "X030"}, {"choiceA", choice}, {"choiceAHeight", 3.0}});
  FormRCEdit& ed = open<FormRCEdit>();
  QApplication::processEvents();
  ui::WrappingTextBox& box = ed.txtAnswer[0];
  EXPECT_EQ(box.Text(), choice);
  const QTextLayout* layout = box.document()->begin().layout();
  ASSERT_NE(layout, nullptr);
  EXPECT_GT(layout->lineCount(), 5);
  // The first line starts the choice, and the lines of its sized height show the text.
  EXPECT_EQ(box.cursorForPosition(QPoint(2, 2)).position(), 0);
  EXPECT_GE(box.viewport()->height(), 5 * box.fontMetrics().lineSpacing());
  ed.cmdSave.Press();
  EXPECT_EQ(field("RCtbl", "03001", "choiceA").toString(), choice);
}

// ---- boxes after a change of question

// Where each box of a DS question stands and how far its text is scrolled.
std::vector<std::pair<QRect, int>> dsBoxes(FormDSEdit& ed) {
  std::vector<std::pair<QRect, int>> out;
  for (ui::RichTextBox* box : {&ed.rtxtQuestion, &ed.rtxtState[0], &ed.rtxtState[1]})
    out.emplace_back(box->geometry(), box->verticalScrollBar()->value());
  for (int i = 0; i < 5; ++i) out.emplace_back(ed.imgClick[i].geometry(), 0);
  return out;
}

TEST_F(EditorUse, DSBoxesAfterAChangeOfQuestionStandAsWhenItIsShownFirst) {
  std::string longText;
  for (int i = 0; i < 60; ++i) longText += "statement words ";
  add("DStbl", {{"numQ", "05001"}, {"src", "X050"}, {"statement1", cbt("one")}, {"statement2", cbt(longText.c_str())},
                {"stateHeight1", 2.0}, {"stateHeight2", 3.0}, {"statePosition2", 1}});
  add("DStbl", {{"numQ", "05002"}, {"src", "X050"}, {"statement1", cbt("one")}, {"statement2", cbt(longText.c_str())},
                {"stateHeight2", 1.0}});
  add("DStbl", {{"numQ", "05003"}, {"src", "X051"}});
  FormDSEdit& first = open<FormDSEdit>();
  first.rtxtState[1].setSelStart(first.rtxtState[1].TextLength());  // the caret at the end of the long text
  first.lstQuestion.setListIndex(1);
  QApplication::processEvents();
  const auto switched = dsBoxes(first);
  EXPECT_EQ(first.rtxtState[1].Height(), 540);
  delete window.data();

  // The same question shown first, in a window of its own (its pool comes first).
  add("DStbl", {{"numQ", "05004"}, {"src", "X049"}, {"statement1", cbt("one")}, {"statement2", cbt(longText.c_str())},
                {"stateHeight2", 1.0}});
  FormDSEdit& fresh = open<FormDSEdit>();
  ASSERT_EQ(fresh.lstQuestion.Text(), "05004");
  QApplication::processEvents();
  EXPECT_EQ(dsBoxes(fresh), switched);
}

// ---- the keyboard

TEST_F(EditorUse, TabGoesThroughThePSBoxesInReadingOrderAndCtrlTabTypesATab) {
  add("PStbl", {{"numQ", "04001"}, {"src", "X040"}, {"question", cbt("stem")}, {"choiceA", cbt("a")}});
  FormPSEdit& ed = open<FormPSEdit>();
  ed.rtxtQuestion.setFocus();
  std::vector<QWidget*> visited;
  for (int i = 0; i < 5; ++i) {
    keys::press(ed.focusWidget(), Qt::Key_Tab);
    visited.push_back(ed.focusWidget());
  }
  EXPECT_EQ(visited, (std::vector<QWidget*>{&ed.rtxtAnswer[0], &ed.rtxtAnswer[1], &ed.rtxtAnswer[2],
                                            &ed.rtxtAnswer[3], &ed.rtxtAnswer[4]}));
  keys::press(ed.focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(ed.focusWidget(), &ed.rtxtAnswer[3]);
  ed.rtxtAnswer[0].setFocus();
  ed.rtxtAnswer[0].setSelStart(1);
  keys::press(ed.focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(ed.focusWidget(), &ed.rtxtAnswer[0]);
  EXPECT_EQ(ed.rtxtAnswer[0].Text(), "a\t");
}

TEST_F(EditorUse, TabGoesFromTheRCPassageToTheStemAndTheChoices) {
  add("RCtbl", {{"numQ", "03001"}, {"src", "X030"}, {"question", cbt("stem")}, {"reading", cbt("passage")}});
  FormRCEdit& ed = open<FormRCEdit>();
  ed.rtxtPassage.setFocus();
  keys::press(ed.focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(ed.focusWidget(), &ed.rtxtQuestion);
  for (int i = 0; i < 5; ++i) {
    keys::press(ed.focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(ed.focusWidget(), &ed.txtAnswer[i]);
  }
}

// ---- after whole-pool work

TEST_F(EditorUse, AfterGoNoBoxIsSelectedAndTheListShowsTheLastQuestion) {
  for (const char* numQ : {"04001", "04002", "04003"})
    add("PStbl", {{"numQ", numQ}, {"src", "X040"}, {"question", cbt("stem")}, {"choiceA", cbt("a")}});
  FormPSEdit& ed = open<FormPSEdit>();
  ed.cmdGo->Press();
  EXPECT_EQ(state->currentQNumber, "04003");
  EXPECT_EQ(ed.lstQuestion.Text(), "04003");
  EXPECT_EQ(ed.rtxtQuestion.SelLength(), 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ed.rtxtAnswer[i].SelLength(), 0) << i;
}

// ---- the window

TEST_F(EditorUse, TheControlsKeepAMarginAtTheWindowsRightEdge) {
  FormDSEdit& ed = open<FormDSEdit>();
  QWidget* page = ed.lstQuestion.parentWidget();
  for (QWidget* w : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (!w->isHidden()) {
      EXPECT_LE(w->geometry().right() + 1, page->width() - 8) << w->objectName().toStdString();
    }
}

}  // namespace
