// An editor on a server bank whose connection the server ends mid-edit (a restart, an
// administrator): the message says so, the edits stay on screen, the next action connects again.
#include "db_error.h"
#include "editor_fixture.h"
#include "sc/form_sc_edit.h"

using kinds::FormSCEdit;

namespace {

class LostConnection : public EditorTest {
 protected:
  testing_support::BankEngine bankEngine() const override { return testing_support::BankEngine::Server; }
  void SetUp() override {
    EditorTest::SetUp();
    describeDbErrors();
    add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"choiceA", "stored"}});
    add("SCtbl", {{"numQ", "01202"}, {"src", "X012"}, {"choiceA", "second"}});
  }
  // Every connection to the test's database ends, as when the server restarts (waited for).
  void endConnections() {
    testing_support::pgAdmin("SELECT pg_terminate_backend(pid, 600000) FROM pg_stat_activity WHERE datname = '" +
                             server->name() + "' AND pid <> pg_backend_pid()");
  }
};

TEST_F(LostConnection, SaveShowsTheLossKeepsTheEditsAndTheNextSaveReconnectsAndWrites) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.txtAnswer[0].setText("edited");
  endConnections();
  ed.cmdSave.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].icon, ui::MsgIcon::Critical);
  EXPECT_NE(dialogs.shown[0].text.find("The connection to the server '" + server->name() + "'"), std::string::npos)
      << dialogs.shown[0].text;
  EXPECT_NE(dialogs.shown[0].text.find("The next action connects again."), std::string::npos) << dialogs.shown[0].text;
  EXPECT_EQ(dialogs.shown[0].text, "3151:The connection to the server " + state->pConn().path() +
                                       " was lost; the change was not made. The next action connects again. Your "
                                       "edits are still on screen.");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "edited");
  EXPECT_EQ(state->currentQNumber, "01201");

  ed.cmdSave.Press();
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "edited");
}

TEST_F(LostConnection, AutoSaveOnLeavingShowsTheLossAndStaysOnTheQuestion) {
  FormSCEdit& ed = open<FormSCEdit>();
  ed.chkAutoSave->setValue(1);
  ed.txtAnswer[0].setText("edited");
  endConnections();
  ui::runEvent([&] { ed.lstQuestion.setListIndex(1); });
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("was lost"), std::string::npos) << dialogs.shown[0].text;
  EXPECT_EQ(ed.lstQuestion.ListIndex(), 0);
  EXPECT_EQ(ed.txtAnswer[0].Text(), "edited");

  ui::runEvent([&] { ed.lstQuestion.setListIndex(1); });
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(state->currentQNumber, "01202");
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "edited");
}

TEST_F(LostConnection, AClickOnAnotherQuestionConnectsAgainWithoutAWord) {
  FormSCEdit& ed = open<FormSCEdit>();
  endConnections();
  ui::runEvent([&] { ed.lstQuestion.setListIndex(1); });
  EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
  EXPECT_EQ(state->currentQNumber, "01202");
  EXPECT_EQ(ed.txtAnswer[0].Text(), "second");
}

}  // namespace
