#pragma once
// The parts of a question that a kind's window composes: each shows its fields of the
// record, gives back what "Save" writes, and takes its place from the arrangement.
// Choices come as plain text boxes, rich-text boxes or fixed texts behind one interface.

#include <QWidget>
#include <array>
#include <string>

#include "controls/controls.h"
#include "layout.h"
#include "bank_record.h"
#include "rich_text_box.h"

namespace editor {

class Panel {
 public:
  virtual ~Panel() = default;
  // Shows the stored values of a question.
  virtual void load(const Record& r) = 0;
  // Shows an empty question (none, or one removed elsewhere).
  virtual void clear() = 0;
  // Adds the values that SaveQuestion writes.
  virtual void saveContent(Record& r) const = 0;
  // Adds the values, beyond the sizes, that SaveLayout writes.
  virtual void saveLayout(Record&) const {}
  virtual void setBorder(bool) {}
  virtual void place(const Arrangement&) {}
  // The rich text of the panel in Verdana 11 ("GO").
  virtual void setDefaultFont() {}
  // The box that shows field; nullptr for a field not on this panel.
  virtual QWidget* boxOf(const std::string&) { return nullptr; }
};

// The five choices A..E with their markers (an empty or a filled circle beside each).
class ChoicesPanel : public Panel {
 public:
  explicit ChoicesPanel(QWidget* parent);
  ui::ControlArray<ui::Image> imgClick;
  // A click into choice box i (markers raise imgClick.Click).
  ui::IndexHandler BoxClick;

  void ClearChoiceMarks();
  // Fills marker i and empties the others.
  void markChoice(int index);
  void place(const Arrangement& a) override;

 protected:
  virtual void placeBox(int index, const Rect& r) = 0;
  static std::string fieldOf(int index);  // the field of choice A .. E
  // The choice that field holds, 0..4; -1 for another field.
  static int indexOf(const std::string& field);
};

// Plain-text choices in Verdana, each written only when its box is not empty.
class PlainChoices : public ChoicesPanel {
 public:
  explicit PlainChoices(QWidget* parent);
  ui::ControlArray<ui::WrappingTextBox> txtAnswer;

  void load(const Record& r) override;
  void clear() override;
  void saveContent(Record& r) const override;
  void setBorder(bool on) override;
  QWidget* boxOf(const std::string& field) override;

 protected:
  void placeBox(int index, const Rect& r) override;
};

// The same five answers for every question, shown read-only and never stored.
class FixedChoices : public PlainChoices {
 public:
  FixedChoices(QWidget* parent, const std::array<const char*, 5>& texts);
  void load(const Record&) override {}
  void clear() override {}
  void saveContent(Record&) const override {}
  void setBorder(bool) override {}  // the fixed texts keep theirs
};

// Rich-text choices, stored as RTF, each written only when its plain text is not empty.
class RichChoices : public ChoicesPanel {
 public:
  explicit RichChoices(QWidget* parent);
  ui::ControlArray<ui::RichTextBox> rtxtAnswer;

  void load(const Record& r) override;
  void clear() override;
  void saveContent(Record& r) const override;
  void setBorder(bool on) override;
  void setDefaultFont() override;
  QWidget* boxOf(const std::string& field) override;

 protected:
  void placeBox(int index, const Rect& r) override;
};

}  // namespace editor
