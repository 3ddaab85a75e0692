#include "events.h"

#include "dialogs.h"

namespace ui {

namespace {
int g_depth = 0;
ErrorDescriber g_describer;
std::function<void()> g_afterEvent;

// Calls the after-event hook when the outermost event it guards ends.
struct AfterOutermost {
  bool outermost;
  ~AfterOutermost() {
    if (!outermost || !g_afterEvent) return;
    try {
      g_afterEvent();
    } catch (...) {
    }
  }
};

// The number of an unclassified failure, the one the database component gives its own
// (ui knows nothing of the store, whose describer replaces this one in the program).
constexpr long kUnclassifiedError = -2147467259L;

ErrorInfo defaultDescription(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return {kUnclassifiedError, e.what()};
  } catch (...) {
    return {kUnclassifiedError, "Unknown error."};
  }
}
}  // namespace

void setErrorDescriber(ErrorDescriber describer) { g_describer = std::move(describer); }

void setAfterEventHook(std::function<void()> hook) { g_afterEvent = std::move(hook); }

ErrorInfo describeError(std::exception_ptr error) {
  return g_describer ? g_describer(error) : defaultDescription(error);
}

void showError(std::exception_ptr error) {
  MsgBox(describeError(error).text(), MsgButtons::OkOnly, MsgIcon::Critical);
}

bool inEventHandler() { return g_depth > 0; }

bool EventGate::raise(const std::function<void()>& handler) {
  if (!handler) return true;
  const bool outermost = g_depth == 0;
  if (outermost) pending_ = nullptr;  // left over from an event that has ended
  // Once a nested handler has failed, the rest of that setter's work raises nothing more.
  if (pending_) return false;
  AfterOutermost after{outermost};
  ++g_depth;
  try {
    handler();
  } catch (const AlreadyReported&) {
    --g_depth;
    if (!outermost) pending_ = std::current_exception();
    return false;
  } catch (...) {
    --g_depth;
    if (outermost)
      showError(std::current_exception());
    else
      pending_ = std::current_exception();
    return false;
  }
  --g_depth;
  return true;
}

void EventGate::rethrowPending() {
  if (!pending_) return;
  std::exception_ptr e = pending_;
  pending_ = nullptr;
  std::rethrow_exception(e);
}

bool runEvent(const std::function<void()>& work) {
  EventGate gate;
  const bool ok = gate.raise(work);
  gate.rethrowPending();  // only when called inside another handler
  return ok;
}

}  // namespace ui
