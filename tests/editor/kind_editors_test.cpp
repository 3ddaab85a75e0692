// The RC, DS and PS editors over real bank files, driven through their controls.
#include "ds/form_ds_edit.h"
#include "editor_fixture.h"
#include "ps/form_ps_edit.h"
#include "rc/form_rc_edit.h"

using kinds::FormDSEdit;
using kinds::FormPSEdit;
using kinds::FormRCEdit;
using store::Value;

namespace {

std::string fontOf(ui::RichTextBox& box) {
  box.setSelStart(0);
  box.setSelLength(box.TextLength());
  return box.SelFontName().toStdString();
}

std::string rtfIn(const char* font, const char* text) {
  return std::string("{\\rtf1\\ansi{\\fonttbl{\\f0 ") + font + ";}}\\pard\\f0\\fs22 " + text + "\\par}";
}

const char* kMixed = "{\\rtf1\\ansi{\\fonttbl{\\f0 CBT;}{\\f1 Verdana;}}\\pard\\f0 ab\\f1 cd\\par}";

// ---- RC

using RCEditor = EditorTest;

TEST_F(RCEditor, ShowsPassageIdAndCountAndWritesWhatItOwns) {
  add("RCtbl", {{"numQ", "03001"}, {"src", "X030"}, {"reading", rtfIn("Verdana", "The valley")},
                {"choiceA", "a"}, {"choiceWidth", 7.0}, {"questionHeight", 1.0}, {"choiceAHeight", 1.0}});
  add("RCtbl", {{"numQ", "03002"}, {"src", "X030"}, {"passageNum", "302"}, {"Qnumber", "00003"}});
  FormRCEdit& ed = open<FormRCEdit>();
  EXPECT_EQ(ed.Caption(), "ZORBEX RC Editor");
  EXPECT_EQ(ed.lblTitle.Caption(), "Verbal RC Editor");
  EXPECT_EQ(ed.rtxtPassage.Text(), "The valley");
  EXPECT_EQ(ed.txtPasgNum.Text(), "1");
  EXPECT_EQ(ed.txtNumQ.Text(), "00000");
  EXPECT_TRUE(ed.txtNumQ.isReadOnly());
  EXPECT_EQ(ed.rtxtQuestion.Height(), 567);
  EXPECT_DOUBLE_EQ(ed.txtAnswer[0].Height(), 595.35);
  EXPECT_FALSE(ed.chkAutoSave);
  EXPECT_FALSE(ed.cmdGo);
  EXPECT_FALSE(ed.cmdEditSubmit.isEnabled());
  EXPECT_EQ(ed.cmbEdit.List(ed.cmbEdit.ListCount() - 1), "export Pool");

  // A typed width changes nothing on screen and nothing in the table.
  ed.OptHW[1].setValue(true);
  ed.imgClick[2].Press();
  ed.txtValue.setText("5");
  EXPECT_EQ(ed.txtAnswer[2].Width(), 6735);
  ed.txtAnswer[1].setText("");
  ed.cmdSave.Press();
  EXPECT_EQ(field("RCtbl", "03001", "passageNum").toString(), "1");
  EXPECT_TRUE(field("RCtbl", "03001", "Qnumber").isNull());
  EXPECT_EQ(field("RCtbl", "03001", "choiceWidth").toDouble(), 7.0);
  EXPECT_EQ(field("RCtbl", "03001", "choiceA").toString(), "a");
  EXPECT_TRUE(field("RCtbl", "03001", "choiceB").isNull());
  EXPECT_NE(field("RCtbl", "03001", "reading").toString().find("The valley"), std::string::npos);

  // No auto-save: moving on drops the edits when the user says so.
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(ed.txtPasgNum.Text(), "302");
  EXPECT_EQ(ed.txtNumQ.Text(), "00003");
  EXPECT_TRUE(dialogs.shown.empty());
  ed.txtPasgNum.setText("999");
  dialogs.queueAnswer(ui::MsgResult::No);
  ed.lstQuestion.setListIndex(0);
  EXPECT_EQ(field("RCtbl", "03002", "passageNum").toString(), "302");
  EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(RCEditor, ResetPassageAndPassageFont) {
  add("RCtbl", {{"numQ", "03001"}, {"src", "X030"},
                {"reading", "{\\rtf1\\ansi{\\fonttbl{\\f0 CBT;}}\\pard\\f0 Line\\par (5) `first~ line\\par\\par "
                            "second\\par}"}});
  add("RCtbl", {{"numQ", "03002"}, {"src", "X030"}, {"reading", kMixed}});
  FormRCEdit& ed = open<FormRCEdit>();
  ed.cmdPsgFont.Press();
  EXPECT_EQ(ed.rtxtPassage.Text(), "     \"first\" \r\n\r\n     second");
  ed.cmdPsgFont2.Press();
  EXPECT_EQ(fontOf(ed.rtxtPassage), "Verdana");
  EXPECT_EQ(ed.rtxtPassage.SelFontSize(), std::optional<double>(11));
  ed.cmdPsgFont2.Press();
  EXPECT_EQ(fontOf(ed.rtxtPassage), "CBT");
  ed.cmdSave.Press();
  ed.lstQuestion.setListIndex(1);
  ed.cmdPsgFont2.Press();  // mixed fonts become Verdana (the stem's "Font" gives CBT)
  EXPECT_EQ(fontOf(ed.rtxtPassage), "Verdana");
  dialogs.queueAnswer(ui::MsgResult::No);
  ed.lstQuestion.setListIndex(0);
  EXPECT_EQ(ed.rtxtPassage.Text(), "     \"first\" \r\n\r\n     second");
}

// ---- DS

class DSEditor : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    add("DStbl", {{"numQ", "04001"}, {"src", "X040"}, {"statement1", rtfIn("Verdana", "one")},
                  {"statement2", rtfIn("CBT", "two")}, {"stateWidth", 2.5}, {"statePosition1", 1},
                  {"questionHeight", 1.0}, {"stateHeight1", 2.0}});
    add("DStbl", {{"numQ", "04002"}, {"src", "X040"}});
  }
};

TEST_F(DSEditor, ShowsStatementsAndFixedAnswersAndWritesNoChoice) {
  FormDSEdit& ed = open<FormDSEdit>();
  EXPECT_EQ(ed.Caption(), "ZORBEX DS Editor");
  EXPECT_EQ(ed.lblTitle.Caption(), "Math DS Editor");
  EXPECT_EQ(ed.rtxtState[1].Text(), "two");
  EXPECT_EQ(ed.chkStatePos[0].Value(), 1);
  EXPECT_EQ(ed.statements.lblState1.Top(), ed.rtxtState[0].Top() + (1080 - 270) / 2.0 - 20);
  EXPECT_EQ(ed.txtAnswer[3].Text(), "EACH statement ALONE is sufficient.");
  EXPECT_TRUE(ed.txtAnswer[0].isReadOnly());
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(ed.rtxtState[0].Top(), 2055);
  EXPECT_EQ(ed.rtxtState[1].Top(), 2835);
  EXPECT_EQ(ed.imgClick[0].Top(), 4050);
  EXPECT_EQ(ed.txtAnswer[4].Top(), 6450 - 40);
  EXPECT_EQ(ed.txtAnswer[4].Text(), "Statement (1) and (2) TOGETHER are NOT sufficient.");
  EXPECT_EQ(ed.chkStatePos[0].Value(), 0);
  EXPECT_FALSE(ed.cmdFont);
}

TEST_F(DSEditor, FocusingTheStemOrAMarkerNeverResizesAStatement) {
  FormDSEdit& ed = open<FormDSEdit>();
  ed.rtxtState[0].Press();
  EXPECT_EQ(ed.txtValue.Text(), "2");
  EXPECT_EQ(ed.SliderVH.Max(), 740);
  ed.rtxtQuestion.Press();  // shows the stem's height: it must not land in statement 1
  EXPECT_EQ(ed.txtValue.Text(), "1");
  EXPECT_EQ(ed.stateHeight1.toDouble(), 2.0);
  EXPECT_EQ(ed.rtxtState[0].Height(), 1080);
  ed.imgClick[0].Press();  // the marker fills; typing sizes nothing
  EXPECT_FALSE(ed.imgClick[0].pixmap().toImage() == ed.imgClick[1].pixmap().toImage());
  ed.txtValue.setText("3");
  EXPECT_EQ(ed.stateHeight1.toDouble(), 2.0);
  EXPECT_EQ(ed.questionHeight.toDouble(), 1.0);
  ed.imgClick[1].Press();
  ed.txtValue.setText("3");
  EXPECT_TRUE(ed.stateHeight2.isNull());
}

TEST_F(DSEditor, WidthPositionAndFontsReachTheTableOnlyThroughSave) {
  FormDSEdit& ed = open<FormDSEdit>();
  ed.chkAutoSave->setValue(1);
  ed.rtxtState[1].Press();
  ed.OptHW[1].setValue(true);  // shows the shared width at once
  EXPECT_EQ(ed.txtValue.Text(), "2.5");
  EXPECT_EQ(ed.SliderVH.Max(), 160);
  ed.txtValue.setText("3");
  EXPECT_EQ(ed.stateWidth.toDouble(), 3.0);
  EXPECT_EQ(ed.rtxtState[1].Width(), 13575);
  const double label = ed.statements.lblState2.Top();
  ed.chkStatePos[1].setValue(1);
  EXPECT_EQ(ed.statements.lblState2.Top(), label + 0 - 20);  // 270-high box: centred is 20 up
  ed.cmdSFont.Press();  // Verdana and CBT swap
  EXPECT_EQ(fontOf(ed.rtxtState[0]), "CBT");
  EXPECT_EQ(fontOf(ed.rtxtState[1]), "Verdana");
  ed.lstQuestion.setListIndex(1);  // auto-save: content only
  EXPECT_EQ(field("DStbl", "04001", "stateWidth").toDouble(), 2.5);
  EXPECT_EQ(field("DStbl", "04001", "statePosition2").toDouble(), 0);
  EXPECT_NE(field("DStbl", "04001", "statement1").toString().find("CBT"), std::string::npos);
  ed.lstQuestion.setListIndex(0);
  ed.chkAutoSave->setValue(0);
  ed.chkStatePos[1].setValue(1);
  ed.rtxtState[1].Press();
  ed.txtValue.setText("3");
  ed.cmdSave.Press();
  EXPECT_EQ(field("DStbl", "04001", "stateWidth").toDouble(), 3.0);
  EXPECT_EQ(field("DStbl", "04001", "statePosition2").toDouble(), 1);
  ed.lstQuestion.setListIndex(1);
  ed.lstQuestion.setListIndex(0);
  EXPECT_EQ(ed.chkStatePos[1].Value(), 1);
}

TEST_F(DSEditor, GoResetsHeightsAndFontsButKeepsWidthAndPositions) {
  FormDSEdit& ed = open<FormDSEdit>();
  ed.cmdGo->Press();
  for (const char* f : {"questionHeight", "questionWidth", "stateHeight1", "stateHeight2"})
    EXPECT_EQ(field("DStbl", "04001", f).toDouble(), 0.0) << f;
  EXPECT_FALSE(field("DStbl", "04001", "stateHeight1").isNull());
  EXPECT_EQ(field("DStbl", "04001", "stateWidth").toDouble(), 2.5);
  EXPECT_EQ(field("DStbl", "04001", "statePosition1").toDouble(), 1);
  ed.lstQuestion.setListIndex(1);
  ed.lstQuestion.setListIndex(0);
  EXPECT_EQ(fontOf(ed.rtxtState[1]), "Verdana");
  EXPECT_EQ(ed.rtxtState[1].SelFontSize(), std::optional<double>(11));
}

// ---- PS

class PSEditor : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    std::map<std::string, Value> f = {{"numQ", "05001"}, {"src", "X050"}, {"choiceArrange", 0},
                                      {"question", rtfIn("CBT", "say `yes~")}, {"questionHeight", 2.0}};
    for (const char* c : {"choiceA", "choiceB", "choiceC", "choiceD", "choiceE"}) f[c] = rtfIn("Verdana", c);
    add("PStbl", f);
    add("PStbl", {{"numQ", "05002"}, {"src", "X050"}, {"choiceArrange", 1}, {"choiceC", rtfIn("CBT", "c")}});
  }
};

TEST_F(PSEditor, RichChoicesAreWrittenOnlyWithTextAndArrangeOnlyBySave) {
  FormPSEdit& ed = open<FormPSEdit>();
  EXPECT_EQ(ed.Caption(), "ZORBEX PS Editor");
  EXPECT_EQ(ed.cmdFont->Caption(), "C Font");
  EXPECT_EQ(ed.rtxtAnswer[2].Text(), "choiceC");
  EXPECT_EQ(ed.chkArrange.Value(), 0);
  ed.rtxtAnswer[1].setSelStart(0);
  ed.rtxtAnswer[1].setSelLength(ed.rtxtAnswer[1].TextLength());
  ed.rtxtAnswer[1].setSelText("");  // formatting without characters
  ed.rtxtAnswer[3].setText("new D");
  ed.chkAutoSave->setValue(1);
  ed.chkArrange.setValue(1);
  ed.lstQuestion.setListIndex(1);
  EXPECT_NE(field("PStbl", "05001", "choiceB").toString().find("choiceB"), std::string::npos);
  EXPECT_NE(field("PStbl", "05001", "choiceD").toString().find("new D"), std::string::npos);
  EXPECT_EQ(field("PStbl", "05001", "choiceArrange").toDouble(), 0);
  EXPECT_EQ(ed.chkArrange.Value(), 1);
  EXPECT_EQ(ed.rtxtAnswer[0].Text(), "");
  ed.chkAutoSave->setValue(0);
  ed.chkArrange.setValue(0);
  ed.cmdSave.Press();
  EXPECT_EQ(field("PStbl", "05002", "choiceArrange").toDouble(), 0);
  EXPECT_TRUE(field("PStbl", "05002", "choiceA").isNull());
}

TEST_F(PSEditor, ClickingAChoiceSizesItAndItsMarkerStaysCentred) {
  FormPSEdit& ed = open<FormPSEdit>();
  EXPECT_EQ(ed.rtxtAnswer[0].Top(), 1320 + 1134 + 330);
  ed.rtxtAnswer[2].Press();
  EXPECT_EQ(ed.pFocus, "3");
  EXPECT_FALSE(ed.imgClick[2].pixmap().toImage() == ed.imgClick[1].pixmap().toImage());
  const double dTop = ed.rtxtAnswer[3].Top();
  ed.txtValue.setText("1");
  EXPECT_EQ(ed.rtxtAnswer[2].Height(), 567);
  EXPECT_EQ(ed.imgClick[2].Top(), ed.rtxtAnswer[2].Top() + 283.5 - 82.5);
  EXPECT_EQ(ed.rtxtAnswer[3].Top(), dTop + 567 - 270);
  ed.chkBorder.setValue(1);
  EXPECT_TRUE(ed.rtxtAnswer[4].Border());
}

TEST_F(PSEditor, FontButtonsAndGo) {
  FormPSEdit& ed = open<FormPSEdit>();
  ed.cmdFont->Press();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(fontOf(ed.rtxtAnswer[i]), "CBT") << i;
  ed.cmdFont->Press();
  EXPECT_EQ(fontOf(ed.rtxtAnswer[4]), "Verdana");
  EXPECT_EQ(ed.rtxtAnswer[4].SelFontSize(), std::optional<double>(11));
  ed.cmdQfont.Press();
  EXPECT_EQ(fontOf(ed.rtxtQuestion), "Verdana");

  // "GO" loads every question anew: the unsaved font changes are dropped when the user says so.
  dialogs.queueAnswer(ui::MsgResult::No);
  ed.cmdGo->Press();
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(state->currentQNumber, "05002");
  EXPECT_EQ(field("PStbl", "05001", "questionHeight").toDouble(), 0.0);
  EXPECT_EQ(field("PStbl", "05002", "choiceArrange").toDouble(), 1);
  ed.lstQuestion.setListIndex(1);
  ed.lstQuestion.setListIndex(0);
  EXPECT_EQ(ed.rtxtQuestion.Text(), "say \"yes\"");
  EXPECT_EQ(fontOf(ed.rtxtQuestion), "Verdana");
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(fontOf(ed.rtxtAnswer[2]), "Verdana");
  EXPECT_EQ(ed.rtxtAnswer[2].SelFontSize(), std::optional<double>(11));
}

}  // namespace

namespace {

using KindEditors = EditorTest;

TEST_F(KindEditors, SizesThatCannotBeDrawnAreNotAppliedAndStoredOnesStayInsideTheCoordinates) {
  add("PStbl", {{"numQ", "05001"}, {"src", "X050"}, {"choiceBHeight", 1e12}});
  FormPSEdit& ed = open<FormPSEdit>();
  EXPECT_EQ(ed.rtxtAnswer[1].Height(), 143 * 567);  // drawn at the largest drawable size
  EXPECT_LT(ed.rtxtAnswer[4].geometry().bottom(), 32767);
  EXPECT_GT(ed.rtxtAnswer[4].Top(), ed.rtxtAnswer[1].Top());
  ed.rtxtAnswer[2].Press();
  for (const char* typed : {"-1", "1e9"}) {
    ed.txtValue.setText(typed);
    EXPECT_TRUE(ed.choiceHeight[2].isNull()) << typed;
  }
  ed.txtValue.setText("2");
  EXPECT_EQ(ed.rtxtAnswer[2].Height(), 1134);
  ed.cmdSave.Press();
  EXPECT_EQ(field("PStbl", "05001", "choiceCHeight").toDouble(), 2.0);
  EXPECT_EQ(field("PStbl", "05001", "choiceBHeight").toDouble(), 1e12);  // kept as stored
}

TEST_F(KindEditors, AnEmptyTableShowsAnEmptyQuestionAndSavesNothing) {
  {
    FormRCEdit rc(*state, formInit);
    rc.Show();
    EXPECT_EQ(rc.txtPasgNum.Text(), "1");
    EXPECT_FALSE(rc.cmdSave.isEnabled());
    EXPECT_FALSE(rc.cmdPsgFont.isEnabled());
    rc.cmdSave_Click();
  }
  {
    FormDSEdit ds(*state, formInit);
    ds.Show();
    EXPECT_EQ(ds.rtxtState[0].Top(), 2055);
    ds.cmdSave_Click();
    ds.cmdGo_Click();
  }
  FormPSEdit& ps = open<FormPSEdit>();
  ps.cmdSave_Click();
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(count("select count(*) as n from PStbl"), 0);
}

}  // namespace
