#pragma once
// How control and window events run. Every event handler runs synchronously on the one
// user-interface thread, before the call that raised it returns.
//
// An error that escapes a handler of an event the user caused (the outermost handler) is
// shown as number + ":" + description with the error icon, and the window stays as it is:
// the user's unsaved work stays on screen. Inside a handler, an event raised by a setter is
// a nested call: its error travels on to the statement that set the value, as any other
// failing statement would, so a chain of events stops at the first failure and is shown once.

#include <exception>
#include <functional>
#include <string>

namespace ui {

struct ErrorInfo {
  long number = 0;
  std::string description;
  std::string text() const { return std::to_string(number) + ":" + description; }
};

// Thrown by a handler that has told the user itself why it stopped: the event ends there
// (a surrounding handler stops too) without a second message.
struct AlreadyReported : std::exception {
  const char* what() const noexcept override { return "reported to the user"; }
};

// Turns an escaped error into number and description. The application installs one that
// knows its own error types; without one, any std::exception is reported with number
// -2147467259 (unspecified failure) and its what() text.
using ErrorDescriber = std::function<ErrorInfo(std::exception_ptr)>;
void setErrorDescriber(ErrorDescriber describer);
ErrorInfo describeError(std::exception_ptr error);

// Shows an error as number + ":" + description, error icon, OK button.
void showError(std::exception_ptr error);

// Runs event handlers for one control or window. Qt must not be unwound by an exception,
// so an error of a nested handler is kept here until the setter that raised the event
// has left Qt, and the setter then rethrows it with rethrowPending().
class EventGate {
 public:
  // Runs handler (nothing when it is empty). Returns false when it failed.
  bool raise(const std::function<void()>& handler);
  void rethrowPending();

 private:
  std::exception_ptr pending_;
};

// Runs after each outermost event has ended, well or not, outside any handler: the
// application tells the user there what no single handler reports (a save that a full disk
// kept from the file). Errors it throws are dropped.
void setAfterEventHook(std::function<void()> hook);

// True while an event handler runs.
bool inEventHandler();

// Runs work as the outermost event (e.g. a test or main() driving a window). Returns false
// when an error escaped; it has then been shown.
bool runEvent(const std::function<void()>& work);

}  // namespace ui
