#pragma once
// The editor window that the section window opens for each question kind: the kinds'
// registered editors, which tests may replace.

#include "editor_windows.h"

namespace app {

using KindWindowFactory = kinds::KindWindowFactory;

KindWindowFactory kindWindow(store::schema::Kind kind);
// Replaces an entry (tests put a stand-in window there).
void setKindWindow(store::schema::Kind kind, KindWindowFactory factory);

}  // namespace app
