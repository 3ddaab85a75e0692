// What a user types and sees in the RC, DS, PS and AWA editors, over real bank files and
// through the controls: typed text, long choices, boxes after a change of question.
#include <QTextBlock>

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

}  // namespace
