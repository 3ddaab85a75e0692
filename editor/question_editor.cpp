#include "question_editor.h"

#include <QLocale>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "controls/dialogs.h"
#include "controls/events.h"
#include "form_history.h"
#include "operation.h"
#include "recordset.h"
#include "statements.h"
#include "text_conversions.h"

namespace editor {

using store::Value;

namespace {

// A control that the window builds only when the kind has it.
template <class Control, class... Args>
std::optional<Control> controlIf(bool has, Args&&... args) {
  if (has) return std::optional<Control>(std::in_place, std::forward<Args>(args)...);
  return std::nullopt;
}

template <class Control>
Control* pointerTo(std::optional<Control>& c) {
  return c ? &*c : nullptr;
}

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
  const double v = value * scale;
  if (!(v > 0)) return 0;
  if (v >= max) return max;
  return static_cast<int>(std::lround(v));
}

// What a window frame adds around the client area at 100% scaling (pixels).
constexpr int kFrameWidth = 16, kFrameHeight = 48;

bool isSizeField(const FieldDef& f) {
  return f.write == FieldWrite::Layout && (f.type == FieldType::Size || f.type == FieldType::Single);
}

}  // namespace

const std::vector<ControlPlace>& sharedPlaces() {
  // The column right of the question and choices, from x = 15060 to the page's edge.
  static const std::vector<ControlPlace> places = {
      {Shared::lblTitle, {480, 300, 9000, 600}},
      {Shared::lblPool, {15060, 120, 1740, 255}},
      {Shared::cmbPool, {15060, 390, 1740, 330}},
      {Shared::lblQuestion, {16920, 120, 1920, 255}},
      {Shared::lstQuestion, {16920, 390, 1920, 2400}},
      {Shared::lblAnswer, {15060, 870, 1200, 255}},
      {Shared::cmbAnswer, {15060, 1140, 1200, 330}},
      {Shared::FrameVH, {15060, 2940, 3780, 1500}},
      {Shared::OptHW0, {120, 300, 1200, 300}},
      {Shared::OptHW1, {1440, 300, 1200, 300}},
      {Shared::txtValue, {120, 690, 900, 330}},
      {Shared::SliderVH, {1140, 660, 2520, 420}},
      {Shared::chkBorder, {120, 1110, 270, 270}},
      {Shared::lblBorder, {420, 1110, 1200, 270}},
      {Shared::cmdSave, {15060, 4560, 1140, 420}},
      {Shared::cmdReset, {16320, 4560, 1140, 420}},
      {Shared::chkAutoSave, {17580, 4635, 270, 270}},
      {Shared::lblAutoSave, {17850, 4635, 990, 270}},
      {Shared::cmdFont, {15060, 5100, 1140, 420}},
      {Shared::cmdUnderLine, {16320, 5100, 1140, 420}},
      {Shared::cmdGo, {17580, 5100, 1140, 420}},
      {Shared::FrameEdit, {15060, 5640, 3780, 2340}},
      {Shared::cmbEdit, {120, 330, 2280, 330}},
      {Shared::cmdEditSubmit, {2520, 300, 1140, 390}},
      {Shared::lblPoolName, {120, 810, 1800, 255}},
      {Shared::txtPoolName, {120, 1080, 480, 330}},
      {Shared::cmbPoolName, {720, 1080, 1200, 330}},
      {Shared::lblQuestionNumber, {2520, 810, 1140, 255}},
      {Shared::txtQNumber, {2520, 1080, 720, 330}},
      {Shared::PgrBar, {120, 1560, 3540, 240}},
      {Shared::lblProgress, {120, 1860, 3540, 255}},
      {Shared::cmdOGcreate, {15060, 8160, 780, 420}},
      {Shared::txtOG12, {15960, 8205, 900, 330}},
      {Shared::cmdCopy, {16980, 8160, 840, 420}},
      {Shared::cmdCopy2, {17940, 8160, 900, 420}},
      {Shared::cmdDuplicateCheck, {15060, 8700, 780, 420}},
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
      chkAutoSave(controlIf<ui::CheckBox>(kind.has.autoSave, this, "")),
      lblAutoSave(controlIf<ui::Label>(kind.has.autoSave, this, "Auto Save")),
      cmdFont(controlIf<ui::CommandButton>(kind.has.font, this, "Font")),
      cmdUnderLine(controlIf<ui::CommandButton>(kind.has.underline, this, "Underline")),
      cmdGo(controlIf<ui::CommandButton>(kind.has.go, this, "GO")),
      FrameEdit(this, "Edit"),
      cmbEdit(&FrameEdit),
      cmdEditSubmit(&FrameEdit, "Submit"),
      lblPoolName(&FrameEdit, "Pool Name"),
      txtPoolName(&FrameEdit),
      cmbPoolName(controlIf<ui::ComboBox>(kind.has.poolEditing, &FrameEdit)),
      lblQuestionNumber(&FrameEdit, "Number"),
      txtQNumber(&FrameEdit),
      PgrBar(controlIf<ui::ProgressBar>(kind.has.poolEditing, &FrameEdit)),
      lblProgress(controlIf<ui::Label>(kind.has.poolEditing, &FrameEdit, "Updating pool name list")),
      cmdOGcreate(this, "OG"),
      txtOG12(this),
      cmdCopy(this, "COPY"),
      cmdCopy2(controlIf<ui::CommandButton>(pools::editionRules(kind.kind).updatesAnswerKeys(), this, "COPY2")),
      cmdDuplicateCheck(controlIf<ui::CommandButton>(pools::editionRules(kind.kind).checksDuplicates, this, "dbl")),
      cmdHistory(this, "History"),
      TimerInit(this),
      kind_(kind),
      state_(state),
      formInit_(formInit),
      record_(kind.record, {.values =
                                [this] {
                                  Record r = contentValues();
                                  for (auto& [name, value] : layoutValues()) r[name] = value;
                                  return r;
                                },
                            .asShown = [this](const std::string& field, const Value& v) { return comparable(field, v); },
                            .reload =
                                [this] {
                                  ClearChoiceMarks();
                                  LoadQuestion();
                                },
                            .show = [this](const Record& r) { showRecord(r); }}),
      navigation_({cmbPool, lstQuestion},
                  {.pools = [this] { return poolNames(); },
                   .numbers = [this](const std::string& pool) { return questionNumbers(pool); },
                   .load = [this] { LoadQuestion(); },
                   .beforeChosen = [this] { ClearChoiceMarks(); },
                   .showEmpty = [this] { showEmptyQuestion(); },
                   .updateActiveState = [this] { updateActiveState(); },
                   .autoSaveOn = [this] { return autoSaveOn(); },
                   .autoSave =
                       [this] {
                         bank::OperationTag tag(state_.pConn(), bank::Operation::AutoSave);
                         SaveQuestion();
                         tag.commit();
                       },
                   .save = [this] { cmdSave_Click(); }},
                  state, record_),
      editions_(EditionControls{*this, txtOG12, txtQNumber, cmbEdit, pointerTo(PgrBar)},
                EditionHost{[this] { leaveQuestion(); },
                            [this] {
                              LoadQuestion();
                              updateActiveState();
                            },
                            [this] { FillPoolList(); }, [this] { FillQuestionList(); },
                            [this] { showAfterWholePoolWork(); }},
                state, kind.kind) {
  if (kind.has.poolEditing)
    poolEditing_.emplace(EditFrameControls{*this, cmbEdit, txtPoolName, lblPoolName, *cmbPoolName, txtQNumber,
                                           lblQuestionNumber, *PgrBar, *lblProgress, cmbPool},
                         EditFrameHost{[this] { leaveQuestion(); }, [this] { FillPoolList(); },
                                       [this] { FillQuestionList(); }},
                         state, kind.record.table);
  panels_.push_back(choices_.get());
  buildControls();
}

QuestionEditor::~QuestionEditor() = default;

ui::Placeable* QuestionEditor::sharedControl(Shared c) {
  switch (c) {
    case Shared::lblTitle: return &lblTitle;
    case Shared::lblPool: return &lblPool;
    case Shared::cmbPool: return &cmbPool;
    case Shared::lblQuestion: return &lblQuestion;
    case Shared::lstQuestion: return &lstQuestion;
    case Shared::lblAnswer: return &lblAnswer;
    case Shared::cmbAnswer: return &cmbAnswer;
    case Shared::FrameVH: return &FrameVH;
    case Shared::OptHW0: return &OptHW[0];
    case Shared::OptHW1: return &OptHW[1];
    case Shared::txtValue: return &txtValue;
    case Shared::SliderVH: return &SliderVH;
    case Shared::chkBorder: return &chkBorder;
    case Shared::lblBorder: return &lblBorder;
    case Shared::cmdSave: return &cmdSave;
    case Shared::cmdReset: return &cmdReset;
    case Shared::chkAutoSave: return pointerTo(chkAutoSave);
    case Shared::lblAutoSave: return pointerTo(lblAutoSave);
    case Shared::cmdFont: return pointerTo(cmdFont);
    case Shared::cmdUnderLine: return pointerTo(cmdUnderLine);
    case Shared::cmdGo: return pointerTo(cmdGo);
    case Shared::FrameEdit: return &FrameEdit;
    case Shared::cmbEdit: return &cmbEdit;
    case Shared::cmdEditSubmit: return &cmdEditSubmit;
    case Shared::lblPoolName: return &lblPoolName;
    case Shared::txtPoolName: return &txtPoolName;
    case Shared::cmbPoolName: return pointerTo(cmbPoolName);
    case Shared::lblQuestionNumber: return &lblQuestionNumber;
    case Shared::txtQNumber: return &txtQNumber;
    case Shared::PgrBar: return pointerTo(PgrBar);
    case Shared::lblProgress: return pointerTo(lblProgress);
    case Shared::cmdOGcreate: return &cmdOGcreate;
    case Shared::txtOG12: return &txtOG12;
    case Shared::cmdCopy: return &cmdCopy;
    case Shared::cmdCopy2: return pointerTo(cmdCopy2);
    case Shared::cmdDuplicateCheck: return pointerTo(cmdDuplicateCheck);
  }
  return nullptr;
}

void QuestionEditor::placeControls(const std::vector<ControlPlace>& places) {
  for (const ControlPlace& p : places) {
    ui::Placeable* control = sharedControl(p.control);
    if (!control) throw std::logic_error(std::string(kind_.caption) + " places a control that it does not have");
    place(*control, p.place);
  }
}

void QuestionEditor::notAvailable(QWidget& w) {
  w.setEnabled(false);
  w.setToolTip("Not available in this version");
}

void QuestionEditor::adoptControls() {
  const QObjectList children = this->children();
  for (QObject* o : children)
    if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && w != scroller_) w->setParent(page_);
}

void QuestionEditor::buildControls() {
  // The controls sit on one page that scrolls when the screen is smaller than the window.
  page_ = new QWidget;
  page_->setFixedSize(ui::twipsToPixels(kEditorWidth), ui::twipsToPixels(kind_.height));
  auto* scroller = new QScrollArea(this);
  scroller_ = scroller;
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidget(page_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroller);

  setCaption(kind_.caption);
  setWidth(kEditorWidth);
  setHeight(kind_.height);
  setDeleteOnUnload(true);

  // Names by which tests and screenshots find the controls.
  const std::pair<QWidget*, const char*> named[] = {
      {&lblTitle, "lblTitle"},       {&rtxtQuestion, "rtxtQuestion"}, {&lblAnswer, "lblAnswer"},
      {&cmbAnswer, "cmbAnswer"},     {&lblPool, "lblPool"},           {&cmbPool, "cmbPool"},
      {&lblQuestion, "lblQuestion"}, {&lstQuestion, "lstQuestion"},   {&FrameVH, "FrameVH"},
      {&txtValue, "txtValue"},       {&SliderVH, "SliderVH"},         {&chkBorder, "chkBorder"},
      {&lblBorder, "lblBorder"},     {&cmdSave, "cmdSave"},           {&cmdReset, "cmdReset"},
      {pointerTo(chkAutoSave), "chkAutoSave"}, {pointerTo(lblAutoSave), "lblAutoSave"},
      {pointerTo(cmdFont), "cmdFont"}, {pointerTo(cmdUnderLine), "cmdUnderLine"}, {pointerTo(cmdGo), "cmdGo"},
      {&FrameEdit, "FrameEdit"},     {&cmbEdit, "cmbEdit"},           {&cmdEditSubmit, "cmdEditSubmit"},
      {&lblPoolName, "lblPoolName"}, {&txtPoolName, "txtPoolName"},   {pointerTo(cmbPoolName), "cmbPoolName"},
      {&lblQuestionNumber, "lblQuestionNumber"}, {&txtQNumber, "txtQNumber"}, {pointerTo(PgrBar), "PgrBar"},
      {pointerTo(lblProgress), "lblProgress"}, {&cmdOGcreate, "cmdOGcreate"}, {&txtOG12, "txtOG12"},
      {&cmdCopy, "cmdCopy"},         {pointerTo(cmdCopy2), "cmdCopy2"}, {pointerTo(cmdDuplicateCheck), "cmdDuplicateCheck"},
      {&cmdHistory, "cmdHistory"},
  };
  for (auto [w, name] : named)
    if (w) w->setObjectName(QString::fromLatin1(name));

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
  if (chkAutoSave) chkAutoSave->Click = [this](int) { chkAutoSave_Click(); };
  if (cmdFont) cmdFont->Click = [this] { cmdFont_Click(); };
  if (cmdUnderLine) cmdUnderLine->Click = [this] { cmdUnderLine_Click(); };
  if (cmdGo) cmdGo->Click = [this] { cmdGo_Click(); };

  if (poolEditing_) {
    cmbEdit.Click = [this] { cmbEdit_Click(); };
    cmdEditSubmit.Click = [this] { cmdEditSubmit_Click(); };
  } else {  // the frame is present, but its modes have no action in this editor
    notAvailable(cmdEditSubmit);
  }
  txtPoolName.setMaxLength(1);
  txtPoolName.setText("X");
  txtQNumber.setMaxLength(2);
  txtQNumber.setText("0");

  txtOG12.setText(kind_.editionPool);
  cmdOGcreate.Click = [this] { cmdOGcreate_Click(); };
  cmdCopy.Click = [this] { cmdCopy_Click(); };
  if (cmdCopy2) cmdCopy2->Click = [this] { cmdCopy2_Click(); };
  if (cmdDuplicateCheck) cmdDuplicateCheck->Click = [this] { cmdDuplicateCheck_Click(); };
  cmdHistory.Click = [this] { cmdHistory_Click(); };
  place(cmdHistory, {17280, 8700, 1140, 420});  // beside "dbl" and "Fix numQ", which some kinds have

  // The shared column places what any kind may have; the kind's table only what it has.
  for (const ControlPlace& p : sharedPlaces())
    if (ui::Placeable* control = sharedControl(p.control)) place(*control, p.place);
  placeControls(kind_.places);

  for (QWidget* w : std::initializer_list<QWidget*>{&cmdReset, pointerTo(cmdGo), pointerTo(cmdFont),
                                                    pointerTo(cmdUnderLine), &FrameVH, &cmdHistory})
    if (w) needsQuestion(*w);

  TimerInit.setInterval(0);
  TimerInit.Tick = [this] { TimerInit_Timer(); };
  chkBorder_Click();
  adoptControls();
}

// ---- Window life ----

// A screen too small for the window gets a window that fits it, scrolling its page.
void QuestionEditor::fitToScreen() {
  const QScreen* s = screen();
  if (!s) return;
  const QSize room = s->availableGeometry().size() - QSize(kFrameWidth, kFrameHeight);
  resize(std::min(width(), room.width()), std::min(height(), room.height()));
}

// Tab and Shift+Tab go through the text boxes as they are read: down the page, and left
// to right where two start at the same height.
void QuestionEditor::orderBoxesForReading() {
  std::vector<QWidget*> boxes;
  for (QWidget* w : page_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)) boxes.push_back(w);
  std::stable_sort(boxes.begin(), boxes.end(), [](QWidget* a, QWidget* b) {
    return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
  });
  for (size_t i = 1; i < boxes.size(); ++i) QWidget::setTabOrder(boxes[i - 1], boxes[i]);
}

void QuestionEditor::Form_Load() {
  adoptControls();
  ArrangeControls();  // the boxes at their design places, for the reading order
  orderBoxesForReading();
  fitToScreen();
  ClearChoiceMarks();
  InitEditLists();
  FillPoolList();
  FillQuestionList();
  OptHW[0].setValue(true);
  pFocus = "0";
  updateActiveState();
}

void QuestionEditor::Form_Activate() {
  if (!poolEditing_) return;
  cmbEdit_Click();
  PgrBar->setVisible(false);
  lblProgress->setVisible(false);
}

void QuestionEditor::Form_Unload() {
  navigation_.leaveWindow();
  formInit_.Show();
}

// ---- Loading and arranging ----

void QuestionEditor::showEmptyQuestion() {
  rtxtQuestion.setTextRTF(QByteArray());
  for (Panel* p : panels_) p->clear();
  cmbAnswer.setListIndex(0);
  static_cast<LayoutValues&>(*this) = LayoutValues();
  record_.clear();
  arrangeShownQuestion();
}

void QuestionEditor::LoadQuestion() {
  // Everything is read before anything is shown: a failed read leaves the screen as it was.
  const std::optional<Record> r = record_.load(state_.pConn(), state_.currentQNumber);
  if (!r) {  // removed elsewhere since the list was filled
    showEmptyQuestion();
    return;
  }
  showRecord(*r);
  record_.markShown();
}

void QuestionEditor::showRecord(const Record& r) {
  // The question's own sizes first: whatever a panel's load arranges uses them, never those
  // of the question shown before.
  for (const FieldDef& f : kind_.record.fields)
    if (isSizeField(f))
      if (Value* v = byField(f.name)) *v = r.at(f.name);
  rtxtQuestion.setTextRTF(QByteArray::fromStdString(r.at("question").toString()));
  for (Panel* p : panels_) p->load(r);
  const std::string answer = r.at("answer").toString();
  int item = 0;
  for (int i = 0; i < 5; ++i)
    if (answer == kLetters[i]) item = i;
  cmbAnswer.setListIndex(item);
  cmbAnswer.Refresh();
  arrangeShownQuestion();
}

void QuestionEditor::ArrangeControls() {
  const Arrangement a = arrange(kind_.layout, *this);
  // Each box gets its place in one move: a rich-text box lays its text out again on every
  // change of its size.
  rtxtQuestion.Move(a.question.left, a.question.top, a.question.width, a.question.height);
  for (Panel* p : panels_) p->place(a);
  rtxtQuestion.Refresh();
}

// A question (or none) newly on screen: its boxes at its sizes, each showing its text from
// the top, whatever the question before showed.
void QuestionEditor::arrangeShownQuestion() {
  ArrangeControls();
  for (ui::RichTextBox* box : page_->findChildren<ui::RichTextBox*>()) box->ScrollToTop();
}

// ---- Navigation ----

std::vector<std::string> QuestionEditor::poolNames() {
  std::vector<std::string> pools;
  store::Recordset rs;
  rs.open(store::statements::poolsInOrder(kind_.record.table), state_.pConn(), store::adOpenDynamic,
          store::adLockReadOnly);
  for (; !rs.eof(); rs.moveNext()) pools.push_back(rs.value("src").toString());
  rs.close();
  return pools;
}

std::vector<std::string> QuestionEditor::questionNumbers(const std::string& pool) {
  std::vector<std::string> numbers;
  store::Recordset rs;
  rs.open(store::statements::questionsOfPool(kind_.record.table, pool), state_.pConn(), store::adOpenDynamic,
          store::adLockReadOnly);
  for (; !rs.eof(); rs.moveNext()) numbers.push_back(rs.value("numQ").toString());
  rs.close();
  return numbers;
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
  if (questionShown() && field && size && sizeCanBeDrawn(kind_.layout, *size)) *byField(field) = Value(*size);
  ArrangeControls();
}

void QuestionEditor::chkBorder_Click() {
  const bool on = chkBorder.Value() == 1;
  rtxtQuestion.setBorder(on);
  for (Panel* p : panels_) p->setBorder(on);
}

// ---- Saving ----

Record QuestionEditor::layoutValues() {
  Record r;
  for (const FieldDef& f : kind_.record.fields)
    if (isSizeField(f))
      if (Value* v = byField(f.name)) r[f.name] = *v;
  for (Panel* p : panels_) p->saveLayout(r);
  return r;
}

Record QuestionEditor::contentValues() {
  Record r;
  r["question"] = rtxtQuestion.TextRTF().toStdString();
  for (Panel* p : panels_) p->saveContent(r);
  r["answer"] = cmbAnswer.Text();
  return r;
}

void QuestionEditor::SaveLayout() {
  record_.save(state_.pConn(), state_.currentQNumber, layoutValues(), FieldWrite::Layout);
}

void QuestionEditor::SaveQuestion() {
  record_.save(state_.pConn(), state_.currentQNumber, contentValues(), FieldWrite::Content);
}

Value QuestionEditor::comparable(const std::string& field, const Value& v) {
  if (!byField(field)) return v;
  return sizeIsSet(v) ? Value(singleText(static_cast<float>(v.toDouble()))) : Value();
}

void QuestionEditor::cmdSave_Click() {
  bank::OperationTag tag(state_.pConn(), bank::Operation::Save);  // sizes and content, one change
  Record values = contentValues();
  for (auto& [name, value] : layoutValues()) values[name] = value;
  record_.save(state_.pConn(), state_.currentQNumber, values, {FieldWrite::Layout, FieldWrite::Content});
  tag.commit();
}

void QuestionEditor::cmdHistory_Click() {
  if (!questionShown()) return;
  showHistory(state_.pConn(), kind_.kind, state_.currentQNumber);
}

void QuestionEditor::settleEdits(const std::string& numQ) {
  editor::settleEdits(record_, shownNumber(), numQ, [this] { cmdSave_Click(); });
}

void QuestionEditor::storedChanged(const std::string& numQ) {
  if (numQ != shownNumber() || record_.hasUnsavedEdits()) return;
  ClearChoiceMarks();
  LoadQuestion();
}

void QuestionEditor::bringBack(const std::string& pool, const std::string& numQ, const Record& edits) {
  if (!navigation_.show(pool, numQ)) return;  // no longer in the bank: nothing to put the edits on
  showRecord(record_.loadedWith(edits));
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
  leaveQuestion();  // "GO" loads every question of the list in turn
  {
    // Only the last question needs laying out, and the log is emptied once, at the end.
    ui::RichTextBox::Batch batch(rtxtQuestion);
    store::DeferCheckpoint oneCheckpoint(state_.pConn());
    bank::OperationTag tag(state_.pConn(), bank::Operation::Go);
    // Each question is committed when done: a refusal part-way keeps the ones before it.
    navigation_.throughList([this, &tag] {
      convertLoadedQuestion();
      tag.commit();
    });
  }
  showAfterWholePoolWork();
}

void QuestionEditor::showAfterWholePoolWork() {
  for (ui::RichTextBox* box : page_->findChildren<ui::RichTextBox*>()) {
    box->setSelStart(0);
    box->ScrollToTop();
  }
  if (!questionShown()) return;
  Navigation::Shown shown{state_.currentPool, state_.currentQNumber, {}};
  store::Recordset rs;
  rs.open(store::statements::questionSource(kind_.record.table, shown.numQ), state_.pConn(), store::adOpenUnspecified,
          store::adLockReadOnly, store::adCmdTable);
  if (!rs.eof()) shown.pool = rs.value("src").toString();
  rs.close();
  rs.open(store::statements::questionsOfPool(kind_.record.table, shown.pool), state_.pConn(), store::adOpenDynamic,
          store::adLockReadOnly);
  for (; !rs.eof(); rs.moveNext()) shown.numbers.push_back(rs.value("numQ").toString());
  rs.close();
  navigation_.reselect(shown);
}

void QuestionEditor::InitEditLists() { fillEditLists(cmbEdit, cmbAnswer, state_.flgAllKinds); }

void QuestionEditor::cmbEdit_Click() {
  if (poolEditing_) poolEditing_->cmbEdit_Click();
}

void QuestionEditor::cmdEditSubmit_Click() {
  if (poolEditing_) poolEditing_->cmdEditSubmit_Click();
}

void QuestionEditor::FillFreePoolNumbers() {
  if (poolEditing_) poolEditing_->FillFreePoolNumbers();
}

}  // namespace editor
