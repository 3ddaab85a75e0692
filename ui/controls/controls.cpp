#include "controls.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTextBlock>
#include <QPixmap>
#include <algorithm>
#include <limits>

namespace ui {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

Label::Label(QWidget* parent, const std::string& caption) : Control<QLabel>(parent) {
  setCaption(caption);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void Label::mouseReleaseEvent(QMouseEvent* e) {
  QLabel::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) raiseEvent(Click);
}

Frame::Frame(QWidget* parent, const std::string& caption) : Control<QGroupBox>(parent) { setCaption(caption); }

CommandButton::CommandButton(QWidget* parent, const std::string& caption) : Control<QPushButton>(parent) {
  setCaption(caption);
  setAutoDefault(false);
  QObject::connect(this, &QPushButton::clicked, this, [this] { raiseEvent(Click); });
}

void CommandButton::Press() {
  click();
  rethrowPending();
}

// QLineEdit cuts its text at 32,767 characters by default; a box holds what its field holds.
constexpr int kNoLengthLimit = std::numeric_limits<int>::max();

TextBox::TextBox(QWidget* parent) : Control<QLineEdit>(parent) {
  QLineEdit::setMaxLength(kNoLengthLimit);
  QObject::connect(this, &QLineEdit::textChanged, this, [this] { raiseEvent(Change); });
}

void TextBox::setText(const std::string& t) {
  QLineEdit::setText(q(t));
  rethrowPending();
}

void TextBox::setMaxLength(int n) {
  maxLength_ = n;
  QLineEdit::setMaxLength(n > 0 ? n : kNoLengthLimit);  // may shorten the text: a change
  rethrowPending();
}

int TextBox::SelStart() const { return hasSelectedText() ? selectionStart() : cursorPosition(); }
int TextBox::SelLength() const { return hasSelectedText() ? selectionLength() : 0; }
void TextBox::setSelStart(int start) { setCursorPosition(start); }
void TextBox::setSelLength(int length) { setSelection(cursorPosition(), length); }

void TextBox::mouseReleaseEvent(QMouseEvent* e) {
  QLineEdit::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton) raiseEvent(Click);
}

void TextBox::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  raiseEvent(LostFocus);
}

WrappingTextBox::WrappingTextBox(QWidget* parent) : Control<QPlainTextEdit>(parent) {
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTabChangesFocus(true);
  document()->setDocumentMargin(0);
  QObject::connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (setting_) return;
    // A user's edit: the text as shown, a stored line break (kept as a paragraph) as CR LF.
    QStringList lines;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) lines << b.text();
    text_ = lines.join(QStringLiteral("\r\n")).toStdString();
    raiseEvent(Change);
  });
}

void WrappingTextBox::setText(const std::string& t) {
  if (t == text_) return;
  text_ = t;
  setting_ = true;
  setPlainText(q(t).replace(QLatin1String("\r\n"), QLatin1String("\n")));
  setting_ = false;
  raiseEvent(Change);
  rethrowPending();
}

void WrappingTextBox::setSelStart(int start) {
  QTextCursor c = textCursor();
  c.setPosition(std::clamp(start, 0, static_cast<int>(document()->characterCount()) - 1));
  setTextCursor(c);
}

void WrappingTextBox::setSelLength(int length) {
  QTextCursor c = textCursor();
  const int start = c.selectionStart();
  c.setPosition(start);
  c.setPosition(std::clamp(start + length, start, static_cast<int>(document()->characterCount()) - 1),
                QTextCursor::KeepAnchor);
  setTextCursor(c);
}

void WrappingTextBox::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    e->ignore();  // one line: Enter is the window's
    return;
  }
  QPlainTextEdit::keyPressEvent(e);
}

void WrappingTextBox::insertFromMimeData(const QMimeData* source) {
  QString text = source->text();
  text.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  insertPlainText(text);
}

void WrappingTextBox::mouseReleaseEvent(QMouseEvent* e) {
  QPlainTextEdit::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton) raiseEvent(Click);
}

void WrappingTextBox::focusOutEvent(QFocusEvent* e) {
  QPlainTextEdit::focusOutEvent(e);
  raiseEvent(LostFocus);
}

CheckBox::CheckBox(QWidget* parent, const std::string& caption, int index)
    : Control<QCheckBox>(parent), index_(index) {
  setText(q(caption));
  // Every change of the value, by the user or from code, is a click.
  QObject::connect(this, &QCheckBox::toggled, this, [this] {
    raiseEvent([this] {
      if (Click) Click(index_);
    });
  });
}

void CheckBox::setValue(int v) {
  setChecked(v != 0);
  rethrowPending();
}

OptionButton::OptionButton(QWidget* parent, const std::string& caption, int index)
    : Control<QRadioButton>(parent), index_(index) {
  setText(q(caption));
  QObject::connect(this, &QRadioButton::toggled, this, [this](bool on) {
    if (!on) return;
    raiseEvent([this] {
      if (Click) Click(index_);
    });
  });
}

void OptionButton::setValue(bool v) {
  if (v) {
    setChecked(true);
    rethrowPending();
    return;
  }
  // Qt keeps one option of a group checked; clearing it from code must still be possible.
  const bool exclusive = autoExclusive();
  setAutoExclusive(false);
  setChecked(false);
  setAutoExclusive(exclusive);
}

ComboBox::ComboBox(QWidget* parent) : Control<QComboBox>(parent) {
  QObject::connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!quiet_ && index >= 0) raiseEvent(Click);
  });
}

void ComboBox::Clear() {
  quiet_ = true;
  clear();
  quiet_ = false;
}

void ComboBox::AddItem(const std::string& item) {
  // Qt selects the first entry added to an empty list; the list keeps no selection.
  quiet_ = true;
  const int before = currentIndex();
  addItem(q(item));
  if (before < 0) setCurrentIndex(-1);
  quiet_ = false;
}

void ComboBox::RemoveItem(int index) {
  quiet_ = true;
  removeItem(index);
  quiet_ = false;
}

void ComboBox::setListIndex(int index) {
  setCurrentIndex(index);
  rethrowPending();
}

void ComboBox::restoreListIndex(int index) {
  quiet_ = true;
  setCurrentIndex(index);
  quiet_ = false;
}

ListBox::ListBox(QWidget* parent, bool multiSelect) : Control<QListWidget>(parent) {
  setSelectionMode(multiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  QObject::connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!quiet_ && row >= 0) raiseEvent(Click);
  });
}

void ListBox::Clear() {
  quiet_ = true;
  clear();
  quiet_ = false;
}

void ListBox::AddItem(const std::string& item) {
  quiet_ = true;
  addItem(q(item));
  quiet_ = false;
}

void ListBox::RemoveItem(int index) {
  quiet_ = true;
  delete takeItem(index);
  quiet_ = false;
}

std::string ListBox::List(int index) const {
  const QListWidgetItem* it = item(index);
  return it ? it->text().toStdString() : std::string();
}

void ListBox::setListIndex(int index) {
  if (index < 0) {
    quiet_ = true;
    setCurrentRow(-1);
    quiet_ = false;
    return;
  }
  setCurrentRow(index);
  rethrowPending();
}

void ListBox::restoreListIndex(int index) {
  quiet_ = true;
  setCurrentRow(index);
  quiet_ = false;
}

bool ListBox::Selected(int index) const {
  const QListWidgetItem* it = item(index);
  return it && it->isSelected();
}

void ListBox::setSelected(int index, bool on) {
  if (QListWidgetItem* it = item(index)) it->setSelected(on);
}

Slider::Slider(QWidget* parent, Qt::Orientation orientation) : Control<QSlider>(parent) {
  setOrientation(orientation);
  setTickPosition(QSlider::TicksBelow);
  QObject::connect(this, &QSlider::valueChanged, this, [this] {
    if (!fromCode_) raiseEvent(Scroll);
  });
}

void Slider::setMin(int v) {
  fromCode_ = true;
  setMinimum(v);
  fromCode_ = false;
}

void Slider::setMax(int v) {
  fromCode_ = true;
  setMaximum(v);
  fromCode_ = false;
}

void Slider::setValue(int v) {
  fromCode_ = true;
  QSlider::setValue(v);
  fromCode_ = false;
}

ProgressBar::ProgressBar(QWidget* parent) : Control<QProgressBar>(parent) {
  setRange(0, 100);
  QProgressBar::setValue(0);
  setTextVisible(false);
}

void ProgressBar::setValue(int v) {
  if (v == value()) return;  // a long loop sets the same value many times
  QProgressBar::setValue(v);
  repaint();
}

QPixmap Bitmap(int resourceId) { return QPixmap(QString(":/zorbex/%1.xpm").arg(resourceId)); }
QPixmap Bitmap(const std::string& name) { return QPixmap(":/zorbex/" + q(name) + ".xpm"); }

Image::Image(QWidget* parent, int index) : Control<QLabel>(parent), index_(index) {
  setAlignment(Qt::AlignCenter);
  setCursor(Qt::PointingHandCursor);
}

void Image::setPicture(const QPixmap& picture) { setPixmap(picture); }

void Image::Press() {
  raiseEvent([this] {
    if (Click) Click(index_);
  });
  rethrowPending();
}

void Image::clickFromUser() {
  raiseEvent([this] {
    if (Click) Click(index_);
  });
}

void Image::mouseReleaseEvent(QMouseEvent* e) {
  QLabel::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) clickFromUser();
}

void Image::setTakesFocus(bool on) { setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus); }

void Image::keyPressEvent(QKeyEvent* e) {
  const bool press = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space;
  if (focusPolicy() == Qt::NoFocus || !press) {
    QLabel::keyPressEvent(e);
    return;
  }
  e->accept();
  clickFromUser();
}

void Image::paintEvent(QPaintEvent* e) {
  QLabel::paintEvent(e);
  if (!hasFocus()) return;
  QPainter p(this);
  QStyleOptionFocusRect frame;
  frame.initFrom(this);
  frame.rect = rect().adjusted(1, 1, -1, -1);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &p, this);
}

PictureBox::PictureBox(QWidget* parent) : Control<QLabel>(parent) { setFocusPolicy(Qt::StrongFocus); }

Timer::Timer(QObject* parent) : timer_(new QTimer(parent)) {
  QObject::connect(timer_, &QTimer::timeout, timer_, [this] { gate_.raise(Tick); });
}

void Timer::setInterval(int ms) {
  interval_ = ms;
  if (ms > 0)
    timer_->start(ms);
  else
    timer_->stop();
}

}  // namespace ui
