#include "kind_windows.h"

#include <array>

namespace app {

namespace {
// By kind, from the kinds' registry of editors.
std::array<KindWindowFactory, store::schema::kAllKinds.size()> g_windows = [] {
  std::array<KindWindowFactory, store::schema::kAllKinds.size()> w{};
  for (store::schema::Kind k : store::schema::kAllKinds) w[static_cast<size_t>(k)] = kinds::editorWindow(k);
  return w;
}();
}  // namespace

KindWindowFactory kindWindow(store::schema::Kind kind) { return g_windows[static_cast<size_t>(kind)]; }

void setKindWindow(store::schema::Kind kind, KindWindowFactory factory) {
  g_windows[static_cast<size_t>(kind)] = factory;
}

}  // namespace app
