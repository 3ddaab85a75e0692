#pragma once
// The sizes of the boxes of the question on screen, and their editing in the "Edit Hieght /
// Width" frame: the element clicked last (pFocus: "0" the stem, then the kind's others) has
// its height or width shown in the value box and on the slider; a number typed into the box
// becomes that element's size when the layout can draw it. The sizes are the window's layout
// variables: read with a question, written by SaveLayout, set by "Reset".

#include <string>

#include "controls/controls.h"
#include "editor_kind.h"
#include "layout.h"
#include "question_record.h"

namespace editor {

struct SizeControls {
  ui::OptionArray& OptHW;  // 0 "Height", 1 "Width"
  ui::TextBox& txtValue;
  ui::Slider& SliderVH;
};

class SizeEditing {
 public:
  SizeEditing(SizeControls controls, const EditorKind& kind, LayoutValues& sizes);

  std::string pFocus = "0";
  double bufWidth = 0;
  float bufHeight = 0;

  // Makes `focus` the edited element and takes its sizes into the buffers.
  void focusElement(const std::string& focus);
  // The buffered size of the chosen dimension in the value box and on the slider.
  void showValue();
  // The slider's position in the value box (the user moved it).
  void showSliderValue();
  // The value box's number as the focused element's size, when it is a size the layout
  // can draw; anything else leaves the sizes as they are.
  void takeTypedValue();

  // The sizes of question r; none for a question not shown.
  void load(const Record& r);
  void clear();
  // The size fields as SaveLayout writes them.
  Record values() const;
  // What "Reset" sets.
  void reset();
  // A stored size as it comes back through the value box: in the box's precision, or Null
  // for none; a size that went through the box unchanged is no edit.
  static store::Value asShown(const store::Value& v);

 private:
  // The focused element's size variables by pFocus; nullptr when nothing is focused.
  const SizeTarget* focusedTarget() const;
  // The size that a typed value goes to; SizeOf::None for none.
  bank::schema::SizeOf typedValueSize() const;

  SizeControls c_;
  const EditorKind& kind_;
  LayoutValues& sizes_;
};

}  // namespace editor
