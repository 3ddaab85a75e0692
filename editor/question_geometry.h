#pragma once
// The design-time geometry of the controls that every multiple-choice editor shares: the
// column right of the question and choices, and which control of the window each entry of
// a geometry table names. A kind's own table (EditorKind::places) goes over this one.

#include <vector>

#include "editor_kind.h"
#include "layout.h"

namespace ui {
class Placeable;
}

namespace editor {

class QuestionEditor;

// The places of the shared controls, in twips (relative to their frame for those in one).
const std::vector<ControlPlace>& sharedPlaces();

// "History", beside "dbl" and "Fix numQ", which some kinds have.
inline constexpr Rect kHistoryPlace{17280, 8700, 1140, 420};
// "Print...", below "History".
inline constexpr Rect kPrintPlace{17280, 9180, 1140, 420};

// The control of `window` that c names; nullptr for one its kind does not have.
ui::Placeable* sharedControl(QuestionEditor& window, Shared c);

}  // namespace editor
