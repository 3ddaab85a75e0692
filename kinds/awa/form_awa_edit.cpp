#include "form_awa_edit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "awa_text.h"
#include "form_history.h"
#include "print_preview.h"
#include "operation.h"
#include "recordset.h"
#include "statements.h"
#include "text_conversions.h"

namespace kinds {

using store::Recordset;

namespace {

// The window's content in twips; the topic, the strip and the response box keep the essay
// screen's geometry, and everything fits a 1280 x 800 screen with the window's frame.
constexpr double kContentWidth = 15255, kContentHeight = 11250;

// Room that a window manager's frame takes around the content.
constexpr int kFrameWidth = 16, kFrameHeight = 48;

// The content of the window, with the tool strip drawn on it as a shape (it is no control).
class Canvas : public QWidget {
 public:
  Canvas(QWidget* parent, const QRect& bar) : QWidget(parent), bar_(bar) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(bar_, QColor(0xD4, 0xD0, 0xC8));
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(bar_.adjusted(0, 0, -1, -1));
  }

 private:
  QRect bar_;
};

QRect pixels(const FormAWAEdit::Shape& s) {
  return QRect(ui::twipsToPixels(s.Left), ui::twipsToPixels(s.Top), ui::twipsToPixels(s.Width),
               ui::twipsToPixels(s.Height));
}

}  // namespace

ToolPicture::ToolPicture(QWidget* parent, const std::string& bitmap) : ui::PictureBox(parent) {
  setPicture(ui::Bitmap(bitmap));
  // A click on a tool must leave the focus (and the selection) in the response box.
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::PointingHandCursor);
}

void ToolPicture::Press() {
  raiseEvent(Click);
  rethrowPending();
}

void ToolPicture::mouseReleaseEvent(QMouseEvent* e) {
  ui::PictureBox::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) raiseEvent(Click);
}

FormAWAEdit::FormAWAEdit(bank::ProgramState& state, ui::Form& formInit)
    : scroll_(new QScrollArea(this)),
      canvas_(new Canvas(scroll_, pixels(shpBar))),
      lblTitle(canvas_, "AWA Editor"),
      lblPool(canvas_, "Question Pool"),
      cmbPool(canvas_),
      lblQuestion(canvas_, "Question Number"),
      lstQuestion(canvas_),
      cmdAdd(canvas_, "Add"),
      cmdFont(canvas_, "Font"),
      cmdGo(canvas_, "GO"),
      rtxtQuestion(canvas_),
      picCut(canvas_, "awa_cut"),
      picCopy(canvas_, "awa_copy"),
      picPaste(canvas_, "awa_paste"),
      picUndo(canvas_, "awa_undo"),
      picRedo(canvas_, "awa_redo"),
      rtxtAnswer(canvas_),
      cmdReset(canvas_, "Reset"),
      chkBorder(canvas_, ""),
      lblBorder(canvas_, "Border"),
      cmdSave(canvas_, "Save"),
      chkAutoSave(canvas_, ""),
      lblAutoSave(canvas_, "Auto Save"),
      cmdHistory(canvas_, "History"),
      cmdPrint(canvas_, "Print..."),
      state_(state),
      formInit_(formInit),
      record_(editor::recordFields(bank::schema::Kind::AWA), {.values = [this] { return editor::Record{{"question", topicText()}}; },
                             .reload = [this] { LoadQuestion(); },
                             .show = [this](const editor::Record& r) { showTopic(r); }}),
      navigation_({cmbPool, lstQuestion},
                  {.pools = [] { return std::vector<std::string>{"Argument", "Issue"}; },
                   .numbers = [this](const std::string& type) { return topicNumbers(type); },
                   .load = [this] { LoadQuestion(); },
                   .showEmpty =
                       [this] {
                         rtxtQuestion.setTextRTF(QByteArray());
                         record_.clear();
                       },
                   .updateActiveState = [this] { updateActiveState(); },
                   .autoSaveOn = [this] { return autoSaveOn(); },
                   .autoSave =
                       [this] {
                         bank::OperationTag tag(state_.pConn(), bank::Operation::AutoSave);
                         SaveQuestion();
                         tag.commit();
                       },
                   .save = [this] { cmdSave_Click(); },
                   .autoSaveOnClosing = false},
                  state, record_) {
  buildControls();
}

FormAWAEdit::~FormAWAEdit() = default;

void FormAWAEdit::buildControls() {
  setCaption("ZORBEX AWA Editor");
  setDeleteOnUnload(true);
  setWidth(kContentWidth);
  setHeight(kContentHeight);
  canvas_->setFixedSize(ui::twipsToPixels(kContentWidth), ui::twipsToPixels(kContentHeight));
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidget(canvas_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll_);
  fitToScreen(screen()->availableGeometry().size());

  QFont titleFont = lblTitle.font();
  titleFont.setPointSize(16);
  titleFont.setBold(true);
  lblTitle.setFont(titleFont);
  lblTitle.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblTitle.Move(8400, 60, 6615, 600);

  lblPool.Move(120, 0, 1440, 240);
  cmbPool.Move(120, 240, 1335, 330);
  cmbPool.Click = [this] { cmbPool_Click(); };
  // Beside its list: above it, the buttons leave too little room for the caption.
  lblQuestion.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblQuestion.Move(1500, 240, 1680, 330);
  lstQuestion.Move(3240, 240, 1335, 780);
  lstQuestion.Click = [this] { lstQuestion_Click(); };

  cmdAdd.Move(4680, 120, 855, 375);
  cmdAdd.Click = [this] { cmdAdd_Click(); };
  cmdFont.Move(5640, 120, 855, 375);
  cmdFont.Click = [this] { cmdFont_Click(); };
  cmdGo.Move(6840, 120, 855, 375);
  cmdGo.Click = [this] { cmdGo_Click(); };

  rtxtQuestion.Move(240, 1050, 14775, 4215);

  // The essay screen's tools act on the response, as its users expect of them.
  struct Tool {
    ToolPicture& picture;
    double left, width;
    void (QTextEdit::*action)();
  };
  for (const Tool& t : {Tool{picCut, 480, 900, &QTextEdit::cut}, Tool{picCopy, 1920, 1080, &QTextEdit::copy},
                        Tool{picPaste, 3360, 1110, &QTextEdit::paste}, Tool{picUndo, 5040, 1125, &QTextEdit::undo},
                        Tool{picRedo, 6600, 1140, &QTextEdit::redo}}) {
    t.picture.Move(t.left, 5520, t.width, 345);
    t.picture.Click = [this, action = t.action] { (rtxtAnswer.*action)(); };
  }

  rtxtAnswer.Move(240, 5970, 14775, 4665);

  cmdReset.Move(240, 10680, 855, 375);
  chkBorder.Move(1320, 10740, 270, 270);
  lblBorder.Move(1620, 10740, 900, 255);
  cmdSave.Move(11880, 10680, 615, 375);
  cmdSave.Click = [this] { cmdSave_Click(); };
  chkAutoSave.Move(13680, 10800, 270, 270);
  lblAutoSave.Move(13980, 10800, 1035, 255);
  cmdHistory.Move(12600, 10680, 855, 375);
  cmdHistory.setObjectName("cmdHistory");
  cmdHistory.Click = [this] { cmdHistory_Click(); };
  cmdPrint.Move(10920, 10680, 855, 375);
  cmdPrint.setObjectName("cmdPrint");
  cmdPrint.Click = [this] { cmdPrint_Click(); };
}

void FormAWAEdit::fitToScreen(const QSize& available) {
  const QSize content = canvas_->size();
  const QSize room(available.width() - kFrameWidth, available.height() - kFrameHeight);
  // A scroll bar in one direction takes room from the other; give it that room where the
  // screen has it, so that one scroll bar does not bring the second.
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int width = content.width() + (content.height() > room.height() ? bar : 0);
  const int height = content.height() + (content.width() > room.width() ? bar : 0);
  resize(std::min(width, room.width()), std::min(height, room.height()));
}

// ---- Window life ----

void FormAWAEdit::Form_Load() {
  FillPoolList();
  FillQuestionList();
}

void FormAWAEdit::Form_Unload() {
  navigation_.leaveWindow();
  formInit_.Show();
}

// ---- Navigation ----

std::vector<std::string> FormAWAEdit::topicNumbers(const std::string& type) {
  std::vector<std::string> numbers;
  Recordset rs;
  rs.open(store::statements::topicsOfType(type == "Argument" ? "A" : "I"), state_.pConn(), store::adOpenDynamic,
          store::adLockReadOnly);
  for (; !rs.eof(); rs.moveNext()) numbers.push_back(rs.value("numQ").toString());
  rs.close();
  return numbers;
}

void FormAWAEdit::updateActiveState() {
  const bool shown = !state_.currentQNumber.empty();
  for (QWidget* w : std::initializer_list<QWidget*>{&cmdSave, &cmdAdd, &cmdFont, &cmdGo, &cmdHistory, &cmdPrint}) w->setEnabled(shown);
}

// ---- Loading and saving ----

std::string FormAWAEdit::topicText() const { return rtxtQuestion.TextRTF().toStdString(); }

void FormAWAEdit::LoadQuestion() {
  // A topic removed elsewhere since the list was filled shows as an empty one.
  const std::optional<editor::Record> r = record_.load(state_.pConn(), state_.currentQNumber);
  showTopic(r.value_or(editor::Record()));
  record_.markShown();
  updateActiveState();
}

void FormAWAEdit::SaveQuestion() {
  record_.save(state_.pConn(), state_.currentQNumber, {{"question", store::Value(topicText())}},
               editor::FieldWrite::Content);
}

void FormAWAEdit::cmdHistory_Click() {
  if (state_.currentQNumber.empty()) return;
  editor::showHistory(state_.pConn(), bank::schema::Kind::AWA, state_.currentQNumber);
}

void FormAWAEdit::cmdPrint_Click() {
  editor::printFromEditor(cmdPrint, state_.pConn(), bank::schema::Kind::AWA, shownNumber(), shownPool());
}

void FormAWAEdit::showTopic(const editor::Record& r) {
  auto topic = r.find("question");
  rtxtQuestion.setTextRTF(topic == r.end() ? QByteArray() : QByteArray::fromStdString(topic->second.toString()));
}

void FormAWAEdit::settleEdits(const std::string& numQ) {
  editor::settleEdits(record_, shownNumber(), numQ, [this] { cmdSave_Click(); });
}

void FormAWAEdit::storedChanged(const std::string& numQ) {
  if (numQ != shownNumber() || record_.hasUnsavedEdits()) return;
  LoadQuestion();
}

void FormAWAEdit::bringBack(const std::string& pool, const std::string& numQ, const editor::Record& edits) {
  if (!navigation_.show(pool, numQ)) return;  // no longer in the bank: nothing to put the edits on
  showTopic(record_.loadedWith(edits));
}

void FormAWAEdit::showAt(const std::string& pool, const std::string& numQ, const std::string&,
                         const std::optional<editor::TextRange>& range) {
  navigation_.choose(pool, numQ);
  raise();
  activateWindow();
  if (range) editor::selectRange(rtxtQuestion, *range);
}

void FormAWAEdit::cmdSave_Click() {
  bank::OperationTag tag(state_.pConn(), bank::Operation::Save);
  SaveQuestion();
  tag.commit();
}

// ---- Text conversions ----

void FormAWAEdit::cmdAdd_Click() { awa::prependInstruction(rtxtQuestion); }

void FormAWAEdit::cmdFont_Click() {
  ui::RichTextBox::Batch batch(rtxtQuestion);
  editor::setDefaultFont(rtxtQuestion);
  editor::replaceSpecialChars(rtxtQuestion);
}

void FormAWAEdit::cmdGo_Click() {
  navigation_.leaveQuestion();  // "GO" loads every topic of the list in turn
  {
    ui::RichTextBox::Batch batch(rtxtQuestion);  // only the last topic needs laying out
    bank::OperationTag tag(state_.pConn(), bank::Operation::Go);
    navigation_.throughList([this, &tag] {
      cmdAdd_Click();
      cmdFont_Click();
      SaveQuestion();
      tag.commit();
    });
  }
  // The last topic stays on screen, unselected, and highlighted in the list.
  rtxtQuestion.setSelStart(0);
  rtxtQuestion.ScrollToTop();
  navigation_.selectCurrent();
}

}  // namespace kinds
