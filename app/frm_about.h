#pragma once
// The About box: the application's title, version and icon; modeless.

#include "controls/controls.h"
#include "controls/form.h"

namespace app {

class frmAbout : public ui::Form {
 public:
  frmAbout();

  ui::PictureBox picIcon;
  ui::Label lblTitle;
  ui::Label lblVersion;
  ui::CommandButton cmdOK;

  void cmdOK_Click();

 protected:
  void Form_Load() override;
};

}  // namespace app
