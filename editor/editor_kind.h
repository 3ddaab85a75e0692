#pragma once
// What one multiple-choice kind gives the shared editor window, as data: its table and
// fields, captions, the design-time geometry of its boxes and controls, which sizes the
// value box edits, its slider scales and what "Reset" sets.

#include <utility>
#include <vector>

#include "layout.h"
#include "question_record.h"
#include "schema.h"

namespace editor {

// The layout variables that a value typed for a focused element goes to.
struct SizeTarget {
  const char* focus;   // pFocus
  const char* height;  // with "Height" selected; nullptr: not stored
  const char* width;   // with "Width" selected; nullptr: not stored
};

// A control's design-time place, by its name (relative to its frame for controls in one).
struct ControlPlace {
  const char* name;
  Rect place;
};

struct EditorKind {
  store::schema::Kind kind;
  const char* caption;      // window caption
  const char* title;        // lblTitle
  const char* editionPool;  // default text of txtOG12
  KindGeometry layout;
  std::vector<SizeTarget> sizeTargets;
  int heightSliderMax, heightSliderTick;
  int widthSliderMax, widthSliderTick;
  std::vector<std::pair<const char*, double>> reset;  // layout variable, value
  std::vector<ControlPlace> places;                   // over the shared column's places
  std::vector<const char*> absent;                    // shared controls the kind has not
  double height = 10680;                              // of the window's page, twips
  // What the editor reads and writes, from the kind registry.
  const RecordFields& record = recordFields(kind);
};

// The places of the controls that every editor shares (the column right of the question).
const std::vector<ControlPlace>& sharedPlaces();

// Width of the window's page in twips: the right column ends 120 twips before its edge, and
// with its frame the window fits a 1280 x 800 screen
// (the tallest page, 11250, as well).
inline constexpr double kEditorWidth = 18960;

}  // namespace editor
