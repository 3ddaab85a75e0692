#pragma once
// Where the boxes of a question stand: a pure function from the stored sizes to twips
// rectangles, one arrangement per way of stacking the boxes, tested without any widget.

#include <array>
#include <string>

#include "value.h"

namespace editor {

struct Rect {
  double left = 0, top = 0, width = 0, height = 0;
  double bottom() const { return top + height; }
  double right() const { return left + width; }
  bool operator==(const Rect&) const = default;
};

// The window variables that hold a question's sizes (centimetres, or units of 540 twips
// for DS statements; empty or 0 means the default size) and the statement label flags.
struct LayoutValues {
  store::Value questionHeight, questionWidth, choiceAWidth;
  std::array<store::Value, 5> choiceHeight;  // choiceAHeight .. choiceEHeight
  store::Value stateHeight1, stateHeight2, stateWidth;
  bool flgStatePos1 = false, flgStatePos2 = false;

  // The variable of a layout field by its field name; nullptr for another name.
  store::Value* byField(const std::string& field);
};

// How the boxes follow each other down the window.
enum class Stacking {
  MarkersFirst,  // each marker 330 below the box above; its choice box 40 above the marker
  BoxesFirst,    // each choice box 330 below the one above; its marker centred beside it
  Statements,    // two statements below the stem, then five one-line fixed choices
};

// A kind's design-time geometry: where the boxes stand before any size is applied, and
// the constants of its arrangement.
struct KindGeometry {
  Stacking stacking = Stacking::MarkersFirst;
  double twipsPerUnit = 567;  // per stored centimetre (DS: 540)
  double choiceFactor = 1;    // applied to stored choice heights only (RC: 1.05)
  Rect question;              // its height is the default height
  Rect firstChoice;           // left, width and default height of every choice box
  Rect firstMarker;           // left, width and height of every marker
  std::array<Rect, 2> statements{};   // left, width, default height (DS)
  std::array<Rect, 2> stateLabels{};  // left, width, height (DS)
};

struct Arrangement {
  Rect question;
  std::array<Rect, 5> choices, markers;
  std::array<Rect, 2> statements, stateLabels;
};

// A size counts as set when it is neither empty nor 0.
bool sizeIsSet(const store::Value& v);

Arrangement arrange(const KindGeometry& g, const LayoutValues& v);

// The farthest a box may reach, in twips, for a window to place and draw it.
inline constexpr double kMaxTwips = 15.0 * 16000;

// True when every box of the arrangement lies within the area a window can place: sizes
// that would put a box beyond it, or stack boxes backwards, cannot be drawn.
bool drawable(const Arrangement& a);

// The values the boxes are drawn with: `v` itself when it can be drawn; otherwise each
// size that no window could draw even on its own is drawn at its default, and when the
// rest still cannot be drawn, every size is.
LayoutValues drawableValues(const KindGeometry& g, const LayoutValues& v);

}  // namespace editor
