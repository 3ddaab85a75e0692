#pragma once
// One run of the program: the shared state, the running-copy check, the start-up window
// and the section window; start-up, the event loop and the end.

#include <filesystem>

#include "controls/app_services.h"
#include "edit_recovery.h"
#include "form_bind_data.h"
#include "form_init.h"
#include "program_state.h"

namespace app {

class Program {
 public:
  static constexpr int kRunning = -1;

  explicit Program(std::filesystem::path appFolder);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Start-up up to the section window. Returns kRunning, or the exit status when the
  // program has already ended: 0 for a second copy (silently), 1 for a start-up failure
  // (reported, with no log line for it).
  int start();
  // The end of the program after its last window was unloaded: the termination line.
  // Returns the exit status.
  int finish();
  // start(), the event loop while a window is loaded, finish().
  int run();

  // A termination request: the edits on screen go to the recovery file first. When nothing
  // is left to ask (no edits, no message box), the windows close as their close boxes would
  // and true is returned (the event loop then ends); otherwise false: the caller ends the
  // process at once, with the termination line logged.
  bool endOnRequest();

  // The last loaded window has been unloaded.
  bool ended() const { return ended_; }
  bank::ProgramState& state() { return state_; }
  FormInit& formInit() { return formInit_; }
  FormBindData& formBindData() { return bind_; }

 private:
  // Warns once when a save went only into the bank's log, until the file holds it again.
  void tellIfSavedOnlyInLog();

  bank::ProgramState state_;
  ui::InstanceLock instance_;
  FormInit formInit_;
  FormBindData bind_;
  EditRecovery recovery_;
  bool started_ = false;
  bool ended_ = false;
  bool toldSavedOnlyInLog_ = false;
};

}  // namespace app
