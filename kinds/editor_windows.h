#pragma once
// The editor window of each question kind, registered in one place: the section window
// opens a kind's editor through it.

#include "controls/form.h"
#include "program_state.h"
#include "schema.h"

namespace kinds {

// Creates the kind's editor, ready to be shown. The editor works over state.pConn() and,
// when it is unloaded, shows formInit again.
using KindWindowFactory = ui::Form* (*)(bank::ProgramState& state, ui::Form& formInit);

// The kind's editor; nullptr for a kind without one.
KindWindowFactory editorWindow(bank::schema::Kind kind);

}  // namespace kinds
