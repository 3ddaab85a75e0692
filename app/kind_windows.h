#pragma once
// The editor window of each question kind, as the section window opens it. Each editor
// fills in its own entry in kind_windows.cpp; a kind without an entry opens nothing.

#include "controls/form.h"
#include "program_state.h"
#include "schema.h"

namespace app {

// Creates the kind's editor, ready to be shown. The editor works over state.pConn() and,
// when it is unloaded, shows formInit again.
using KindWindowFactory = ui::Form* (*)(store::ProgramState& state, ui::Form& formInit);

KindWindowFactory kindWindow(store::schema::Kind kind);
// Replaces an entry (tests put a stand-in window there).
void setKindWindow(store::schema::Kind kind, KindWindowFactory factory);

}  // namespace app
