#include "question_editor.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "controls/events.h"
#include "quote.h"
#include "recordset.h"
#include "text_conversions.h"

namespace editor {

using store::Value;

namespace {

const char* const kLetters[] = {"A", "B", "C", "D", "E"};

// A size as the value box shows it: a single-precision number with up to seven digits.
std::string singleText(float v) { return QString::number(static_cast<double>(v), 'g', 7).toStdString(); }
std::string numberText(double v) { return QString::number(v, 'g', 15).toStdString(); }

// The value box holds a number in the user's format or in the plain one; anything else
// (letters, an empty box) is not a size.
std::optional<double> sizeFromText(const std::string& text) {
  const QString t = QString::fromStdString(text).trimmed();
  bool ok = false;
  double v = QLocale::system().toDouble(t, &ok);
  if (!ok) v = QLocale::c().toDouble(t, &ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

int sliderPosition(double value, double scale, int max) {
  long v = std::lround(value * scale);
  return static_cast<int>(std::clamp<long>(v, 0, max));
}

bool isSizeField(const FieldSpec& f) {
  return f.write == FieldWrite::Layout && (f.type == FieldType::Size || f.type == FieldType::Single);
}

}  // namespace

const std::vector<ControlPlace>& sharedPlaces() {
  // The column right of the question box, from x = 15120 to 18840.
  static const std::vector<ControlPlace> places = {
      {"lblTitle", {480, 300, 9000, 600}},
      {"lblPool", {15120, 240, 1800, 255}},
      {"cmbPool", {15120, 510, 1680, 330}},
      {"lblQuestion", {16980, 240, 1860, 255}},
      {"lstQuestion", {16980, 510, 1860, 2790}},
      {"lblAnswer", {15120, 1020, 1200, 255}},
      {"cmbAnswer", {15120, 1290, 1200, 330}},
      {"FrameVH", {15120, 3450, 3720, 1530}},
      {"OptHW0", {180, 330, 1200, 300}},
      {"OptHW1", {1500, 330, 1200, 300}},
      {"txtValue", {180, 720, 900, 330}},
      {"SliderVH", {1200, 690, 2340, 420}},
      {"chkBorder", {180, 1140, 270, 270}},
      {"lblBorder", {480, 1140, 1200, 270}},
      {"cmdSave", {15120, 5100, 1140, 420}},
      {"cmdReset", {16380, 5100, 1140, 420}},
      {"chkAutoSave", {15120, 5655, 270, 270}},
      {"lblAutoSave", {15420, 5655, 1320, 270}},
      {"cmdFont", {15120, 6060, 1140, 420}},
      {"cmdUnderLine", {16410, 6060, 1140, 420}},
      {"cmdGo", {17700, 6060, 1140, 420}},
      {"FrameEdit", {15120, 6600, 3720, 2340}},
      {"cmbEdit", {180, 330, 2160, 330}},
      {"cmdEditSubmit", {2460, 300, 1140, 390}},
      {"lblPoolName", {180, 810, 1500, 255}},
      {"txtPoolName", {180, 1080, 480, 330}},
      {"cmbPoolName", {780, 1080, 1200, 330}},
      {"lblQuestionNumber", {2460, 810, 1140, 255}},
      {"txtQNumber", {2460, 1080, 720, 330}},
      {"PgrBar", {180, 1560, 3360, 240}},
      {"lblProgress", {180, 1860, 3360, 255}},
      {"cmdOGcreate", {15120, 9060, 780, 420}},
      {"txtOG12", {16020, 9105, 900, 330}},
      {"cmdCopy", {17040, 9060, 840, 420}},
      {"cmdCopy2", {18000, 9060, 840, 420}},
      {"cmdDuplicateCheck", {15120, 9600, 780, 420}},
  };
  return places;
}

QuestionEditor::QuestionEditor(const EditorKind& kind, store::ProgramState& state, ui::Form& formInit,
                               ChoicesFactory choices)
    : choices_(choices(this)),
      lblTitle(this, kind.title),
      rtxtQuestion(this),
      imgClick(choices_->imgClick),
      lblAnswer(this, "Answer"),
      cmbAnswer(this),
      lblPool(this, "Question Pool"),
      cmbPool(this),
      lblQuestion(this, "Question Number"),
      lstQuestion(this),
      FrameVH(this, "Edit Hieght / Width"),
      txtValue(&FrameVH),
      SliderVH(&FrameVH),
      chkBorder(&FrameVH, ""),
      lblBorder(&FrameVH, "Border"),
      cmdSave(this, "Save"),
      cmdReset(this, "Reset"),
      chkAutoSave(this, ""),
      lblAutoSave(this, "Auto Save"),
      cmdFont(this, "Font"),
      cmdUnderLine(this, "Underline"),
      cmdGo(this, "GO"),
      FrameEdit(this, "Edit"),
      cmbEdit(&FrameEdit),
      cmdEditSubmit(&FrameEdit, "Submit"),
      lblPoolName(&FrameEdit, "Pool Name"),
      txtPoolName(&FrameEdit),
      cmbPoolName(&FrameEdit),
      lblQuestionNumber(&FrameEdit, "Number"),
      txtQNumber(&FrameEdit),
      PgrBar(&FrameEdit),
      lblProgress(&FrameEdit, "Updating pool name list"),
      cmdOGcreate(this, "OG"),
      txtOG12(this),
      cmdCopy(this, "COPY"),
      cmdCopy2(this, "COPY2"),
      cmdDuplicateCheck(this, "dbl"),
      TimerInit(this),
      kind_(kind),
      state_(state),
      formInit_(formInit),
      poolEditing_(pools::EditFrameControls{*this, cmbEdit, txtPoolName, lblPoolName, cmbPoolName, txtQNumber,
                                            lblQuestionNumber, PgrBar, lblProgress, cmbPool},
                   pools::EditFrameHost{[this] { FillPoolList(); }, [this] { FillQuestionList(); }}, state,
                   kind.record.table) {
  panels_.push_back(choices_.get());
  buildControls();
}

QuestionEditor::~QuestionEditor() = default;

void QuestionEditor::placeControls(const std::vector<ControlPlace>& places) {
  for (const ControlPlace& p : places) {
    auto* w = findChild<QWidget*>(QString::fromLatin1(p.name));
    if (auto* control = dynamic_cast<ui::Placeable*>(w))
      control->Move(p.place.left, p.place.top, p.place.width, p.place.height);
  }
}

void QuestionEditor::notAvailable(QWidget& w) {
  w.setEnabled(false);
  w.setToolTip("Not available in this version");
}

void QuestionEditor::buildControls() {
  setCaption(kind_.caption);
  setWidth(kEditorWidth);
  setHeight(kEditorHeight);
  setDeleteOnUnload(true);

  // Names by which the geometry tables (and tests) find the controls.
  const std::pair<QWidget*, const char*> named[] = {
      {&lblTitle, "lblTitle"},       {&rtxtQuestion, "rtxtQuestion"}, {&lblAnswer, "lblAnswer"},
      {&cmbAnswer, "cmbAnswer"},     {&lblPool, "lblPool"},           {&cmbPool, "cmbPool"},
      {&lblQuestion, "lblQuestion"}, {&lstQuestion, "lstQuestion"},   {&FrameVH, "FrameVH"},
      {&txtValue, "txtValue"},       {&SliderVH, "SliderVH"},         {&chkBorder, "chkBorder"},
      {&lblBorder, "lblBorder"},     {&cmdSave, "cmdSave"},           {&cmdReset, "cmdReset"},
      {&chkAutoSave, "chkAutoSave"}, {&lblAutoSave, "lblAutoSave"},   {&cmdFont, "cmdFont"},
      {&cmdUnderLine, "cmdUnderLine"}, {&cmdGo, "cmdGo"},             {&FrameEdit, "FrameEdit"},
      {&cmbEdit, "cmbEdit"},         {&cmdEditSubmit, "cmdEditSubmit"}, {&lblPoolName, "lblPoolName"},
      {&txtPoolName, "txtPoolName"}, {&cmbPoolName, "cmbPoolName"},   {&lblQuestionNumber, "lblQuestionNumber"},
      {&txtQNumber, "txtQNumber"},   {&PgrBar, "PgrBar"},             {&lblProgress, "lblProgress"},
      {&cmdOGcreate, "cmdOGcreate"}, {&txtOG12, "txtOG12"},           {&cmdCopy, "cmdCopy"},
      {&cmdCopy2, "cmdCopy2"},       {&cmdDuplicateCheck, "cmdDuplicateCheck"},
  };
  for (auto [w, name] : named) w->setObjectName(QString::fromLatin1(name));

  QFont titleFont = lblTitle.font();
  titleFont.setPointSize(16);
  titleFont.setBold(true);
  lblTitle.setFont(titleFont);

  const Rect& q = kind_.layout.question;
  rtxtQuestion.Move(q.left, q.top, q.width, q.height);
  rtxtQuestion.Click = [this] { rtxtQuestion_Click(); };
  imgClick.Click = [this](int i) { imgClick_Click(i); };
  choices_->BoxClick = [this](int i) { choiceBox_Click(i); };

  cmbPool.Click = [this] { cmbPool_Click(); };
  lstQuestion.Click = [this] { lstQuestion_Click(); };

  for (int i = 0; i < 2; ++i) {
    auto& opt = OptHW.add(new ui::OptionButton(&FrameVH, i == 0 ? "Height" : "Width", i));
    opt.setObjectName(QStringLiteral("OptHW%1").arg(i));
  }
  OptHW.Click = [this](int i) { OptHW_Click(i); };
  txtValue.setText("0");
  txtValue.Change = [this] { txtValue_Change(); };
  txtValue.LostFocus = [this] { txtValue_LostFocus(); };
  SliderVH.setMin(0);
  SliderVH.setMax(200);
  SliderVH.setTickFrequency(10);
  SliderVH.setTickPosition(QSlider::TicksBelow);
  SliderVH.Scroll = [this] { SliderVH_Scroll(); };
  chkBorder.Click = [this](int) { chkBorder_Click(); };

  cmdSave.Click = [this] { cmdSave_Click(); };
  cmdReset.Click = [this] { cmdReset_Click(); };
  chkAutoSave.Click = [this](int) { chkAutoSave_Click(); };
  cmdFont.Click = [this] { cmdFont_Click(); };
  cmdUnderLine.Click = [this] { cmdUnderLine_Click(); };
  cmdGo.Click = [this] { cmdGo_Click(); };

  cmbEdit.Click = [this] { cmbEdit_Click(); };
  cmdEditSubmit.Click = [this] { cmdEditSubmit_Click(); };
  txtPoolName.setMaxLength(1);
  txtPoolName.setText("X");
  txtQNumber.setMaxLength(2);
  txtQNumber.setText("0");

  // Edition pools, edition copy and the duplicate check are maintenance work of their own;
  // their buttons stand here, inactive until that work is part of the editor.
  txtOG12.setText(kind_.editionPool);
  for (QWidget* w : std::initializer_list<QWidget*>{&cmdOGcreate, &txtOG12, &cmdCopy, &cmdCopy2, &cmdDuplicateCheck})
    notAvailable(*w);

  placeControls(sharedPlaces());
  placeControls(kind_.places);
  for (const char* name : kind_.absent)
    if (auto* w = findChild<QWidget*>(QString::fromLatin1(name))) w->setVisible(false);

  for (QWidget* w : std::initializer_list<QWidget*>{&cmdReset, &cmdGo, &cmdFont, &cmdUnderLine, &FrameVH})
    needsQuestion(*w);

  TimerInit.setInterval(0);
  TimerInit.Tick = [this] { TimerInit_Timer(); };
  chkBorder_Click();
}

// ---- Window life ----

void QuestionEditor::Form_Load() {
  ClearChoiceMarks();
  InitEditLists();
  FillPoolList();
  FillQuestionList();
  OptHW[0].setValue(true);
  pFocus = "0";
  updateActiveState();
}

void QuestionEditor::Form_Activate() {
  cmbEdit_Click();
  PgrBar.setVisible(false);
  lblProgress.setVisible(false);
}

void QuestionEditor::Form_Unload() {
  if (autoSaveOn()) SaveQuestion();
  formInit_.Show();
}

// ---- Loading and arranging ----

void QuestionEditor::showEmptyQuestion() {
  rtxtQuestion.setTextRTF(QByteArray());
  for (Panel* p : panels_) p->clear();
  cmbAnswer.setListIndex(0);
  static_cast<LayoutValues&>(*this) = LayoutValues();
  ArrangeControls();
}

void QuestionEditor::LoadQuestion() {
  const std::optional<Record> r = readRecord(state_.pConn(), kind_.record, state_.currentQNumber);
  if (!r) {  // removed elsewhere since the list was filled
    showEmptyQuestion();
    return;
  }
  rtxtQuestion.setTextRTF(QByteArray::fromStdString(r->at("question").toString()));
  for (Panel* p : panels_) p->load(*r);
  const std::string answer = r->at("answer").toString();
  int item = 0;
  for (int i = 0; i < 5; ++i)
    if (answer == kLetters[i]) item = i;
  cmbAnswer.setListIndex(item);
  cmbAnswer.Refresh();
  for (const FieldSpec& f : kind_.record.fields)
    if (isSizeField(f))
      if (Value* v = byField(f.name)) *v = r->at(f.name);
  ArrangeControls();
}

void QuestionEditor::ArrangeControls() {
  // Stored sizes that no window can draw are drawn at their defaults; the values stay as
  // stored.
  const Arrangement a = arrange(kind_.layout, drawableValues(kind_.layout, *this));
  // Each box gets its place in one move: a rich-text box lays its text out again on every
  // change of its size.
  rtxtQuestion.Move(a.question.left, a.question.top, a.question.width, a.question.height);
  for (Panel* p : panels_) p->place(a);
  rtxtQuestion.Refresh();
}

// ---- Navigation ----

void QuestionEditor::FillPoolList() {
  cmbPool.setEnabled(true);
  cmbPool.Clear();
  store::Recordset rs;
  rs.open(std::string("select distinct src from ") + kind_.record.table + " order by src;", state_.pConn(),
          store::adOpenDynamic, store::adLockReadOnly);
  while (!rs.eof()) {
    cmbPool.AddItem(rs.value("src").toString());
    rs.moveNext();
  }
  rs.close();
  if (cmbPool.ListCount() > 0) {
    cmbPool.setListIndex(0);
  } else {  // an empty table: nothing to show until a pool is added
    lstQuestion.Clear();
    state_.currentPool.clear();
    state_.currentQNumber.clear();
    showEmptyQuestion();
    updateActiveState();
  }
  cmbPool.Refresh();
}

void QuestionEditor::cmbPool_Click() {
  if (autoSaveOn()) SaveQuestion();
  FillQuestionList();
}

void QuestionEditor::FillQuestionList() {
  if (cmbPool.ListIndex() < 0) {
    lstQuestion.Clear();
    state_.currentPool.clear();
    state_.currentQNumber.clear();
    showEmptyQuestion();
    updateActiveState();
    return;
  }
  state_.currentPool = cmbPool.Text();
  store::Recordset rs;
  rs.open(std::string("select distinct numQ from ") + kind_.record.table + " where src='" +
              store::sqlText(state_.currentPool) + "' order by numQ;",
          state_.pConn(), store::adOpenDynamic, store::adLockReadOnly);
  lstQuestion.Clear();
  while (!rs.eof()) {
    lstQuestion.AddItem(rs.value("numQ").toString());
    rs.moveNext();
  }
  if (lstQuestion.ListCount() > 0) {
    lstQuestion.setListIndex(0);
  } else {  // the pool emptied under the window
    state_.currentQNumber.clear();
    showEmptyQuestion();
    updateActiveState();
  }
  lstQuestion.Refresh();
  rs.close();
}

void QuestionEditor::lstQuestion_Click() {
  if (autoSaveOn()) SaveQuestion();
  state_.currentQNumber = lstQuestion.Text();
  ClearChoiceMarks();
  LoadQuestion();
  updateActiveState();
}

// ---- Layout editing ----

const SizeTarget* QuestionEditor::focusedTarget() const {
  for (const SizeTarget& t : kind_.sizeTargets)
    if (pFocus == t.focus) return &t;
  return nullptr;
}

void QuestionEditor::rtxtQuestion_Click() {
  if (!questionShown()) return;
  // The focus moves before the value box shows the stem's size, so that showing it writes
  // into the stem's variables and not into those of the element focused before.
  focusElement("0");
  ClearChoiceMarks();
}

void QuestionEditor::imgClick_Click(int index) {
  if (!questionShown()) return;
  choices_->markChoice(index);
  focusElement(std::to_string(index + 1));
}

void QuestionEditor::focusElement(const std::string& focus) {
  pFocus = focus;
  const SizeTarget* t = focusedTarget();
  bufWidth = t && t->width ? byField(t->width)->toDouble() : 0;
  bufHeight = t && t->height ? static_cast<float>(byField(t->height)->toDouble()) : 0;
  ShowSizeValue();
}

void QuestionEditor::ShowSizeValue() {
  if (OptHW[0].Value()) {
    txtValue.setText(singleText(bufHeight));
    SliderVH.setMax(kind_.heightSliderMax);
    SliderVH.setTickFrequency(kind_.heightSliderTick);
    SliderVH.setValue(sliderPosition(bufHeight, 100, kind_.heightSliderMax));
  } else if (OptHW[1].Value()) {
    txtValue.setText(numberText(bufWidth));
    SliderVH.setMax(kind_.widthSliderMax);
    SliderVH.setTickFrequency(kind_.widthSliderTick);
    SliderVH.setValue(sliderPosition(bufWidth, 10, kind_.widthSliderMax));
  }
}

void QuestionEditor::SliderVH_Scroll() {
  if (OptHW[0].Value())
    txtValue.setText(numberText(SliderVH.Value() / 100.0));
  else if (OptHW[1].Value())
    txtValue.setText(numberText(SliderVH.Value() / 10.0));
}

const char* QuestionEditor::sizeTargetField() const {
  const SizeTarget* t = focusedTarget();
  if (!t) return nullptr;
  return OptHW[0].Value() ? t->height : OptHW[1].Value() ? t->width : nullptr;
}

void QuestionEditor::txtValue_Change() {
  const char* field = sizeTargetField();
  const std::optional<double> size = sizeFromText(txtValue.Text());
  if (questionShown() && field && size && *size >= 0) {
    // A size is applied only when the boxes, as they are drawn, can still be drawn with it.
    LayoutValues drawn = drawableValues(kind_.layout, *this);
    *drawn.byField(field) = Value(*size);
    if (drawable(arrange(kind_.layout, drawn))) *byField(field) = Value(*size);
  }
  ArrangeControls();
}

void QuestionEditor::chkBorder_Click() {
  const bool on = chkBorder.Value() == 1;
  rtxtQuestion.setBorder(on);
  for (Panel* p : panels_) p->setBorder(on);
}

// ---- Saving ----

void QuestionEditor::SaveLayout() {
  Record r;
  for (const FieldSpec& f : kind_.record.fields)
    if (isSizeField(f))
      if (Value* v = byField(f.name)) r[f.name] = *v;
  for (Panel* p : panels_) p->saveLayout(r);
  writeRecord(state_.pConn(), kind_.record, state_.currentQNumber, r, FieldWrite::Layout);
}

void QuestionEditor::SaveQuestion() {
  Record r;
  r["question"] = rtxtQuestion.TextRTF().toStdString();
  for (Panel* p : panels_) p->saveContent(r);
  r["answer"] = cmbAnswer.Text();
  writeRecord(state_.pConn(), kind_.record, state_.currentQNumber, r, FieldWrite::Content);
}

void QuestionEditor::cmdSave_Click() {
  SaveLayout();
  SaveQuestion();
}

void QuestionEditor::chkAutoSave_Click() { updateActiveState(); }

void QuestionEditor::cmdReset_Click() {
  for (const auto& [field, value] : kind_.reset)
    if (Value* v = byField(field)) *v = Value(value);
  ArrangeControls();
}

void QuestionEditor::updateActiveState() {
  const bool shown = questionShown();
  cmdSave.setEnabled(shown && !autoSaveOn());
  for (QWidget* w : questionControls_) w->setEnabled(shown);
}

// ---- Text formatting and "GO" ----

void QuestionEditor::cmdFont_Click() { toggleFont(rtxtQuestion, "CBT", "Verdana"); }

void QuestionEditor::SetDefaultFont() {
  editor::setDefaultFont(rtxtQuestion);
  for (Panel* p : panels_) p->setDefaultFont();
}

void QuestionEditor::ConvertUnderline() { convertUnderline(rtxtQuestion); }

void QuestionEditor::ReplaceSpecialChars() { replaceSpecialChars(rtxtQuestion); }

void QuestionEditor::convertLoadedQuestion() {
  ConvertUnderline();
  SetDefaultFont();
  ReplaceSpecialChars();
  SaveQuestion();
  cmdReset_Click();
  SaveLayout();
}

void QuestionEditor::cmdGo_Click() {
  // Only the last question needs laying out, and the log is emptied once, at the end.
  ui::RichTextBox::Batch batch(rtxtQuestion);
  store::DeferCheckpoint oneCheckpoint(state_.pConn());
  for (int i = 0; i < lstQuestion.ListCount(); ++i) {
    state_.currentQNumber = lstQuestion.List(i);
    LoadQuestion();
    convertLoadedQuestion();
  }
}

void QuestionEditor::InitEditLists() { poolEditing_.InitEditLists(cmbAnswer); }

}  // namespace editor
