#pragma once
// "Custom Pool Editor": a window of controls only; none of them reacts to input. Closing
// it shows the section window again.

#include "controls/controls.h"
#include "controls/form.h"

namespace app {

class FormCustomPool : public ui::Form {
 public:
  explicit FormCustomPool(ui::Form& formInit);

  ui::Label lblTitle;
  ui::Frame frameType;
  ui::OptionArray Option1;  // the multiple-choice kinds: SC, CR, RC, PS, DS
  ui::Label lblPool;
  ui::ComboBox cmbPool;
  ui::Label lblQuestion;
  ui::ListBox lstQuestion;
  ui::Frame frameEdit;
  ui::ComboBox cmbEdit;
  ui::Label lblPoolName;
  ui::TextBox txtPoolName;
  ui::ComboBox cmbPoolName;
  ui::Label lblQNumber;
  ui::TextBox txtQNumber;
  ui::CommandButton cmdEditSubmit;
  ui::Label lblProgress;
  ui::ProgressBar PgrBar;

 protected:
  void Form_Unload() override;

 private:
  ui::Form& formInit_;
};

}  // namespace app
