#pragma once
// The start-up window: refreshes the links, opens the shared connections and hands over
// to the section window. Its object lives until the program ends, when Form_Terminate
// writes the termination line.

#include <functional>

#include "controls/controls.h"
#include "controls/form.h"
#include "program_state.h"

namespace app {

class FormBindData : public ui::Form {
 public:
  // prevInstance: another copy runs on the same application folder.
  FormBindData(bank::ProgramState& state, ui::Form& formInit, bool prevInstance);

  ui::Label lblMsg;
  ui::ProgressBar PgrBar;
  ui::CommandButton cmdCancel;

  void Form_Terminate();
  void cmdCancel_Click();
  // The second copy ended in Form_Load: nothing more runs and nothing is logged.
  bool endedAtOnce() const { return endedAtOnce_; }
  // Runs once the section window is shown (the program offers edits kept by an earlier run).
  std::function<void()> afterStart;

 protected:
  void Form_Load() override;
  void Form_Activate() override;

 private:
  bank::ProgramState& state_;
  ui::Form& formInit_;
  bool prevInstance_;
  bool endedAtOnce_ = false;
};

}  // namespace app
