#include "form_rc_edit.h"

#include "choice_kinds.h"
#include "text_conversions.h"

namespace kinds {

using namespace editor;

namespace {

KindGeometry rcGeometry() {
  KindGeometry g;
  g.stacking = Stacking::MarkersFirst;
  g.choiceFactor = 1.05;
  g.question = {7800, 1200, 7200, 540};
  g.firstChoice = {8280, 0, 6735, 537};
  g.firstMarker = {7920, 0, 165, 165};
  return g;
}

}  // namespace

const EditorKind& rcKind() {
  static const EditorKind k{
      .kind = bank::schema::Kind::RC,
      .caption = "ZORBEX RC Editor",
      .title = "Verbal RC Editor",
      .editionPool = "O120",
      .layout = rcGeometry(),
      .sizeTargets = sharedWidthTargets(),  // widths are held but neither drawn nor stored
      .heightSliderMax = 300,
      .heightSliderTick = 15,
      .widthSliderMax = 200,
      .widthSliderTick = 10,
      .reset = resetAllTo(0),
      .places = {{Shared::lblTitle, {240, 540, 4200, 480}},
                 {Shared::cmdOGcreate, {480, 120, 960, 375}},
                 {Shared::txtOG12, {1560, 120, 900, 330}},
                 {Shared::cmdFont, {4560, 120, 735, 375}},
                 {Shared::cmdCopy, {8880, 120, 975, 375}},
                 {Shared::FrameVH, {240, 10560, 5880, 660}},
                 {Shared::OptHW0, {120, 300, 1000, 300}},
                 {Shared::OptHW1, {1140, 300, 1000, 300}},
                 {Shared::txtValue, {2220, 285, 800, 330}},
                 {Shared::SliderVH, {3120, 255, 1500, 390}},
                 {Shared::chkBorder, {4740, 315, 270, 270}},
                 {Shared::lblBorder, {5040, 315, 780, 270}},
                 {Shared::cmdSave, {11460, 10560, 1140, 420}},
                 {Shared::cmdReset, {12720, 10560, 1140, 420}}},
      .has = {.autoSave = false, .go = false, .underline = false, .poolEditing = false},
      .height = 11250,
  };
  return k;
}

// ---- passage

PassagePanel::PassagePanel(QWidget* parent)
    : rtxtPassage(parent), txtPasgNum(parent), Label1(parent, "Passage ID"), txtNumQ(parent), Label2(parent, "# of Questions") {
  rtxtPassage.setObjectName("rtxtPassage");
  txtPasgNum.setObjectName("txtPasgNum");
  Label1.setObjectName("Label1");
  txtNumQ.setObjectName("txtNumQ");
  Label2.setObjectName("Label2");
  txtNumQ.setText("1");
  txtNumQ.setReadOnly(true);  // typed edits would never be stored
}

void PassagePanel::load(const Record& r) {
  rtxtPassage.setTextRTF(QByteArray::fromStdString(r.at("reading").toString()));
  const std::string id = r.at("passageNum").toString();
  txtPasgNum.setText(id.empty() ? "1" : id);
  const std::string count = r.at("Qnumber").toString();
  txtNumQ.setText(count.empty() ? "00000" : count);
}

void PassagePanel::clear() {
  rtxtPassage.setTextRTF(QByteArray());
  txtPasgNum.setText("1");
  txtNumQ.setText("00000");
}

void PassagePanel::saveContent(Record& r) const {
  r["reading"] = rtxtPassage.TextRTF().toStdString();
  r["passageNum"] = txtPasgNum.Text();
}

// ---- window

FormRCEdit::FormRCEdit(bank::ProgramState& state, ui::Form& formInit)
    : QuestionEditor(rcKind(), state, formInit, plainChoices),
      txtAnswer(static_cast<PlainChoices&>(choices()).txtAnswer),
      passage(this),
      rtxtPassage(passage.rtxtPassage),
      txtPasgNum(passage.txtPasgNum),
      txtNumQ(passage.txtNumQ),
      cmdPsgFont(this, "Reset Passage"),
      cmdPsgFont2(this, "Passage Font") {
  cmdPsgFont.setObjectName("cmdPsgFont");
  cmdPsgFont2.setObjectName("cmdPsgFont2");
  cmdPsgFont.Click = [this] { cmdPsgFont_Click(); };
  cmdPsgFont2.Click = [this] { cmdPsgFont2_Click(); };
  addPanel(passage);
  needsQuestion(cmdPsgFont);
  needsQuestion(cmdPsgFont2);
  adoptControls();
  place(cmdPsgFont, {5400, 120, 1695, 375});
  place(cmdPsgFont2, {7200, 120, 1575, 375});
  place(rtxtPassage, {240, 1050, 7050, 9405});
  // The captions need more room than their design-time boxes in the fonts the window is
  // drawn with.
  place(passage.Label1, {6240, 10680, 1500, 255});
  place(txtPasgNum, {7800, 10680, 975, 270});
  place(passage.Label2, {9000, 10680, 1500, 255});
  place(txtNumQ, {10560, 10680, 750, 270});
}

void FormRCEdit::InitEditLists() {
  QuestionEditor::InitEditLists();
  for (const char* mode : {"import Pool", "export Pool"}) cmbEdit.AddItem(mode);
}

void FormRCEdit::cmdPsgFont_Click() { resetPassage(rtxtPassage); }

void FormRCEdit::cmdPsgFont2_Click() { toggleFont(rtxtPassage, "Verdana", "CBT"); }

}  // namespace kinds
