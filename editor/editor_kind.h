#pragma once
// What one multiple-choice kind gives the shared editor window, as data: captions, the
// design-time geometry of its boxes and controls, which sizes the value box edits, its
// slider scales, what "Reset" sets and which of the optional controls it has. Its table and
// fields come from the kind registry.

#include <utility>
#include <vector>

#include "layout.h"
#include "bank_record.h"
#include "schema.h"

namespace editor {

// The layout variables that a value typed for a focused element goes to.
struct SizeTarget {
  const char* focus;                                    // pFocus
  bank::schema::SizeOf height = bank::schema::SizeOf::None;  // with "Height" selected; None: not stored
  bank::schema::SizeOf width = bank::schema::SizeOf::None;   // with "Width" selected; None: not stored
};

// The controls of the shared window that a kind's geometry table may place; OptHW0 and
// OptHW1 are the two options of OptHW.
enum class Shared {
  lblTitle, lblPool, cmbPool, lblQuestion, lstQuestion, lblAnswer, cmbAnswer, FrameVH, OptHW0, OptHW1,
  txtValue, SliderVH, chkBorder, lblBorder, cmdSave, cmdReset, chkAutoSave, lblAutoSave, cmdFont, cmdUnderLine,
  cmdGo, FrameEdit, cmbEdit, cmdEditSubmit, lblPoolName, txtPoolName, cmbPoolName, lblQuestionNumber, txtQNumber,
  PgrBar, lblProgress, cmdOGcreate, txtOG12, cmdCopy, cmdCopy2, cmdDuplicateCheck,
};

// A shared control's design-time place (relative to its frame for controls in one).
struct ControlPlace {
  Shared control;
  Rect place;
};

// What a kind's window has of the shared controls that not every kind has; the window
// builds and wires only these. The edition buttons follow the kind's edition rules: "dbl"
// where it checks duplicates, "COPY2" where it updates answer keys.
struct Capabilities {
  bool autoSave = true;     // "Auto Save"
  bool go = true;           // "GO"
  bool underline = true;    // "Underline"
  bool font = true;         // "Font" (DS has fonts buttons of its own instead)
  bool poolEditing = true;  // the "Edit" frame acts, with the free pool numbers and its progress bar
};

struct EditorKind {
  bank::schema::Kind kind;
  const char* caption;      // window caption
  const char* title;        // lblTitle
  const char* editionPool;  // default text of txtOG12
  KindGeometry layout;
  std::vector<SizeTarget> sizeTargets;
  int heightSliderMax, heightSliderTick;
  int widthSliderMax, widthSliderTick;
  std::vector<std::pair<bank::schema::SizeOf, double>> reset;  // layout variable, value
  std::vector<ControlPlace> places;                   // over the shared column's places
  Capabilities has;
  double height = 10680;                              // of the window's page, twips
  // What the editor reads and writes, from the kind registry.
  const RecordFields& record = recordFields(kind);
};

// Width of the window's page in twips: the right column ends 120 twips before its edge, and
// with its frame the window fits a 1280 x 800 screen
// (the tallest page, 11250, as well).
inline constexpr double kEditorWidth = 18960;

}  // namespace editor
