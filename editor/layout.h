#pragma once
// Where the boxes of a question stand: a pure function from the stored sizes to twips
// rectangles, one arrangement per way of stacking the boxes, tested without any widget.

#include <array>
#include <string>

#include "kind_registry.h"
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

  // The variable of a size field by its field name (as the kind registry says); nullptr for
  // another name.
  store::Value* byField(const std::string& field);
  // The variable that holds a size; nullptr for SizeOf::None.
  store::Value* of(bank::schema::SizeOf size);
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

// The largest size (stored units) that the window can draw: the window system places
// widgets within 16-bit pixel coordinates, and up to this size every box of a question
// stays inside them, whatever the other boxes measure.
double largestSize(const KindGeometry& g);

// A typed size is applied only when it can be drawn: not negative, not beyond largestSize.
bool sizeCanBeDrawn(const KindGeometry& g, double size);

}  // namespace editor
