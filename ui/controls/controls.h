#pragma once
// Thin controls over Qt widgets, with twips geometry and the event order the windows'
// logic relies on:
// - a setter that raises an event runs its handler to the end before it returns;
// - clearing a list raises nothing, and adding to a list selects nothing;
// - a slider's Scroll event comes from the user only.
// Handlers are plain members (std::function) that the window assigns to its own methods.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "events.h"
#include "twips_geometry.h"

namespace ui {

using Handler = std::function<void()>;
using IndexHandler = std::function<void(int)>;

// What a window needs to place any control from a table of twips rectangles.
class Placeable {
 public:
  virtual void Move(double left, double top, double width, double height) = 0;

 protected:
  ~Placeable() = default;
};

// Geometry in twips and the common properties, over any Qt widget.
template <class W>
class Control : public W, public Placeable {
 public:
  explicit Control(QWidget* parent) : W(parent), geometry_(this) {}

  double Left() const { return geometry_.Left(); }
  double Top() const { return geometry_.Top(); }
  double Width() const { return geometry_.Width(); }
  double Height() const { return geometry_.Height(); }
  void setLeft(double v) { geometry_.setLeft(v); }
  void setTop(double v) { geometry_.setTop(v); }
  void setWidth(double v) { geometry_.setWidth(v); }
  void setHeight(double v) { geometry_.setHeight(v); }
  void Move(double left, double top, double width, double height) override {
    geometry_.Move(left, top, width, height);
  }

  bool Enabled() const { return this->isEnabled(); }
  // The control's own Visible setting (its window may be hidden).
  bool Visible() const { return !this->isHidden(); }
  void SetFocus() { this->setFocus(Qt::OtherFocusReason); }
  // Paints the control now, inside the running handler.
  void Refresh() { this->repaint(); }

 protected:
  // Runs handler; for use inside a Qt signal or virtual event.
  void raiseEvent(const Handler& handler) { gate_.raise(handler); }
  // After the Qt call of a setter has returned: passes on the error of a nested handler.
  void rethrowPending() { gate_.rethrowPending(); }

 private:
  EventGate gate_;
  TwipsGeometry geometry_;
};

class Label : public Control<QLabel> {
 public:
  explicit Label(QWidget* parent, const std::string& caption = "");
  std::string Caption() const { return text().toStdString(); }
  void setCaption(const std::string& c) { setText(QString::fromStdString(c)); }
  Handler Click;

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
};

// A frame groups controls; their twips are relative to it.
class Frame : public Control<QGroupBox> {
 public:
  explicit Frame(QWidget* parent, const std::string& caption = "");
  std::string Caption() const { return title().toStdString(); }
  void setCaption(const std::string& c) { setTitle(QString::fromStdString(c)); }
};

class CommandButton : public Control<QPushButton> {
 public:
  explicit CommandButton(QWidget* parent, const std::string& caption = "");
  std::string Caption() const { return text().toStdString(); }
  void setCaption(const std::string& c) { setText(QString::fromStdString(c)); }
  // Raises Click as a user's click does (Value = True).
  void Press();
  Handler Click;
};

class TextBox : public Control<QLineEdit> {
 public:
  explicit TextBox(QWidget* parent);
  std::string Text() const { return text().toStdString(); }
  // Raises Change before returning when the text differs.
  void setText(const std::string& t);
  int MaxLength() const { return maxLength_; }
  void setMaxLength(int n);  // 0: no limit
  int SelStart() const;
  int SelLength() const;
  void setSelStart(int start);
  void setSelLength(int length);
  std::string SelText() const { return selectedText().toStdString(); }
  Handler Change;
  Handler Click;
  Handler LostFocus;

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  int maxLength_ = 0;
};

// A text box for one long line (a choice): the text wraps within the box's width and
// shows as many lines as the box's height holds. What is set is what Text gives back
// until the user edits it; Enter adds no line break, pasted breaks become spaces, and Tab
// moves to the next control.
class WrappingTextBox : public Control<QPlainTextEdit> {
 public:
  explicit WrappingTextBox(QWidget* parent);
  std::string Text() const { return text_; }
  // Raises Change before returning when the text differs.
  void setText(const std::string& t);
  void setFrame(bool on) { setFrameShape(on ? QFrame::StyledPanel : QFrame::NoFrame); }
  int SelStart() const { return textCursor().selectionStart(); }
  int SelLength() const { return textCursor().selectionEnd() - textCursor().selectionStart(); }
  void setSelStart(int start);
  void setSelLength(int length);
  Handler Change;
  Handler Click;
  Handler LostFocus;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void insertFromMimeData(const QMimeData* source) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  std::string text_;
  bool setting_ = false;
};

// Check boxes and option buttons are used in arrays: their events carry the index.
class CheckBox : public Control<QCheckBox> {
 public:
  CheckBox(QWidget* parent, const std::string& caption, int index = 0);
  int Value() const { return isChecked() ? 1 : 0; }
  // Raises Click before returning when the value changes, as a user's click does.
  void setValue(int v);
  int Index() const { return index_; }
  IndexHandler Click;

 private:
  int index_;
};

class OptionButton : public Control<QRadioButton> {
 public:
  OptionButton(QWidget* parent, const std::string& caption, int index = 0);
  std::string Caption() const { return text().toStdString(); }
  bool Value() const { return isChecked(); }
  // True clears the other options of the same container and raises Click before
  // returning; False clears this option only and raises nothing.
  void setValue(bool v);
  int Index() const { return index_; }
  IndexHandler Click;

 private:
  int index_;
};

// Controls of one kind sharing a name and an event handler with the index. A control
// whose own Click carries no index gets its place in the array as the index.
template <class C>
class ControlArray {
 public:
  C& operator[](int i) { return *items_.at(static_cast<size_t>(i)); }
  const C& operator[](int i) const { return *items_.at(static_cast<size_t>(i)); }
  int Count() const { return static_cast<int>(items_.size()); }
  C& add(C* control) {
    if constexpr (std::is_invocable_v<decltype(control->Click), int>) {
      control->Click = [this](int i) {
        if (Click) Click(i);
      };
    } else {
      control->Click = [this, i = Count()] {
        if (Click) Click(i);
      };
    }
    items_.push_back(control);
    return *control;
  }
  IndexHandler Click;

 private:
  std::vector<C*> items_;  // owned by their Qt parent
};

using OptionArray = ControlArray<OptionButton>;
using CheckArray = ControlArray<CheckBox>;

// Shared by the drop-down list and the list box: entries and the selected index.
// Setting ListIndex from code raises Click before it returns when the selection changes;
// Clear and AddItem raise nothing.
class ComboBox : public Control<QComboBox> {
 public:
  explicit ComboBox(QWidget* parent);
  void Clear();
  void AddItem(const std::string& item);
  void RemoveItem(int index);
  int ListCount() const { return count(); }
  std::string List(int index) const { return itemText(index).toStdString(); }
  int ListIndex() const { return currentIndex(); }
  void setListIndex(int index);
  // Puts back a selection (after a failed change) without raising Click.
  void restoreListIndex(int index);
  std::string Text() const { return currentText().toStdString(); }
  Handler Click;

 private:
  bool quiet_ = false;
};

class ListBox : public Control<QListWidget> {
 public:
  // multiSelect: a click selects one entry, Shift and Ctrl extend the selection.
  explicit ListBox(QWidget* parent, bool multiSelect = false);
  void Clear();
  void AddItem(const std::string& item);
  void RemoveItem(int index);
  int ListCount() const { return count(); }
  std::string List(int index) const;
  // The current entry (the one with the focus); -1 for none.
  int ListIndex() const { return currentRow(); }
  void setListIndex(int index);
  // Puts back a selection (after a failed change) without raising Click.
  void restoreListIndex(int index);
  std::string Text() const { return ListIndex() < 0 ? std::string() : List(ListIndex()); }
  bool Selected(int index) const;
  void setSelected(int index, bool on);
  int SelCount() const { return static_cast<int>(selectedItems().size()); }
  Handler Click;

 private:
  bool quiet_ = false;
};

// Scroll is raised only when the user moves the slider; values set from code raise nothing.
class Slider : public Control<QSlider> {
 public:
  explicit Slider(QWidget* parent, Qt::Orientation orientation = Qt::Horizontal);
  int Min() const { return minimum(); }
  int Max() const { return maximum(); }
  int TickFrequency() const { return tickInterval(); }
  int Value() const { return value(); }
  void setMin(int v);
  void setMax(int v);
  void setTickFrequency(int v) { setTickInterval(v); }
  void setValue(int v);
  Handler Scroll;

 private:
  bool fromCode_ = false;
};

// 0 to 100; a new value is painted at once.
class ProgressBar : public Control<QProgressBar> {
 public:
  explicit ProgressBar(QWidget* parent);
  int Value() const { return value(); }
  void setValue(int v);
};

// The program's bitmaps by resource number (103, 104) or name ("next", "exit", "app_icon").
QPixmap Bitmap(int resourceId);
QPixmap Bitmap(const std::string& name);

class Image : public Control<QLabel> {
 public:
  explicit Image(QWidget* parent, int index = 0);
  void setPicture(const QPixmap& picture);
  int Index() const { return index_; }
  // Raises Click as a user's click does.
  void Press();
  // From inside another control's Qt event: raises Click as a click does (an error is
  // shown, not passed on).
  void clickFromUser();
  // Takes the focus like a button: Tab reaches it, a frame shows the focus, and Enter or
  // Space clicks it.
  void setTakesFocus(bool on);
  IndexHandler Click;

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  int index_;
};

// A picture box; it can hold the focus.
class PictureBox : public Control<QLabel> {
 public:
  explicit PictureBox(QWidget* parent);
  void setPicture(const QPixmap& picture) { setPixmap(picture); }
};

// A timer with interval 0 never fires.
class Timer {
 public:
  explicit Timer(QObject* parent);
  int Interval() const { return interval_; }
  void setInterval(int ms);
  Handler Tick;

 private:
  QTimer* timer_;
  EventGate gate_;
  int interval_ = 0;
};

}  // namespace ui
