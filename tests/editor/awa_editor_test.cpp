// The essay-topic editor over real bank files, driven through its controls. What it shares
// with the question editor (leaving a topic, saving over another program's change, failures
// while changing topics) is tested for both windows in editor_safety_test.cpp.
#include <QApplication>
#include <QScrollBar>

#include "awa/awa_text.h"
#include "awa/form_awa_edit.h"
#include "editor_fixture.h"

using kinds::FormAWAEdit;
using kinds::awa::kInstruction;

namespace {

std::string rtfOf(const std::string& text) {
  return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}}\\pard\\f0\\fs20 " + text + "\\par}";
}

class AWAEditor : public EditorTest {
 protected:
  void topic(const std::string& numQ, const std::string& type, const std::string& text) {
    add("AWAtbl", {{"numQ", numQ}, {"type", type}, {"question", rtfOf(text)}});
  }
  // A stored topic as the topic box shows it.
  struct Stored {
    QString text, font;
    std::optional<double> size;
  };
  Stored stored(const std::string& numQ) {
    ui::RichTextBox box;
    box.setTextRTF(QByteArray::fromStdString(field("AWAtbl", numQ, "question").toString()));
    box.setSelStart(0);
    box.setSelLength(box.TextLength());
    return {box.Text(), box.SelFontName(), box.SelFontSize()};
  }
  std::vector<std::string> listed(FormAWAEdit& ed) {
    std::vector<std::string> out;
    for (int i = 0; i < ed.lstQuestion.ListCount(); ++i) out.push_back(ed.lstQuestion.List(i));
    return out;
  }
  QString withInstruction(const QString& text, int times = 1) {
    QString out = text;
    for (int i = 0; i < times; ++i) out = kInstruction + "\r\n\r\n" + out;
    return out;
  }
};

TEST_F(AWAEditor, OpensOnArgumentAndListsATypeInTextOrder) {
  topic("A2", "A", "first argument");
  topic("A10", "A", "second argument");
  topic("I9", "I", "nine");
  topic("I10", "I", "ten");
  topic("I2", "I", "two");
  FormAWAEdit& ed = open<FormAWAEdit>();
  EXPECT_EQ(ed.Caption(), "ZORBEX AWA Editor");
  EXPECT_EQ(ed.lblTitle.Caption(), "AWA Editor");
  EXPECT_EQ(ed.cmbPool.Text(), "Argument");
  EXPECT_EQ(listed(ed), (std::vector<std::string>{"A10", "A2"}));
  EXPECT_EQ(state->currentQNumber, "A10");
  EXPECT_EQ(ed.rtxtQuestion.Text(), "second argument");
  EXPECT_FALSE(ed.chkAutoSave.Value());

  ed.cmbPool.setListIndex(1);
  EXPECT_EQ(listed(ed), (std::vector<std::string>{"I10", "I2", "I9"}));
  EXPECT_EQ(state->currentQNumber, "I10");
  EXPECT_EQ(ed.rtxtQuestion.Text(), "ten");
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(AWAEditor, AddPutsTheInstructionInFrontEveryTimeAsPlainText) {
  topic("A1", "A", "\\b X\\b0");
  FormAWAEdit& ed = open<FormAWAEdit>();
  EXPECT_EQ(kInstruction.size(), 184);
  ed.cmdAdd.Press();
  EXPECT_EQ(ed.rtxtQuestion.Text(), withInstruction("X"));
  ed.cmdAdd.Press();
  EXPECT_EQ(ed.rtxtQuestion.Text(), withInstruction("X", 2));
  // The topic's own formatting is gone: the last character is in the box's default font.
  ed.rtxtQuestion.setSelStart(ed.rtxtQuestion.TextLength() - 1);
  ed.rtxtQuestion.setSelLength(1);
  EXPECT_EQ(ed.rtxtQuestion.SelFontName(), "Verdana");
  EXPECT_FALSE(ed.rtxtQuestion.currentCharFormat().font().bold());
  EXPECT_EQ(stored("A1").text, "X");  // nothing saved by "Add"
}

TEST_F(AWAEditor, FontSetsVerdana11AndStraightensEveryBacktickAndTilde) {
  add("AWAtbl", {{"numQ", "A1"},
                 {"type", "A"},
                 {"question", "{\\rtf1\\ansi{\\fonttbl{\\f0 CBT;}{\\f1 Arial;}}\\pard\\f0\\fs30 a `b` \\f1\\fs18 "
                              "~c~ `d\\par}"}});
  FormAWAEdit& ed = open<FormAWAEdit>();
  ed.cmdFont.Press();
  EXPECT_EQ(ed.rtxtQuestion.Text(), "a \"b\" \"c\" \"d");
  EXPECT_EQ(ed.rtxtQuestion.SelStart(), 0);
  ed.rtxtQuestion.setSelLength(ed.rtxtQuestion.TextLength());
  EXPECT_EQ(ed.rtxtQuestion.SelFontName(), "Verdana");
  EXPECT_EQ(ed.rtxtQuestion.SelFontSize(), std::optional<double>(11));
  ed.cmdFont.Press();  // no toggle
  ed.rtxtQuestion.setSelLength(ed.rtxtQuestion.TextLength());
  EXPECT_EQ(ed.rtxtQuestion.SelFontName(), "Verdana");
}

TEST_F(AWAEditor, GoConvertsAndSavesEveryListedTopicOfTheType) {
  topic("A1", "A", "one `x`");
  topic("A2", "A", "two ~y~");
  topic("A3", "A", "three");
  topic("I1", "I", "issue `z`");
  FormAWAEdit& ed = open<FormAWAEdit>();
  ed.lstQuestion.setListIndex(1);
  ed.cmdGo.Press();
  EXPECT_EQ(state->currentQNumber, "A3");    // the last topic is on screen
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 2);  // and highlighted
  EXPECT_EQ(ed.rtxtQuestion.Text(), withInstruction("three"));
  const std::pair<const char*, const char*> expected[] = {{"A1", "one \"x\""}, {"A2", "two \"y\""}, {"A3", "three"}};
  for (const auto& [numQ, text] : expected) {
    const Stored s = stored(numQ);
    EXPECT_EQ(s.text, withInstruction(text)) << numQ;
    EXPECT_EQ(s.font, "Verdana") << numQ;
    EXPECT_EQ(s.size, std::optional<double>(11)) << numQ;
  }
  EXPECT_EQ(stored("I1").text, "issue `z`");  // the other type is untouched

  ed.cmdGo.Press();
  for (const auto& [numQ, text] : expected) EXPECT_EQ(stored(numQ).text, withInstruction(text, 2)) << numQ;
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(AWAEditor, AutoSaveWritesTheTopicLeftButNotOnClosing) {
  topic("A1", "A", "a1");
  topic("A2", "A", "a2");
  topic("I1", "I", "i1");
  FormAWAEdit& ed = open<FormAWAEdit>();
  // Unticked: leaving a topic drops its edits when the user says so.
  ed.rtxtQuestion.setText("dropped");
  dialogs.queueAnswer(ui::MsgResult::No);
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(stored("A1").text, "a1");

  ed.chkAutoSave.setValue(1);
  EXPECT_TRUE(ed.cmdSave.isEnabled());
  ed.rtxtQuestion.setText("a2 edited");
  ed.lstQuestion.setListIndex(0);
  EXPECT_EQ(stored("A2").text, "a2 edited");
  EXPECT_EQ(ed.rtxtQuestion.Text(), "a1");

  ed.rtxtQuestion.setText("a1 before the type changed");
  ed.cmbPool.setListIndex(1);
  EXPECT_EQ(stored("A1").text, "a1 before the type changed");
  EXPECT_EQ(stored("I1").text, "i1");
  EXPECT_EQ(state->currentQNumber, "I1");

  // Closing does not auto-save: it asks, and the edits go when the user says so.
  ed.rtxtQuestion.setText("not on closing");
  dialogs.queueAnswer(ui::MsgResult::No);
  ed.Unload();
  EXPECT_EQ(dialogs.shown.back().buttons, ui::MsgButtons::YesNoCancel);
  EXPECT_EQ(stored("I1").text, "i1");
  EXPECT_TRUE(formInit.Visible());
}

TEST_F(AWAEditor, ATypeWithoutTopicsShowsNothingAndSavesNothing) {
  topic("A1", "A", "a1");
  FormAWAEdit& ed = open<FormAWAEdit>();
  ed.chkAutoSave.setValue(1);
  ed.cmbPool.setListIndex(1);
  EXPECT_EQ(ed.lstQuestion.ListCount(), 0);
  EXPECT_EQ(ed.rtxtQuestion.Text(), "");
  for (ui::CommandButton* b : {&ed.cmdSave, &ed.cmdAdd, &ed.cmdFont, &ed.cmdGo}) EXPECT_FALSE(b->isEnabled());
  // Back to "Argument": the empty box is written nowhere.
  ed.rtxtQuestion.setText("typed into the empty box");
  ed.cmbPool.setListIndex(0);
  EXPECT_EQ(stored("A1").text, "a1");
  EXPECT_EQ(ed.rtxtQuestion.Text(), "a1");
  for (ui::CommandButton* b : {&ed.cmdSave, &ed.cmdAdd, &ed.cmdFont, &ed.cmdGo}) EXPECT_TRUE(b->isEnabled());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(AWAEditor, ToolPicturesEditTheResponseWhichIsNeverLoadedOrSaved) {
  topic("A1", "A", "a1");
  topic("A2", "A", "a2");
  FormAWAEdit& ed = open<FormAWAEdit>();
  ed.rtxtAnswer.setText("my essay");
  ed.rtxtAnswer.selectAll();
  ed.picCut.Press();
  EXPECT_EQ(ed.rtxtAnswer.Text(), "");
  ed.picPaste.Press();
  ed.picPaste.Press();
  EXPECT_EQ(ed.rtxtAnswer.Text(), "my essaymy essay");
  ed.picUndo.Press();
  EXPECT_EQ(ed.rtxtAnswer.Text(), "my essay");
  ed.picRedo.Press();
  EXPECT_EQ(ed.rtxtAnswer.Text(), "my essaymy essay");
  ed.rtxtAnswer.setSelStart(0);
  ed.rtxtAnswer.setSelLength(2);
  ed.picCopy.Press();
  ed.rtxtAnswer.setSelStart(ed.rtxtAnswer.TextLength());
  ed.picPaste.Press();
  EXPECT_EQ(ed.rtxtAnswer.Text(), "my essaymy essaymy");
  // The topic box is not touched by the tools.
  EXPECT_EQ(ed.rtxtQuestion.Text(), "a1");

  ed.chkAutoSave.setValue(1);
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(ed.rtxtAnswer.Text(), "my essaymy essaymy");
  EXPECT_EQ(stored("A1").text, "a1");
  for (const ui::PictureBox* p : {&ed.picCut, &ed.picCopy, &ed.picPaste, &ed.picUndo, &ed.picRedo})
    EXPECT_EQ(p->pixmap().height(), 23);
}

TEST_F(AWAEditor, TheWindowScrollsOnAScreenSmallerThanItself) {
  topic("A1", "A", "a1");
  FormAWAEdit& ed = open<FormAWAEdit>();
  ed.fitToScreen(QSize(800, 600));
  EXPECT_LE(ed.width(), 800);
  EXPECT_LE(ed.height(), 600);
  QApplication::processEvents();
  EXPECT_GT(ed.scrollArea().verticalScrollBar()->maximum(), 0);
  EXPECT_GT(ed.scrollArea().horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(ed.cmdSave.Left(), 11880);  // controls keep their places on the content
  EXPECT_TRUE(ed.cmdSave.isVisible());

  // Too low but wide enough: only the vertical bar, and the whole width stays in view.
  ed.fitToScreen(QSize(1280, 700));
  QApplication::processEvents();
  EXPECT_TRUE(ed.scrollArea().verticalScrollBar()->isVisible());
  EXPECT_FALSE(ed.scrollArea().horizontalScrollBar()->isVisible());
}

}  // namespace
