#include "kind_windows.h"

#include <array>

namespace app {

namespace {
// By kind index: SC, CR, RC, PS, DS, AWA (FormSCEdit, FormCREdit, FormRCEdit, FormPSEdit,
// FormDSEdit, FormAWAEdit as they are written).
std::array<KindWindowFactory, 6> g_windows = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}  // namespace

KindWindowFactory kindWindow(store::schema::Kind kind) { return g_windows[static_cast<size_t>(kind)]; }

void setKindWindow(store::schema::Kind kind, KindWindowFactory factory) {
  g_windows[static_cast<size_t>(kind)] = factory;
}

}  // namespace app
