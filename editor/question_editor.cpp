#include "question_editor.h"

#include <QPlainTextEdit>
#include <QTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "controls/dialogs.h"
#include "controls/events.h"
#include "form_history.h"
#include "kind_registry.h"
#include "operation.h"
#include "print_preview.h"
#include "question_geometry.h"
#include "recordset.h"
#include "statements.h"
#include "text_conversions.h"

namespace editor {

using bank::schema::fieldFor;
using bank::schema::Holds;

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

// What a window frame adds around the client area at 100% scaling (pixels).
constexpr int kFrameWidth = 16, kFrameHeight = 48;

}  // namespace

QuestionEditor::QuestionEditor(const EditorKind& kind, bank::ProgramState& state, ui::Form& formInit,
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
      cmdPrint(this, "Print..."),
      TimerInit(this),
      sizes_({OptHW, txtValue, SliderVH}, kind, *this),
      pFocus(sizes_.pFocus),
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

void QuestionEditor::placeControls(const std::vector<ControlPlace>& places) {
  for (const ControlPlace& p : places) {
    ui::Placeable* control = sharedControl(*this, p.control);
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
  place(cmdHistory, kHistoryPlace);
  cmdPrint.setObjectName("cmdPrint");
  cmdPrint.Click = [this] { cmdPrint_Click(); };
  place(cmdPrint, kPrintPlace);

  // The shared column places what any kind may have; the kind's table only what it has.
  for (const ControlPlace& p : sharedPlaces())
    if (ui::Placeable* control = sharedControl(*this, p.control)) place(*control, p.place);
  placeControls(kind_.places);

  for (QWidget* w : std::initializer_list<QWidget*>{&cmdReset, pointerTo(cmdGo), pointerTo(cmdFont),
                                                    pointerTo(cmdUnderLine), &FrameVH, &cmdHistory, &cmdPrint})
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
  sizes_.clear();
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
  sizes_.load(r);
  rtxtQuestion.setTextRTF(QByteArray::fromStdString(r.at(fieldFor(kind_.kind, Holds::Stem)).toString()));
  for (Panel* p : panels_) p->load(r);
  const std::string answer = r.at(fieldFor(kind_.kind, Holds::Answer)).toString();
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
  for (; !rs.eof(); rs.moveNext()) pools.push_back(rs.value(fieldFor(kind_.kind, Holds::Pool)).toString());
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
  sizes_.focusElement(focus);
  ShowSizeValue();
}

void QuestionEditor::ShowSizeValue() { sizes_.showValue(); }

void QuestionEditor::SliderVH_Scroll() { sizes_.showSliderValue(); }

void QuestionEditor::txtValue_Change() {
  if (questionShown()) sizes_.takeTypedValue();
  ArrangeControls();
}

void QuestionEditor::chkBorder_Click() {
  const bool on = chkBorder.Value() == 1;
  rtxtQuestion.setBorder(on);
  for (Panel* p : panels_) p->setBorder(on);
}

// ---- Saving ----

Record QuestionEditor::layoutValues() {
  Record r = sizes_.values();
  for (Panel* p : panels_) p->saveLayout(r);
  return r;
}

Record QuestionEditor::contentValues() {
  Record r;
  r[fieldFor(kind_.kind, Holds::Stem)] = rtxtQuestion.TextRTF().toStdString();
  for (Panel* p : panels_) p->saveContent(r);
  r[fieldFor(kind_.kind, Holds::Answer)] = cmbAnswer.Text();
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
  return SizeEditing::asShown(v);
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

void QuestionEditor::cmdPrint_Click() {
  printFromEditor(cmdPrint, state_.pConn(), kind_.kind, shownNumber(), shownPool());
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

void QuestionEditor::showAt(const std::string& pool, const std::string& numQ, const std::string& field,
                            const std::optional<TextRange>& range) {
  navigation_.choose(pool, numQ);
  raise();
  activateWindow();
  if (!range) return;
  QWidget* box = field == fieldFor(kind_.kind, Holds::Stem) ? &rtxtQuestion : nullptr;
  for (Panel* p : panels_)
    if (!box) box = p->boxOf(field);
  if (box) selectRange(*box, *range);
}

void QuestionEditor::chkAutoSave_Click() { updateActiveState(); }

void QuestionEditor::cmdReset_Click() {
  sizes_.reset();
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
    store::Connection& conn = state_.pConn();
    store::DeferCheckpoint oneCheckpoint(conn);
    bank::OperationTag tag(conn, bank::Operation::Go);
    conn.reachTable(kind_.record.table);  // a linked file cannot be attached inside the transaction
    // One transaction for the pool, not two commits per question. A refusal part-way (its own
    // writes taken back with their savepoint) keeps the questions done before it.
    store::Transaction pool(conn);
    try {
      navigation_.throughList([this] { convertLoadedQuestion(); });
    } catch (...) {
      try {
        pool.commit();
      } catch (const store::DbError&) {
        // A commit that fails rolls back; the refusal is what the user is told of.
      }
      throw;
    }
    pool.commit();
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
  if (!rs.eof()) shown.pool = rs.value(fieldFor(kind_.kind, Holds::Pool)).toString();
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
