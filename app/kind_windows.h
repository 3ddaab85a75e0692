#pragma once
// The editor window that the section window opens for each question kind: the kinds'
// registered editors, which tests may replace; and the opening of a kind's editor from
// another window.

#include "editor_windows.h"
#include "program_state.h"
#include "shown_question.h"

namespace app {

using KindWindowFactory = kinds::KindWindowFactory;

KindWindowFactory kindWindow(bank::schema::Kind kind);
// Replaces an entry (tests put a stand-in window there).
void setKindWindow(bank::schema::Kind kind, KindWindowFactory factory);

// The editor of kind, open and shown: the one on screen when it is of that kind, otherwise
// a new one (an editor of another kind is closed first, as its close box would); nothing
// when no editor is registered for the kind or the window made for it is no editor.
editor::ShownQuestion* showEditorOf(bank::schema::Kind kind, bank::ProgramState& state, ui::Form& formInit);

}  // namespace app
