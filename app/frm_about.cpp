#include "frm_about.h"

#include "controls/app_services.h"

namespace app {

frmAbout::frmAbout() : picIcon(this), lblTitle(this), lblVersion(this), cmdOK(this, "OK") {
  setDeleteOnUnload(true);
  setWindowIcon(ui::Bitmap("app_icon"));
  setWidth(5400);
  setHeight(2250);
  picIcon.setPicture(ui::Bitmap("app_icon"));
  picIcon.setFocusPolicy(Qt::NoFocus);
  picIcon.Move(300, 300, 480, 480);
  QFont title = lblTitle.font();
  title.setPointSizeF(title.pointSizeF() * 1.3);
  title.setBold(true);
  lblTitle.setFont(title);
  lblTitle.Move(1050, 270, 4050, 420);
  lblVersion.Move(1050, 780, 4050, 360);
  cmdOK.Move(3900, 1560, 1200, 420);
  cmdOK.setDefault(true);
  cmdOK.Click = [this] { cmdOK_Click(); };
}

void frmAbout::Form_Load() {
  setCaption(ui::AppTitle() + "のﾊﾞｰｼﾞｮﾝ情報");
  lblVersion.setCaption("ﾊﾞｰｼﾞｮﾝ " + ui::AppVersion());
  lblTitle.setCaption(ui::AppTitle());
}

void frmAbout::cmdOK_Click() { Unload(); }

}  // namespace app
