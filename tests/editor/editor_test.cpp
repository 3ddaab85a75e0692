// The SC and CR editors over real bank files, driven through their controls.
#include "choice_kinds.h"
#include "cr/form_cr_edit.h"
#include "dialect.h"
#include "editor_fixture.h"
#include "engine.h"
#include "sc/form_sc_edit.h"

using kinds::FormCREdit;
using kinds::FormSCEdit;
using store::Value;

namespace {

class SCEditor : public EditorTest {
 protected:
  void addPool(const std::string& src, int from, int to) {
    for (int i = from; i <= to; ++i) {
      char n[8];
      std::snprintf(n, sizeof n, "%s%02d", src.substr(1).c_str(), i);
      add("SCtbl", {{"numQ", n}, {"src", src}, {"answer", "B"}, {"choiceA", std::string("a of ") + n}});
    }
  }
};

using SCEditorStore = OnBothEngines<SCEditor>;
ZORBEX_ON_BOTH_ENGINES(SCEditorStore);

TEST_F(SCEditor, OpeningSelectsTheFirstPoolAndQuestionAndArrangesTheDefaults) {
  addPool("X013", 1, 2);
  addPool("X012", 1, 3);
  FormSCEdit& ed = open<FormSCEdit>();
  EXPECT_EQ(ed.Caption(), "ZORBEX SC Editor");
  EXPECT_EQ(ed.lblTitle.Caption(), "Verbal SC Editor");
  EXPECT_EQ(ed.cmbPool.ListCount(), 2);
  EXPECT_EQ(ed.cmbPool.Text(), "X012");
  EXPECT_EQ(ed.lstQuestion.ListCount(), 3);
  EXPECT_EQ(state->currentQNumber, "01201");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "a of 01201");
  EXPECT_EQ(ed.cmbAnswer.Text(), "B");
  EXPECT_EQ(ed.pFocus, "0");
  EXPECT_TRUE(ed.OptHW[0].Value());
  EXPECT_EQ(ed.txtValue.Text(), "0");
  // All layout fields empty: the default arrangement.
  EXPECT_EQ(ed.rtxtQuestion.Top(), 1320);
  EXPECT_EQ(ed.rtxtQuestion.Height(), 615);
  EXPECT_EQ(ed.rtxtQuestion.Width(), 14300);
  EXPECT_EQ(ed.imgClick[0].Top(), 2265);
  EXPECT_EQ(ed.txtAnswer[0].Top(), 2225);
  EXPECT_EQ(ed.txtAnswer[0].Height(), 270);
  EXPECT_EQ(ed.imgClick[1].Top(), 2865);
  EXPECT_EQ(ed.imgClick[4].Top(), 2265 + 4 * 600);
  EXPECT_EQ(ed.txtAnswer[3].Left(), 960);
  EXPECT_EQ(ed.txtAnswer[3].Width(), 13700);
  EXPECT_EQ(ed.imgClick[3].Left(), 600);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(SCEditor, StoredSizesPlaceTheBoxes) {
  add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"questionHeight", 2.0}, {"choiceAHeight", 1.5}});
  add("SCtbl", {{"numQ", "01202"}, {"src", "X012"}, {"questionHeight", 0.0}, {"choiceCHeight", 1.0}});
  FormSCEdit& ed = open<FormSCEdit>();
  EXPECT_EQ(ed.rtxtQuestion.Height(), 1134);
  EXPECT_EQ(ed.txtAnswer[0].Height(), 850.5);
  for (int k = 1; k < 5; ++k) EXPECT_EQ(ed.txtAnswer[k].Height(), 850.5);  // B..E follow A
  EXPECT_EQ(ed.imgClick[1].Top(), 1320 + 1134 + 330 + 850.5 + 330);
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(ed.rtxtQuestion.Height(), 615);
  EXPECT_EQ(ed.txtAnswer[2].Height(), 567);
  EXPECT_EQ(ed.txtAnswer[3].Height(), 270);
  EXPECT_EQ(ed.imgClick[3].Top(), ed.imgClick[2].Top() + 567 + 330);
}

TEST_F(SCEditor, AnswersOutsideAToEShowAsA) {
  add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"answer", "N"}});
  add("SCtbl", {{"numQ", "01202"}, {"src", "X012"}, {"answer", "a"}});
  add("SCtbl", {{"numQ", "01203"}, {"src", "X012"}});
  add("SCtbl", {{"numQ", "01204"}, {"src", "X012"}, {"answer", "D"}});
  FormSCEdit& ed = open<FormSCEdit>();
  for (int i = 0; i < 4; ++i) {
    ed.lstQuestion.setListIndex(i);
    EXPECT_EQ(ed.cmbAnswer.Text(), i == 3 ? "D" : "A") << i;
  }
  // Saving the Null answer stores "A".
  ed.lstQuestion.setListIndex(2);
  ed.cmdSave.Press();
  EXPECT_EQ(field("SCtbl", "01203", "answer").toString(), "A");
}

TEST_P(SCEditorStore, AutoSaveWritesTheQuestionLeftAndOnlyItsContent) {
  addPool("X012", 1, 2);
  addPool("X013", 1, 1);
  FormSCEdit& ed = open<FormSCEdit>();
  // Without auto-save, moving on drops the edits when the user says so.
  ed.txtAnswer[1].setText("dropped");
  dialogs.queueAnswer(ui::MsgResult::No);
  ed.lstQuestion.setListIndex(1);
  EXPECT_TRUE(field("SCtbl", "01201", "choiceB").isNull());

  ed.chkAutoSave->setValue(1);
  EXPECT_FALSE(ed.cmdSave.isEnabled());
  ed.txtAnswer[1].setText("kept");
  ed.cmbAnswer.setListIndex(4);
  ed.imgClick[0].Press();
  ed.txtValue.setText("2");  // layout is not part of auto-save
  ed.lstQuestion.setListIndex(0);
  EXPECT_EQ(field("SCtbl", "01202", "choiceB").toString(), "kept");
  EXPECT_EQ(field("SCtbl", "01202", "answer").toString(), "E");
  EXPECT_TRUE(field("SCtbl", "01202", "choiceAHeight").isNull());
  EXPECT_EQ(ed.imgClick[0].Top(), 2265);  // the markers were cleared and 01201 loaded
  // Moving to another pool saves the question shown first.
  ed.txtAnswer[2].setText("before the pool changed");
  ed.cmbPool.setListIndex(1);
  EXPECT_EQ(field("SCtbl", "01201", "choiceC").toString(), "before the pool changed");
  EXPECT_EQ(state->currentQNumber, "01301");
  ed.chkAutoSave->setValue(0);
  EXPECT_TRUE(ed.cmdSave.isEnabled());
}

TEST_P(SCEditorStore, SavingKeepsAClearedChoiceAndResetStoresZeros) {
  add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"choiceC", "old C"}, {"questionHeight", 2.0},
                {"choiceAWidth", 12.5}});
  FormSCEdit& ed = open<FormSCEdit>();
  ed.txtAnswer[2].setText("");
  ed.cmdSave.Press();
  EXPECT_EQ(field("SCtbl", "01201", "choiceC").toString(), "old C");
  EXPECT_EQ(field("SCtbl", "01201", "questionHeight").toDouble(), 2.0);
  ed.cmdReset.Press();
  EXPECT_EQ(ed.rtxtQuestion.Height(), 615);
  EXPECT_EQ(field("SCtbl", "01201", "questionHeight").toDouble(), 2.0);  // nothing stored yet
  ed.cmdSave.Press();
  for (const char* f : {"questionWidth", "questionHeight", "choiceAWidth", "choiceAHeight", "choiceEHeight"}) {
    Value v = field("SCtbl", "01201", f);
    EXPECT_FALSE(v.isNull()) << f;
    EXPECT_EQ(v.toDouble(), 0.0) << f;
  }
}

TEST_F(SCEditor, ClosingWithAutoSaveStoresContentButNotLayout) {
  add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}});
  FormSCEdit& ed = open<FormSCEdit>();
  ed.chkAutoSave->setValue(1);
  ed.txtAnswer[0].setText("on close");
  ed.rtxtQuestion_Click();
  ed.txtValue.setText("2");
  ed.Unload();
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "on close");
  EXPECT_TRUE(field("SCtbl", "01201", "questionHeight").isNull());
  EXPECT_TRUE(formInit.Visible());
}

TEST_F(SCEditor, LayoutEditingThroughValueBoxAndSlider) {
  add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"choiceCHeight", 4.0}});
  FormSCEdit& ed = open<FormSCEdit>();
  // A stored size beyond the slider's range leaves the slider at its maximum.
  ed.imgClick[2].Press();
  EXPECT_EQ(ed.pFocus, "3");
  EXPECT_EQ(ed.txtValue.Text(), "4");
  EXPECT_EQ(ed.SliderVH.Max(), 300);
  EXPECT_EQ(ed.SliderVH.Value(), 300);
  // Choice C one centimetre high moves D and E up by the difference.
  double dBefore = ed.imgClick[3].Top();
  ed.txtValue.setText("1");
  EXPECT_EQ(ed.txtAnswer[2].Height(), 567);
  EXPECT_EQ(ed.imgClick[3].Top(), dBefore - (4 * 567 - 567));
  // Text that is no number is not applied.
  ed.txtValue.setText("1,5x");
  EXPECT_EQ(ed.txtAnswer[2].Height(), 567);
  ed.txtValue.setText("");
  EXPECT_EQ(ed.txtAnswer[2].Height(), 567);
  // A focused choice's marker is filled; the question box empties them all.
  EXPECT_FALSE(ed.imgClick[2].pixmap().toImage() == ed.imgClick[1].pixmap().toImage());
  // Width: every choice shares choiceAWidth; the drawn width stays 13700.
  ed.OptHW[1].setValue(true);
  ed.imgClick[3].Press();
  EXPECT_EQ(ed.SliderVH.Max(), 200);
  ed.txtValue.setText("15");
  EXPECT_EQ(ed.choiceAWidth.toDouble(), 15.0);
  EXPECT_EQ(ed.txtAnswer[3].Width(), 13700);
  ed.cmdSave.Press();
  EXPECT_EQ(field("SCtbl", "01201", "choiceAWidth").toDouble(), 15.0);
  EXPECT_EQ(field("SCtbl", "01201", "choiceCHeight").toDouble(), 1.0);
  // An empty stored height shows as 0; typing 0 restores the default.
  ed.OptHW[0].setValue(true);
  ed.rtxtQuestion_Click();
  EXPECT_EQ(ed.txtValue.Text(), "0");
  EXPECT_TRUE(ed.imgClick[2].pixmap().toImage() == ed.imgClick[1].pixmap().toImage());
}

TEST_F(SCEditor, FontToggleUnderlineAndSpecialCharacters) {
  add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"question", kCbtStem}});
  FormSCEdit& ed = open<FormSCEdit>();
  auto fontAll = [&] {
    ed.rtxtQuestion.setSelStart(0);
    ed.rtxtQuestion.setSelLength(ed.rtxtQuestion.TextLength());
    return ed.rtxtQuestion.SelFontName().toStdString();
  };
  EXPECT_EQ(fontAll(), "");  // mixed fonts
  ed.cmdFont->Press();
  EXPECT_EQ(fontAll(), "CBT");
  ed.cmdFont->Press();
  EXPECT_EQ(fontAll(), "Verdana");
  EXPECT_EQ(ed.rtxtQuestion.SelFontSize(), std::optional<double>(11));
  ed.cmdFont->Press();
  EXPECT_EQ(fontAll(), "CBT");

  dialogs.queueAnswer(ui::MsgResult::No);
  ed.lstQuestion_Click();  // reload the CBTLINE run, dropping the font changes
  ed.cmdUnderLine->Press();
  for (int i = 0; i < ed.rtxtQuestion.TextLength(); ++i) {
    ed.rtxtQuestion.setSelStart(i);
    ed.rtxtQuestion.setSelLength(1);
    EXPECT_EQ(ed.rtxtQuestion.SelUnderline().value_or(false), i >= 2 && i <= 7) << i;
  }
}

TEST_F(SCEditor, OnlyTheFirstCbtLineRunIsUnderlinedAndARunAtTheEndReachesIt) {
  add("SCtbl", {{"numQ", "01201"}, {"src", "X012"},
                {"question", "{\\rtf1\\ansi{\\fonttbl{\\f0 CBT;}{\\f1 CBTLINE;}}\\pard\\f0 a\\f1 bc\\f0 d\\f1 ef\\f0 g\\par}"}});
  add("SCtbl", {{"numQ", "01202"}, {"src", "X012"},
                {"question", "{\\rtf1\\ansi{\\fonttbl{\\f0 CBT;}{\\f1 CBTLINE;}}\\pard\\f0 abc\\f1 def}"}});
  FormSCEdit& ed = open<FormSCEdit>();
  auto underlined = [&] {
    std::string marks;
    for (int i = 0; i < ed.rtxtQuestion.TextLength(); ++i) {
      ed.rtxtQuestion.setSelStart(i);
      ed.rtxtQuestion.setSelLength(1);
      marks += ed.rtxtQuestion.SelUnderline().value_or(false) ? 'u' : '.';
    }
    return marks;
  };
  ed.ConvertUnderline();
  EXPECT_EQ(underlined().substr(0, 7), ".uu....");
  dialogs.queueAnswer(ui::MsgResult::No);
  ed.lstQuestion.setListIndex(1);
  ed.ConvertUnderline();
  EXPECT_EQ(underlined().substr(0, 6), "...uuu");
}

// "GO" writes the pool in one transaction; a question the bank refuses part-way stops it, and
// the questions converted before it stay converted, those after it untouched.
TEST_P(SCEditorStore, GoRefusedPartWayKeepsTheQuestionsBefore) {
  for (const char* n : {"01201", "01202", "01203"})
    add("SCtbl", {{"numQ", n}, {"src", "X012"}, {"question", "{\\rtf1\\ansi{\\fonttbl{\\f0 CBT;}}\\pard\\f0 say `yes~\\par}"},
                  {"questionHeight", 2.0}});
  store::Engine& e = state->pConn().engine();
  if (state->pConn().onServer())
    e.script("CREATE FUNCTION zx_test_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
             "IF OLD.numq = '01202' THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$; "
             "CREATE TRIGGER zx_test_refuse BEFORE UPDATE ON " + store::tableIdent(e.dialect(), "SCtbl") +
             " FOR EACH ROW EXECUTE FUNCTION zx_test_refuse();");
  else
    e.script("CREATE TRIGGER zx_test_refuse BEFORE UPDATE ON SCtbl WHEN OLD.numQ = '01202' "
             "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
  FormSCEdit& ed = open<FormSCEdit>();
  ed.cmdGo->Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);  // the refusal, as an error
  EXPECT_NE(dialogs.shown[0].text.find("refused"), std::string::npos) << dialogs.shown[0].text;
  // The pool's transaction is over.
  EXPECT_EQ(state->pConn().transactionLevel(), 0);
  EXPECT_FALSE(e.inTransaction());
  EXPECT_EQ(field("SCtbl", "01201", "questionHeight").toDouble(), 0.0);
  EXPECT_NE(field("SCtbl", "01201", "question").toString().find("say \"yes\""), std::string::npos);
  for (const char* n : {"01202", "01203"}) {
    EXPECT_EQ(field("SCtbl", n, "questionHeight").toDouble(), 2.0) << n;
    EXPECT_NE(field("SCtbl", n, "question").toString().find("`yes~"), std::string::npos) << n;
  }
}

TEST_P(SCEditorStore, GoConvertsAndSavesEveryQuestionOfThePool) {
  for (const char* n : {"01201", "01202", "01203"})
    add("SCtbl", {{"numQ", n}, {"src", "X012"}, {"question", "{\\rtf1\\ansi{\\fonttbl{\\f0 CBT;}{\\f1 CBTLINE;}}"
                                                             "\\pard\\f0 say `yes~ \\f1 now\\f0  ~ok`\\par}"},
                  {"questionHeight", 2.0}, {"choiceBHeight", 1.0}});
  add("SCtbl", {{"numQ", "01301"}, {"src", "X013"}, {"questionHeight", 2.0}});
  FormSCEdit& ed = open<FormSCEdit>();
  ed.lstQuestion.setListIndex(1);
  ed.cmdGo->Press();
  EXPECT_EQ(state->currentQNumber, "01203");
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 2);  // the list selects the question on screen
  for (const char* n : {"01201", "01202", "01203"}) {
    EXPECT_EQ(field("SCtbl", n, "questionHeight").toDouble(), 0.0) << n;
    EXPECT_FALSE(field("SCtbl", n, "choiceBHeight").isNull()) << n;
    state->currentQNumber = n;
    ed.LoadQuestion();
    const std::string text = ed.rtxtQuestion.Text().toStdString();
    EXPECT_EQ(text.find_first_of("`~"), std::string::npos) << n;
    EXPECT_NE(text.find("say \"yes\" now \"ok\""), std::string::npos) << text;
    ed.rtxtQuestion.setSelStart(0);
    ed.rtxtQuestion.setSelLength(ed.rtxtQuestion.TextLength());
    EXPECT_EQ(ed.rtxtQuestion.SelFontName().toStdString(), "Verdana") << n;
    EXPECT_EQ(ed.rtxtQuestion.SelFontSize(), std::optional<double>(11)) << n;
  }
  EXPECT_EQ(field("SCtbl", "01301", "questionHeight").toDouble(), 2.0);  // other pools untouched
}

TEST_F(SCEditor, AnEmptyTableLeavesEverythingInactive) {
  FormSCEdit& ed = open<FormSCEdit>();
  EXPECT_EQ(ed.cmbPool.ListCount(), 0);
  EXPECT_EQ(ed.lstQuestion.ListCount(), 0);
  EXPECT_FALSE(ed.cmdSave.isEnabled());
  EXPECT_FALSE(ed.cmdReset.isEnabled());
  EXPECT_FALSE(ed.cmdGo->isEnabled());
  EXPECT_FALSE(ed.FrameVH.isEnabled());
  ed.cmdSave_Click();  // nothing to save, no error
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(count("select count(*) as n from SCtbl"), 0);
}

TEST_P(SCEditorStore, AQuestionRemovedElsewhereShowsEmptyAndSavesNothing) {
  add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"choiceA", "a"}});
  add("SCtbl", {{"numQ", "01202"}, {"src", "X012"}});
  FormSCEdit& ed = open<FormSCEdit>();
  state->pConn().execute("delete from SCtbl where numQ = '01202'");
  ed.lstQuestion.setListIndex(1);
  EXPECT_EQ(ed.txtAnswer[0].Text(), "");
  EXPECT_EQ(ed.rtxtQuestion.Height(), 615);
  ed.txtAnswer[0].setText("lost");
  ed.cmdSave.Press();
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(count("select count(*) as n from SCtbl"), 1);
}

using CREditor = EditorTest;

TEST_F(CREditor, AKindCannotPlaceAControlItDoesNotHave) {
  editor::EditorKind kind = kinds::crKind();
  kind.places.push_back({editor::Shared::cmdCopy2, {0, 0, 100, 100}});  // CR updates no answer keys
  EXPECT_THROW(editor::QuestionEditor(kind, *state, formInit, kinds::plainChoices), std::logic_error);
}

TEST_F(CREditor, DiffersWhereTheKindDoes) {
  add("CRtbl", {{"numQ", "02001"}, {"src", "X020"}, {"questionHeight", 0.0}});
  add("CRtbl", {{"numQ", "02002"}, {"src", "X020"}});
  FormCREdit& ed = open<FormCREdit>();
  EXPECT_EQ(ed.Caption(), "ZORBEX CR Editor");
  EXPECT_EQ(ed.lblTitle.Caption(), "Verbal CR Editor");
  EXPECT_FALSE(ed.chkAutoSave);
  EXPECT_FALSE(ed.cmdUnderLine);
  EXPECT_FALSE(ed.cmdCopy2);
  EXPECT_EQ(ed.txtOG12.Text(), "O120");
  EXPECT_EQ(ed.rtxtQuestion.Height(), 1965);
  EXPECT_EQ(ed.imgClick[0].Top(), 3615);
  // Focusing a choice selects "Height" and disables "Width"; the question box enables it.
  ed.OptHW[1].setValue(true);
  ed.imgClick[1].Press();
  EXPECT_TRUE(ed.OptHW[0].Value());
  EXPECT_FALSE(ed.OptHW[1].isEnabled());
  EXPECT_EQ(ed.SliderVH.Max(), 500);
  EXPECT_EQ(ed.SliderVH.TickFrequency(), 25);
  ed.rtxtQuestion_Click();
  EXPECT_TRUE(ed.OptHW[1].isEnabled());
  // Edits dropped on moving; Reset then Save stores width 12 and zero heights.
  ed.txtAnswer[0].setText("dropped");
  dialogs.queueAnswer(ui::MsgResult::No);
  ed.lstQuestion.setListIndex(1);
  EXPECT_TRUE(field("CRtbl", "02001", "choiceA").isNull());
  ed.cmdReset.Press();
  ed.cmdSave.Press();
  EXPECT_EQ(field("CRtbl", "02002", "questionWidth").toDouble(), 12.0);
  EXPECT_EQ(field("CRtbl", "02002", "questionHeight").toDouble(), 0.0);
  EXPECT_EQ(field("CRtbl", "02002", "choiceEHeight").toDouble(), 0.0);
}

}  // namespace

namespace {

// "Show this question at this field": chosen in the lists whatever the pool name's case,
// the range selected in the field's own box; a question the lists lack is refused.
TEST_F(SCEditor, ShowAtChoosesTheQuestionAndSelectsTheRangeInTheFieldsBox) {
  addPool("X012", 1, 3);
  FormSCEdit& ed = open<FormSCEdit>();
  ed.showAt("x012", "01203", "choiceA", editor::TextRange{2, 2});
  EXPECT_EQ(state->currentQNumber, "01203");
  EXPECT_EQ(ed.txtAnswer[0].textCursor().selectedText().toStdString(), "of");
  EXPECT_THROW(ed.showAt("X012", "01299", "question", std::nullopt), store::DbError);
  EXPECT_EQ(state->currentQNumber, "01203");
}

}  // namespace
