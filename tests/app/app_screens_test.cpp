// The windows as the user sees them: every caption fits its control, no two controls of a
// container overlap, and nothing reaches outside its container. With ZORBEX_SCREENSHOT_DIR
// set, each window is also saved there as a PNG, its caption drawn above it.
#include "app_fixture.h"
#include "form_custom_pool.h"
#include "program.h"
#include "window_check.h"

namespace {

using window_check::checkLayout;
using window_check::save;

class ScreensTest : public AppFolderTest {};

TEST_F(ScreensTest, WindowsFitTheirTexts) {
  makeBank({bank::schema::Kind::AWA});
  app::Program p(folder());
  ASSERT_EQ(p.start(), app::Program::kRunning);

  app::FormBindData& bind = p.formBindData();
  bind.show();
  bind.lblMsg.setCaption("Initializing...");
  bind.PgrBar.setValue(40);
  checkLayout(&bind);
  save(bind, "FormBindData");
  bind.hide();

  app::FormInit& init = p.formInit();
  init.optSelect[0].setValue(true);
  init.optPoolSection[0].setValue(true);
  init.lstEdit.AddItem("Pool 01");
  init.lstEdit.AddItem("Pool 02");
  checkLayout(&init);
  save(init, "FormInit");

  init.cmdAbout.Press();
  ASSERT_NE(init.about(), nullptr);
  checkLayout(init.about());
  save(*init.about(), "frmAbout");

  app::FormCustomPool pool(init);
  pool.Show();
  checkLayout(&pool);
  save(pool, "FormCustomPool");
  pool.Unload();
}

}  // namespace
