#include "question_editor.h"

#include <QLocale>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "controls/dialogs.h"
#include "controls/events.h"
#include "quote.h"

namespace editor {

using store::Recordset;
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
  const double v = value * scale;
  if (!(v > 0)) return 0;
  if (v >= max) return max;
  return static_cast<int>(std::lround(v));
}

// Where the stem starts, the gap above each choice, and the default choice height (twips).
constexpr double kQuestionTop = 1320, kChoiceGap = 330, kDefaultChoiceHeight = 270;

// The window system places widgets within 16-bit pixel coordinates. Up to this size (cm)
// every box of a question stays inside them, whatever the other five boxes measure.
const double kLargestSize =
    std::floor((32767 * ui::kTwipsPerPixel - kQuestionTop - 6 * kChoiceGap) / 6 / kTwipsPerCm);

// A size that the layout can draw: not negative and not beyond the coordinates.
bool sizeCanBeDrawn(double cm) { return cm >= 0 && cm <= kLargestSize; }

// The drawn height of a box (twips): its stored size, the default when none is set or the
// stored one is negative or no number, and the largest drawable size when it is beyond it.
double drawnHeight(const Value& size, double defaultHeight) {
  if (!sizeIsSet(size)) return defaultHeight;
  const double cm = size.toDouble();
  if (!(cm > 0)) return defaultHeight;
  return std::min(cm, kLargestSize) * kTwipsPerCm;
}

// The client area: with a frame around it, it fits a 1280 x 800 screen.
constexpr double kWindowWidth = 18840, kWindowHeight = 10680;
// What a window frame adds around the client area at 100% scaling (pixels).
constexpr int kFrameWidth = 16, kFrameHeight = 48;

}  // namespace

bool sizeIsSet(const Value& v) { return !v.isNull() && v.toDouble() != 0.0; }

QuestionEditor::QuestionEditor(const EditorKind& kind, store::ProgramState& state, ui::Form& formInit)
    : lblTitle(this, kind.title),
      rtxtQuestion(this),
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
                   kind.table) {
  buildControls();
}

QuestionEditor::~QuestionEditor() = default;

void QuestionEditor::buildControls() {
  // The controls sit on one page that scrolls when the screen is smaller than the window.
  page_ = new QWidget;
  const QObjectList children = this->children();
  for (QObject* o : children)
    if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow()) w->setParent(page_);
  page_->setFixedSize(ui::twipsToPixels(kWindowWidth), ui::twipsToPixels(kWindowHeight));
  auto* scroller = new QScrollArea(this);
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidget(page_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroller);

  setCaption(kind_.caption);
  setWidth(kWindowWidth);
  setHeight(kWindowHeight);
  setDeleteOnUnload(true);

  QFont titleFont = lblTitle.font();
  titleFont.setPointSize(16);
  titleFont.setBold(true);
  lblTitle.setFont(titleFont);
  lblTitle.Move(480, 300, 9000, 600);

  rtxtQuestion.Move(480, 1320, 14300, kind_.defaultQuestionHeight);
  QObject::connect(&rtxtQuestion, &ui::RichTextBox::Click, this, [this] { ui::runEvent([this] { rtxtQuestion_Click(); }); });
  for (int i = 0; i < 5; ++i) {
    auto* box = new ui::TextBox(page_);
    box->setFont(QFont("Verdana"));
    box->Click = [this, i] { txtAnswer_Click(i); };
    txtAnswer.add(box);
    auto& marker = imgClick.add(new ui::Image(page_, i));
    marker.Move(600, 0, 165, 165);
  }
  imgClick.Click = [this](int i) { imgClick_Click(i); };

  // The column on the right of the choices: navigation, answer, layout, saving,
  // formatting, pools.
  const double x = 14940, x2 = x + 1860;
  lblPool.Move(x, 120, 1740, 255);
  cmbPool.Move(x, 390, 1740, 330);
  cmbPool.Click = [this] { cmbPool_Click(); };
  lblQuestion.Move(x2, 120, 1920, 255);
  lstQuestion.Move(x2, 390, 1920, 2400);
  lstQuestion.Click = [this] { lstQuestion_Click(); };
  lblAnswer.Move(x, 870, 1200, 255);
  cmbAnswer.Move(x, 1140, 1200, 330);

  FrameVH.Move(x, 2940, 3780, 1500);
  for (int i = 0; i < 2; ++i) {
    auto& opt = OptHW.add(new ui::OptionButton(&FrameVH, i == 0 ? "Height" : "Width", i));
    opt.Move(120 + i * 1320, 300, 1200, 300);
  }
  OptHW.Click = [this](int i) { OptHW_Click(i); };
  txtValue.Move(120, 690, 900, 330);
  txtValue.setText("0");
  txtValue.Change = [this] { txtValue_Change(); };
  txtValue.LostFocus = [this] { txtValue_LostFocus(); };
  SliderVH.Move(1140, 660, 2520, 420);
  SliderVH.setMin(0);
  SliderVH.setMax(200);
  SliderVH.setTickFrequency(10);
  SliderVH.setTickPosition(QSlider::TicksBelow);
  SliderVH.Scroll = [this] { SliderVH_Scroll(); };
  chkBorder.Move(120, 1110, 270, 270);
  chkBorder.Click = [this](int) { chkBorder_Click(); };
  lblBorder.Move(420, 1110, 1200, 270);

  cmdSave.Move(x, 4560, 1140, 420);
  cmdSave.Click = [this] { cmdSave_Click(); };
  cmdReset.Move(x + 1260, 4560, 1140, 420);
  cmdReset.Click = [this] { cmdReset_Click(); };
  chkAutoSave.Move(x + 2520, 4635, 270, 270);
  chkAutoSave.Click = [this](int) { chkAutoSave_Click(); };
  lblAutoSave.Move(x + 2790, 4635, 990, 270);
  chkAutoSave.setVisible(kind_.hasAutoSave);
  lblAutoSave.setVisible(kind_.hasAutoSave);

  cmdFont.Move(x, 5100, 1140, 420);
  cmdFont.Click = [this] { cmdFont_Click(); };
  cmdUnderLine.Move(x + 1260, 5100, 1140, 420);
  cmdUnderLine.Click = [this] { cmdUnderLine_Click(); };
  cmdUnderLine.setVisible(kind_.hasUnderlineButton);
  cmdGo.Move(x + 2520, 5100, 1140, 420);
  cmdGo.Click = [this] { cmdGo_Click(); };

  FrameEdit.Move(x, 5640, 3780, 2340);
  cmbEdit.Move(120, 330, 2280, 330);
  cmbEdit.Click = [this] { cmbEdit_Click(); };
  cmdEditSubmit.Move(2520, 300, 1140, 390);
  cmdEditSubmit.Click = [this] { cmdEditSubmit_Click(); };
  lblPoolName.Move(120, 810, 1800, 255);
  txtPoolName.Move(120, 1080, 480, 330);
  txtPoolName.setMaxLength(1);
  txtPoolName.setText("X");
  cmbPoolName.Move(720, 1080, 1200, 330);
  lblQuestionNumber.Move(2520, 810, 1140, 255);
  txtQNumber.Move(2520, 1080, 720, 330);
  txtQNumber.setMaxLength(2);
  txtQNumber.setText("0");
  PgrBar.Move(120, 1560, 3540, 240);
  lblProgress.Move(120, 1860, 3540, 255);

  // Edition pools, edition copy and the duplicate check are maintenance work of their own;
  // their buttons stand here, inactive until that work is part of the editor.
  cmdOGcreate.Move(x, 8160, 780, 420);
  txtOG12.Move(x + 900, 8205, 900, 330);
  txtOG12.setText(kind_.editionPool);
  cmdCopy.Move(x + 1920, 8160, 840, 420);
  cmdCopy2.Move(x + 2880, 8160, 900, 420);
  cmdCopy2.setVisible(kind_.hasCopy2);
  cmdDuplicateCheck.Move(x, 8700, 780, 420);
  cmdDuplicateCheck.setVisible(kind_.hasDuplicateCheck);
  for (QWidget* w : std::initializer_list<QWidget*>{&cmdOGcreate, &txtOG12, &cmdCopy, &cmdCopy2, &cmdDuplicateCheck}) {
    w->setEnabled(false);
    w->setToolTip("Not available in this version");
  }

  TimerInit.setInterval(0);
  TimerInit.Tick = [this] { TimerInit_Timer(); };
  chkBorder_Click();
}

// ---- Window life ----

// A screen too small for the window gets a window that fits it, scrolling its page.
void QuestionEditor::fitToScreen() {
  const QScreen* s = screen();
  if (!s) return;
  const QSize room = s->availableGeometry().size() - QSize(kFrameWidth, kFrameHeight);
  resize(std::min(width(), room.width()), std::min(height(), room.height()));
}

void QuestionEditor::Form_Load() {
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
  for (int i = 0; i < 5; ++i) txtAnswer[i].setText("");
  cmbAnswer.setListIndex(0);
  questionHeight = questionWidth = choiceAWidth = Value();
  choiceHeight.fill(Value());
  loadedRecord_.clear();
  ArrangeControls();
}

std::vector<Value> QuestionEditor::recordOf(Recordset& rs) {
  std::vector<Value> record;
  for (const std::string& name : rs.fieldNames()) record.push_back(rs.value(name));
  return record;
}

std::vector<Value> QuestionEditor::storedRecord() {
  Recordset rs;
  rs.open(std::string("select * from ") + kind_.table + " where numQ='" + store::sqlText(state_.currentQNumber) +
              "';",
          state_.pConn(), store::adOpenDynamic, store::adLockReadOnly);
  std::vector<Value> record;
  if (!rs.eof()) record = recordOf(rs);
  rs.close();
  return record;
}

void QuestionEditor::LoadQuestion() {
  Recordset rs;
  rs.open(std::string("select * from ") + kind_.table + " where numQ='" + store::sqlText(state_.currentQNumber) +
              "';",
          state_.pConn(), store::adOpenDynamic, store::adLockReadOnly);
  if (rs.eof()) {  // removed elsewhere since the list was filled
    rs.close();
    showEmptyQuestion();
    return;
  }
  // Everything is read before anything is shown: a failed read leaves the screen as it was.
  std::vector<Value> record = recordOf(rs);
  const std::string question = rs.value("question").toString();
  std::array<std::string, 5> choices;
  for (int i = 0; i < 5; ++i) choices[static_cast<size_t>(i)] = rs.value(std::string("choice") + kLetters[i]).toString();
  const std::string answer = rs.value("answer").toString();
  readLayout(rs);
  rs.close();
  loadedRecord_ = std::move(record);
  rtxtQuestion.setTextRTF(QByteArray::fromStdString(question));
  for (int i = 0; i < 5; ++i) txtAnswer[i].setText(choices[static_cast<size_t>(i)]);
  int item = 0;
  for (int i = 0; i < 5; ++i)
    if (answer == kLetters[i]) item = i;
  cmbAnswer.setListIndex(item);
  cmbAnswer.Refresh();
  ArrangeControls();
}

void QuestionEditor::readLayout(Recordset& rs) {
  questionWidth = rs.value("questionWidth");
  questionHeight = rs.value("questionHeight");
  if (kind_.hasChoiceWidth) choiceAWidth = rs.value("choiceAWidth");
  for (int i = 0; i < 5; ++i) choiceHeight[i] = rs.value(std::string("choice") + kLetters[i] + "Height");
}

void QuestionEditor::ArrangeControls() {
  // Each box gets its place in one move: a rich-text box lays its text out again on every
  // change of its size.
  const double questionTop = kQuestionTop;
  const double questionBoxHeight = drawnHeight(questionHeight, kind_.defaultQuestionHeight);
  rtxtQuestion.Move(480, questionTop, 14300, questionBoxHeight);
  std::array<double, 5> heights;
  heights[0] = drawnHeight(choiceHeight[0], kDefaultChoiceHeight);
  for (size_t k = 1; k < 5; ++k) heights[k] = drawnHeight(choiceHeight[k], heights[0]);
  const double markerLeft = 600, choiceLeft = markerLeft + 360;
  double markerTop = questionBoxHeight + questionTop + kChoiceGap;
  for (int k = 0; k < 5; ++k) {
    if (k > 0) markerTop += heights[static_cast<size_t>(k - 1)] + kChoiceGap;
    imgClick[k].Move(markerLeft, markerTop, imgClick[k].Width(), imgClick[k].Height());
    txtAnswer[k].Move(choiceLeft, markerTop - 40, 13700, heights[static_cast<size_t>(k)]);
  }
  rtxtQuestion.Refresh();
  for (int k = 0; k < 5; ++k) {
    txtAnswer[k].update();
    imgClick[k].update();
  }
}

void QuestionEditor::ClearChoiceMarks() {
  for (int i = 0; i < 5; ++i) imgClick[i].setPicture(ui::Bitmap(104));
}

// ---- Navigation ----

void QuestionEditor::FillPoolList() {
  cmbPool.setEnabled(true);
  cmbPool.Clear();
  Recordset rs;
  rs.open(std::string("select distinct src from ") + kind_.table + " order by src;", state_.pConn(),
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
  const ShownQuestion shown = shownQuestion();
  try {
    if (autoSaveOn()) SaveQuestion();
    FillQuestionList();
  } catch (...) {
    reselect(shown);
    throw;
  }
}

QuestionEditor::ShownQuestion QuestionEditor::shownQuestion() const {
  ShownQuestion shown{state_.currentPool, state_.currentQNumber, {}};
  for (int i = 0; i < lstQuestion.ListCount(); ++i) shown.numbers.push_back(lstQuestion.List(i));
  return shown;
}

// After a failed change of question the lists select what is on screen again, so that the
// highlight, the screen and what Save writes agree.
void QuestionEditor::reselect(const ShownQuestion& shown) {
  state_.currentPool = shown.pool;
  state_.currentQNumber = shown.numQ;
  int pool = -1;
  for (int i = 0; i < cmbPool.ListCount(); ++i)
    if (cmbPool.List(i) == shown.pool) pool = i;
  cmbPool.restoreListIndex(pool);
  bool sameList = lstQuestion.ListCount() == static_cast<int>(shown.numbers.size());
  for (int i = 0; sameList && i < lstQuestion.ListCount(); ++i) sameList = lstQuestion.List(i) == shown.numbers[static_cast<size_t>(i)];
  if (!sameList) {
    lstQuestion.Clear();
    for (const std::string& n : shown.numbers) lstQuestion.AddItem(n);
  }
  int row = -1;
  for (int i = 0; i < lstQuestion.ListCount(); ++i)
    if (lstQuestion.List(i) == shown.numQ) row = i;
  lstQuestion.restoreListIndex(row);
  updateActiveState();
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
  Recordset rs;
  rs.open(std::string("select distinct numQ from ") + kind_.table + " where src='" +
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
  const ShownQuestion shown = shownQuestion();
  try {
    if (autoSaveOn()) SaveQuestion();
    state_.currentQNumber = lstQuestion.Text();
    ClearChoiceMarks();
    LoadQuestion();
  } catch (...) {
    reselect(shown);
    throw;
  }
  updateActiveState();
}

// ---- Layout editing ----

void QuestionEditor::rtxtQuestion_Click() {
  if (state_.currentQNumber.empty()) return;
  bufHeight = static_cast<float>(questionHeight.toDouble());
  bufWidth = questionWidth.toDouble();
  pFocus = "0";
  if (kind_.choiceFocusLocksHeight) OptHW[1].setEnabled(true);
  ShowSizeValue();
  ClearChoiceMarks();
}

void QuestionEditor::imgClick_Click(int index) {
  if (state_.currentQNumber.empty()) return;
  bufWidth = choiceAWidth.toDouble();
  pFocus = std::to_string(index + 1);
  for (int i = 0; i < 5; ++i) imgClick[i].setPicture(ui::Bitmap(i == index ? 103 : 104));
  bufHeight = static_cast<float>(choiceHeight[static_cast<size_t>(index)].toDouble());
  if (kind_.choiceFocusLocksHeight) {
    OptHW[0].setValue(true);
    OptHW[1].setEnabled(false);
  }
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

Value* QuestionEditor::sizeTarget() {
  const bool height = OptHW[0].Value(), width = OptHW[1].Value();
  if (!height && !width) return nullptr;
  if (pFocus == "0") return height ? &questionHeight : &questionWidth;
  if (pFocus.size() != 1 || pFocus[0] < '1' || pFocus[0] > '5') return nullptr;
  size_t i = static_cast<size_t>(pFocus[0] - '1');
  if (height) return &choiceHeight[i];
  return kind_.hasChoiceWidth ? &choiceAWidth : nullptr;
}

void QuestionEditor::txtValue_Change() {
  if (!state_.currentQNumber.empty()) {
    Value* target = sizeTarget();
    std::optional<double> size = sizeFromText(txtValue.Text());
    if (target && size && sizeCanBeDrawn(*size)) *target = Value(*size);
  }
  ArrangeControls();
}

void QuestionEditor::chkBorder_Click() {
  const bool on = chkBorder.Value() == 1;
  rtxtQuestion.setBorder(on);
  for (int i = 0; i < 5; ++i) txtAnswer[i].setFrame(on);
}

// ---- Saving ----

bool QuestionEditor::openCurrentForUpdate(Recordset& rs) {
  // Nothing was loaded (none shown, or removed elsewhere before it was): nothing to write.
  if (state_.currentQNumber.empty() || loadedRecord_.empty()) return false;
  confirmOverwrite();
  rs.cursorType = store::adOpenKeyset;
  rs.lockType = store::adLockOptimistic;
  rs.open(std::string(kind_.table) + " where numQ='" + store::sqlText(state_.currentQNumber) + "'", state_.pConn(),
          store::adOpenUnspecified, store::adLockUnspecified, store::adCmdTable);
  if (!rs.eof()) return true;
  rs.close();
  reportRemoved();
  return false;
}

void QuestionEditor::reportRemoved() {
  ui::MsgBox("Question " + state_.currentQNumber +
                 " no longer exists in the bank: another program has deleted it. Your edits were not saved; "
                 "they stay on screen.",
             ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Error");
  throw ui::AlreadyReported();
}

// Another program may have changed the question since it was loaded here: the user decides
// whether the screen overwrites it; by default the stored version is kept and shown, and
// the save (and whatever led to it) stops.
void QuestionEditor::confirmOverwrite() {
  const std::vector<Value> stored = storedRecord();
  if (stored.empty()) reportRemoved();
  if (stored == loadedRecord_) return;
  const ui::MsgResult answer = ui::MsgBox(
      "Question " + state_.currentQNumber +
          " was changed by another program after it was loaded here.\n\n"
          "Overwrite it with what is on screen?\n"
          "Yes: your edits replace the stored question.\n"
          "No: your edits are discarded and the stored question is loaded.",
      ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation, "", ui::MsgDefault::Second);
  if (answer == ui::MsgResult::Yes) return;
  ClearChoiceMarks();
  LoadQuestion();
  throw ui::AlreadyReported();
}

// What this window wrote is the stored version it compares with from now on.
void QuestionEditor::written(Recordset& rs) {
  rs.update();
  rs.close();
  loadedRecord_ = storedRecord();
}

void QuestionEditor::SaveLayout() {
  Recordset rs;
  if (!openCurrentForUpdate(rs)) return;
  writeLayout(rs);
  written(rs);
}

void QuestionEditor::writeLayout(Recordset& rs) {
  rs.setValue("questionWidth", questionWidth);
  rs.setValue("questionHeight", questionHeight);
  if (kind_.hasChoiceWidth) rs.setValue("choiceAWidth", choiceAWidth);
  for (int i = 0; i < 5; ++i) rs.setValue(std::string("choice") + kLetters[i] + "Height", choiceHeight[i]);
}

void QuestionEditor::SaveQuestion() {
  Recordset rs;
  if (!openCurrentForUpdate(rs)) return;
  rs.setValue("question", rtxtQuestion.TextRTF().toStdString());
  for (int i = 0; i < 5; ++i)
    if (!txtAnswer[i].Text().empty()) rs.setValue(std::string("choice") + kLetters[i], txtAnswer[i].Text());
  rs.setValue("answer", cmbAnswer.Text());
  written(rs);
}

void QuestionEditor::cmdSave_Click() {
  SaveLayout();
  SaveQuestion();
}

void QuestionEditor::chkAutoSave_Click() { updateActiveState(); }

void QuestionEditor::cmdReset_Click() {
  questionWidth = Value(kind_.resetQuestionWidth);
  questionHeight = Value(0.0);
  if (kind_.hasChoiceWidth) choiceAWidth = Value(0.0);
  choiceHeight.fill(Value(0.0));
  ArrangeControls();
}

void QuestionEditor::updateActiveState() {
  const bool shown = !state_.currentQNumber.empty();
  cmdSave.setEnabled(shown && !autoSaveOn());
  for (QWidget* w : std::initializer_list<QWidget*>{&cmdReset, &cmdGo, &cmdFont, &cmdUnderLine, &FrameVH})
    w->setEnabled(shown);
}

// ---- Text formatting and "GO" ----

void QuestionEditor::selectAllQuestionText() {
  rtxtQuestion.setSelStart(0);
  rtxtQuestion.setSelLength(rtxtQuestion.TextLength());
}

void QuestionEditor::cmdFont_Click() {
  ui::RichTextBox::Batch batch(rtxtQuestion);
  selectAllQuestionText();
  rtxtQuestion.setSelFontName(rtxtQuestion.SelFontName() == "CBT" ? "Verdana" : "CBT");
  rtxtQuestion.setSelFontSize(11);
}

void QuestionEditor::SetDefaultFont() {
  ui::RichTextBox::Batch batch(rtxtQuestion);
  selectAllQuestionText();
  rtxtQuestion.setSelFontName("Verdana");
  rtxtQuestion.setSelFontSize(11);
}

void QuestionEditor::ConvertUnderline() {
  ui::RichTextBox::Batch batch(rtxtQuestion);
  const int n = rtxtQuestion.TextLength();
  int start = 0, end = 0;
  bool found = false;
  for (int i = 0; i <= n; ++i) {
    rtxtQuestion.setSelStart(i);
    rtxtQuestion.setSelLength(1);
    const QString font = rtxtQuestion.SelFontName();
    if (!found && font == "CBTLINE") {
      start = i;
      found = true;
    } else if (found && font == "CBT") {
      end = i;
      break;
    }
  }
  if (found && end == 0) end = n;  // the run reaches the end of the text
  rtxtQuestion.setSelStart(start);
  rtxtQuestion.setSelLength(end - start);
  rtxtQuestion.setSelUnderline(true);
}

void QuestionEditor::ReplaceSpecialChars() {
  ui::RichTextBox::Batch batch(rtxtQuestion);
  for (const char* special : {"`", "~"}) {
    int p = 0;
    for (;;) {
      int found = rtxtQuestion.Find(QString::fromLatin1(special), p, true);
      if (found < 0) break;
      rtxtQuestion.setSelText(QStringLiteral("\""));
      p = found + 1;
    }
    rtxtQuestion.setSelStart(0);
  }
}

void QuestionEditor::convertLoadedQuestion() {
  {
    ui::RichTextBox::Batch batch(rtxtQuestion);
    ConvertUnderline();
    SetDefaultFont();
    ReplaceSpecialChars();
  }
  SaveQuestion();
  cmdReset_Click();
  SaveLayout();
}

void QuestionEditor::cmdGo_Click() {
  ui::RichTextBox::Batch batch(rtxtQuestion);  // only the last question needs laying out
  store::DeferCheckpoint oneCheckpoint(state_.pConn());  // the log is emptied once, at the end
  for (int i = 0; i < lstQuestion.ListCount(); ++i) {
    state_.currentQNumber = lstQuestion.List(i);
    LoadQuestion();
    convertLoadedQuestion();
  }
}

void QuestionEditor::InitEditLists() { poolEditing_.InitEditLists(cmbAnswer); }

}  // namespace editor
