// Every editor on demo questions, as a user sees them.
#include <QScrollBar>

#include "awa/form_awa_edit.h"
#include "commands.h"
#include "cr/form_cr_edit.h"
#include "ds/form_ds_edit.h"
#include "editor_fixture.h"
#include "ps/form_ps_edit.h"
#include "rc/form_rc_edit.h"
#include "sc/form_sc_edit.h"
#include "window_check.h"

namespace {

class EditorScreens : public ::testing::Test {
 protected:
  void SetUp() override {
    bank::schema::createBank(dir.path());
    bank_tool::writeDemoContent(dir.path());
    state = std::make_unique<bank::ProgramState>(dir.path());
    state->flgAllKinds = true;
    bank::OpenConnections(*state);
  }
  template <class Editor>
  void look(const char* name) {
    Editor ed(*state, formInit);
    ed.Show();
    ed.cmbPool.setListIndex(ed.cmbPool.ListCount() - 1);  // an ordinary pool, not an edition's
    ASSERT_GT(ed.lstQuestion.ListCount(), 0);
    ed.lstQuestion.setListIndex(1);
    ed.imgClick[1].Press();
    EXPECT_FALSE(ed.rtxtQuestion.Text().isEmpty());
    window_check::checkLayout(&ed);
    window_check::checkFitsScreen(&ed);
    // The last choice box lies inside the window's page.
    auto* last = ed.template findChild<QWidget*>("txtAnswer4");
    if (!last) last = ed.template findChild<QWidget*>("rtxtAnswer4");
    ASSERT_NE(last, nullptr);
    EXPECT_LE(last->geometry().bottom(), last->parentWidget()->height());
    window_check::save(ed, name);
    EXPECT_TRUE(dialogs.shown.empty());
  }
  testing_support::TempDir dir;
  std::unique_ptr<bank::ProgramState> state;
  ui::Form formInit;
  ui::ScriptedDialogs dialogs;
};

TEST_F(EditorScreens, SCEditorOnDemoQuestions) { look<kinds::FormSCEdit>("FormSCEdit"); }
TEST_F(EditorScreens, CREditorOnDemoQuestions) { look<kinds::FormCREdit>("FormCREdit"); }
TEST_F(EditorScreens, RCEditorOnDemoQuestions) { look<kinds::FormRCEdit>("FormRCEdit"); }
TEST_F(EditorScreens, DSEditorOnDemoQuestions) { look<kinds::FormDSEdit>("FormDSEdit"); }
TEST_F(EditorScreens, PSEditorOnDemoQuestions) { look<kinds::FormPSEdit>("FormPSEdit"); }

TEST_F(EditorScreens, AWAEditorOnDemoTopicsFitsA1280By800Screen) {
  kinds::FormAWAEdit ed(*state, formInit);
  ed.Show();
  ed.fitToScreen(QSize(1280, 800));
  ASSERT_GT(ed.lstQuestion.ListCount(), 0);
  EXPECT_FALSE(ed.rtxtQuestion.Text().isEmpty());
  ed.rtxtAnswer.setText("The argument rests on one comparison.");
  QApplication::processEvents();
  ed.Refresh();
  // The whole content is on screen with room for the window's frame.
  EXPECT_EQ(ed.size(), ed.canvas().size());
  window_check::checkFitsScreen(&ed);
  EXPECT_FALSE(ed.scrollArea().verticalScrollBar()->isVisible());
  EXPECT_FALSE(ed.scrollArea().horizontalScrollBar()->isVisible());
  window_check::checkLayout(&ed.canvas());
  window_check::save(ed, "FormAWAEdit");
  EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
