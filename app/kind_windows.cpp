#include "kind_windows.h"

#include <array>

#include "awa/form_awa_edit.h"
#include "cr/form_cr_edit.h"
#include "sc/form_sc_edit.h"

namespace app {

namespace {
// By kind index: SC, CR, RC, PS, DS, AWA (FormSCEdit, FormCREdit, FormRCEdit, FormPSEdit,
// FormDSEdit, FormAWAEdit as they are written).
template <class Editor>
ui::Form* make(store::ProgramState& state, ui::Form& formInit) {
  return new Editor(state, formInit);
}

std::array<KindWindowFactory, 6> g_windows = {make<kinds::FormSCEdit>, make<kinds::FormCREdit>, nullptr,
                                              nullptr, nullptr, make<kinds::FormAWAEdit>};
}  // namespace

KindWindowFactory kindWindow(store::schema::Kind kind) { return g_windows[static_cast<size_t>(kind)]; }

void setKindWindow(store::schema::Kind kind, KindWindowFactory factory) {
  g_windows[static_cast<size_t>(kind)] = factory;
}

}  // namespace app
