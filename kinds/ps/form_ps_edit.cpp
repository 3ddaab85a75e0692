#include "form_ps_edit.h"

#include "choice_kinds.h"
#include "text_conversions.h"

namespace kinds {

using namespace editor;

namespace {

KindGeometry psGeometry() {
  KindGeometry g;
  g.stacking = Stacking::BoxesFirst;
  g.question = {480, 1320, 14300, 615};
  g.firstChoice = {960, 2280, 13695, 270};
  g.firstMarker = {600, 2280, 165, 165};
  return g;
}

}  // namespace

const EditorKind& psKind() {
  static const EditorKind k{
      .kind = bank::schema::Kind::PS,
      .caption = "ZORBEX PS Editor",
      .title = "Math PS Editor",
      .editionPool = "O130",
      .layout = psGeometry(),
      .sizeTargets = sharedWidthTargets(),
      .heightSliderMax = 740,
      .heightSliderTick = 15,
      .widthSliderMax = 160,
      .widthSliderTick = 10,
      .reset = resetAllTo(0),
      .places = {{Shared::lblTitle, {480, 660, 6000, 540}},
                 {Shared::cmdOGcreate, {480, 120, 960, 375}},
                 {Shared::txtOG12, {1560, 240, 900, 330}},
                 {Shared::cmdFont, {5520, 120, 855, 375}},
                 {Shared::cmdGo, {6480, 120, 855, 375}},
                 {Shared::cmdCopy, {7440, 120, 975, 375}},
                 {Shared::cmdCopy2, {8520, 120, 975, 375}}},
      .has = {.underline = false},
      .height = 11250,
  };
  return k;
}

// ---- "Arrange"

ArrangeFlag::ArrangeFlag(QWidget* parent) : chkArrange(parent, "Arrange") { chkArrange.setObjectName("chkArrange"); }

void ArrangeFlag::load(const Record& r) { chkArrange.setValue(r.at("choiceArrange").toDouble() != 0 ? 1 : 0); }

void ArrangeFlag::clear() { chkArrange.setValue(0); }

void ArrangeFlag::saveLayout(Record& r) const { r["choiceArrange"] = chkArrange.Value(); }

// ---- window

FormPSEdit::FormPSEdit(bank::ProgramState& state, ui::Form& formInit)
    : QuestionEditor(psKind(), state, formInit, richChoices),
      rtxtAnswer(static_cast<RichChoices&>(choices()).rtxtAnswer),
      arrangeFlag(this),
      chkArrange(arrangeFlag.chkArrange),
      cmdQfont(this, "Q Font"),
      cmdFixnumQ(this, "Fix numQ") {
  cmdFont->setCaption("C Font");
  cmdQfont.setObjectName("cmdQfont");
  cmdFixnumQ.setObjectName("cmdFixnumQ");
  cmdQfont.Click = [this] { cmdQfont_Click(); };
  chkArrange.Click = [this](int) { chkArrange_Click(); };
  cmdFixnumQ.Click = [this] { cmdFixnumQ_Click(); };
  addPanel(arrangeFlag);
  needsQuestion(cmdQfont);
  adoptControls();
  place(cmdQfont, {4560, 120, 855, 375});
  place(cmdFixnumQ, {15960, 8700, 1200, 420});
  place(chkArrange, {6840, 10500, 1215, 300});
}

void FormPSEdit::cmdFont_Click() {
  for (int i = 0; i < 5; ++i) toggleFont(rtxtAnswer[i], "CBT", "Verdana");
}

void FormPSEdit::choiceBox_Click(int index) {
  imgClick_Click(index);
  if (questionShown()) ShowSizeValue();
}

void FormPSEdit::convertLoadedQuestion() {
  SetDefaultFont();
  ReplaceSpecialChars();
  SaveQuestion();
  cmdReset_Click();
  SaveLayout();
}

}  // namespace kinds
