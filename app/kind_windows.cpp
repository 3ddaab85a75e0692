#include "kind_windows.h"

#include <array>

#include "form_find.h"

namespace app {

namespace {
// By kind, from the kinds' registry of editors.
std::array<KindWindowFactory, bank::schema::kAllKinds.size()> g_windows = [] {
  std::array<KindWindowFactory, bank::schema::kAllKinds.size()> w{};
  for (bank::schema::Kind k : bank::schema::kAllKinds) w[static_cast<size_t>(k)] = kinds::editorWindow(k);
  return w;
}();
}  // namespace

KindWindowFactory kindWindow(bank::schema::Kind kind) { return g_windows[static_cast<size_t>(kind)]; }

void setKindWindow(bank::schema::Kind kind, KindWindowFactory factory) {
  g_windows[static_cast<size_t>(kind)] = factory;
}

editor::ShownQuestion* showEditorOf(bank::schema::Kind kind, bank::ProgramState& state, ui::Form& formInit) {
  for (editor::ShownQuestion* shown : editor::openEditors()) {
    if (!shown->window().isVisible()) continue;
    if (shown->shownKind() == kind) return shown;
    shown->window().Unload();  // saves or asks as closing it does; the section window comes back
    break;
  }
  KindWindowFactory make = kindWindow(kind);
  if (!make) return nullptr;
  ui::Form* window = make(state, formInit);
  addFindShortcut(*window, state, formInit);
  try {
    window->Show();
  } catch (...) {
    if (!window->Loaded()) delete window;
    throw;
  }
  formInit.Hide();
  return dynamic_cast<editor::ShownQuestion*>(window);  // a test's stand-in is none
}

}  // namespace app
