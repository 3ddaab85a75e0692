#include "form_ds_edit.h"

#include "choice_kinds.h"
#include "text_conversions.h"

namespace kinds {

using namespace editor;
using bank::schema::SizeOf;

namespace {

KindGeometry dsGeometry() {
  KindGeometry g;
  g.stacking = Stacking::Statements;
  g.twipsPerUnit = 540;
  g.question = {480, 1320, 14415, 270};
  g.statements = {Rect{1320, 2040, 13575, 270}, Rect{1320, 2640, 13575, 270}};
  g.stateLabels = {Rect{735, 2040, 360, 270}, Rect{735, 2640, 360, 270}};
  g.firstChoice = {840, 3800, 14160, 270};
  g.firstMarker = {480, 3840, 165, 165};
  return g;
}

std::unique_ptr<ChoicesPanel> fixedChoices(QWidget* parent) {
  return std::make_unique<FixedChoices>(parent, bank::schema::kDataSufficiencyChoices);
}

}  // namespace

const EditorKind& dsKind() {
  static const EditorKind k{
      .kind = bank::schema::Kind::DS,
      .caption = "ZORBEX DS Editor",
      .title = "Math DS Editor",
      .editionPool = "O130",
      .layout = dsGeometry(),
      .sizeTargets = {{"0", SizeOf::QuestionHeight, SizeOf::QuestionWidth},
                      {"1", SizeOf::StatementHeight1, SizeOf::StatementWidth},
                      {"2", SizeOf::StatementHeight2, SizeOf::StatementWidth}},
      .heightSliderMax = 740,
      .heightSliderTick = 15,
      .widthSliderMax = 160,
      .widthSliderTick = 10,
      .reset = {{SizeOf::QuestionWidth, 0},
                {SizeOf::QuestionHeight, 0},
                {SizeOf::StatementHeight1, 0},
                {SizeOf::StatementHeight2, 0}},
      .places = {{Shared::lblTitle, {480, 660, 6000, 540}},
                 {Shared::cmdOGcreate, {480, 120, 960, 375}},
                 {Shared::txtOG12, {1560, 240, 900, 330}},
                 {Shared::cmdGo, {6480, 120, 855, 375}},
                 {Shared::cmdCopy, {7440, 120, 975, 375}},
                 {Shared::cmdCopy2, {8520, 120, 975, 375}}},
      .has = {.underline = false, .font = false},
      .height = 11250,
  };
  return k;
}

// ---- statements

StatementsPanel::StatementsPanel(QWidget* parent) : lblState1(parent, "(1)"), lblState2(parent, "(2)") {
  for (int i = 0; i < 2; ++i) {
    auto* box = new ui::RichTextBox(parent);
    box->setObjectName(QStringLiteral("rtxtState%1").arg(i));
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rtxtState.add(box);
    auto* check = new ui::CheckBox(parent, i == 0 ? "" : "Position", i);
    check->setObjectName(QStringLiteral("chkStatePos%1").arg(i));
    chkStatePos.add(check);
  }
  for (ui::Label* l : {&lblState1, &lblState2}) l->setFont(QFont("Verdana"));
}

void StatementsPanel::load(const Record& r) {
  rtxtState[0].setTextRTF(QByteArray::fromStdString(r.at("statement1").toString()));
  rtxtState[1].setTextRTF(QByteArray::fromStdString(r.at("statement2").toString()));
  chkStatePos[0].setValue(r.at("statePosition1").toDouble() != 0 ? 1 : 0);
  chkStatePos[1].setValue(r.at("statePosition2").toDouble() != 0 ? 1 : 0);
}

void StatementsPanel::clear() {
  for (int i = 0; i < 2; ++i) {
    rtxtState[i].setTextRTF(QByteArray());
    chkStatePos[i].setValue(0);
  }
}

void StatementsPanel::saveContent(Record& r) const {
  r["statement1"] = rtxtState[0].TextRTF().toStdString();
  r["statement2"] = rtxtState[1].TextRTF().toStdString();
}

QWidget* StatementsPanel::boxOf(const std::string& field) {
  if (field == "statement1") return &rtxtState[0];
  if (field == "statement2") return &rtxtState[1];
  return nullptr;
}

void StatementsPanel::saveLayout(Record& r) const {
  r["statePosition1"] = chkStatePos[0].Value();
  r["statePosition2"] = chkStatePos[1].Value();
}

void StatementsPanel::setBorder(bool on) {
  for (int i = 0; i < 2; ++i) rtxtState[i].setBorder(on);
}

void StatementsPanel::place(const Arrangement& a) {
  ui::Label* labels[] = {&lblState1, &lblState2};
  for (int i = 0; i < 2; ++i) {
    const Rect& s = a.statements[static_cast<size_t>(i)];
    rtxtState[i].Move(s.left, s.top, s.width, s.height);
    rtxtState[i].Refresh();  // drawn again at its new place
    const Rect& l = a.stateLabels[static_cast<size_t>(i)];
    labels[i]->Move(l.left, l.top, l.width, l.height);
  }
}

void StatementsPanel::setDefaultFont() {
  for (int i = 0; i < 2; ++i) editor::setDefaultFont(rtxtState[i]);
}

// ---- window

FormDSEdit::FormDSEdit(bank::ProgramState& state, ui::Form& formInit)
    : QuestionEditor(dsKind(), state, formInit, fixedChoices),
      txtAnswer(static_cast<PlainChoices&>(choices()).txtAnswer),
      statements(this),
      rtxtState(statements.rtxtState),
      chkStatePos(statements.chkStatePos),
      cmdQfont(this, "Q Font"),
      cmdSFont(this, "S Font") {
  cmdQfont.setObjectName("cmdQfont");
  cmdSFont.setObjectName("cmdSFont");
  cmdQfont.Click = [this] { cmdQfont_Click(); };
  cmdSFont.Click = [this] { cmdSFont_Click(); };
  rtxtState.Click = [this](int i) { rtxtState_Click(i); };
  chkStatePos.Click = [this](int i) { chkStatePos_Click(i); };
  addPanel(statements);
  needsQuestion(cmdQfont);
  needsQuestion(cmdSFont);
  adoptControls();
  place(cmdQfont, {4560, 120, 855, 375});
  place(cmdSFont, {5520, 120, 855, 375});
  place(chkStatePos[0], {6840, 10560, 255, 300});
  place(chkStatePos[1], {7200, 10560, 1095, 300});
  ArrangeControls();
}

// A marker shows which answer is pointed at; it gives the value box nothing to size.
void FormDSEdit::imgClick_Click(int index) {
  if (!questionShown()) return;
  choices().markChoice(index);
  pFocus.clear();
}

void FormDSEdit::rtxtState_Click(int index) {
  if (!questionShown()) return;
  focusElement(std::to_string(index + 1));
}

void FormDSEdit::chkStatePos_Click(int index) {
  (index == 0 ? flgStatePos1 : flgStatePos2) = chkStatePos[index].Value() == 1;
  ArrangeControls();
}

void FormDSEdit::cmdSFont_Click() {
  for (int i = 0; i < 2; ++i) toggleFont(rtxtState[i], "CBT", "Verdana");
}

void FormDSEdit::convertLoadedQuestion() {
  SetDefaultFont();
  cmdReset_Click();
  SaveLayout();
  SaveQuestion();
}

}  // namespace kinds
