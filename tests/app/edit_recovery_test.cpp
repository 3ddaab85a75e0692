// Unsaved edits kept across the end of the program: the recovery file itself, a termination
// request with edits on screen, and the next start bringing them back or discarding them.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "app_fixture.h"
#include "connection.h"
#include "connections.h"
#include "recordset.h"
#include "edit_recovery.h"
#include "kind_windows.h"
#include "program.h"
#include "sc/form_sc_edit.h"

namespace {

using store::Value;

TEST(RecoveryFile, KeepsEveryKindOfValueAndGoesWhenEmpty) {
  QTemporaryDir dir;
  const fs::path path = app::recoveryPath(dir.path().toStdString());
  const app::RecoveryFile file{"bank X", "2026-12-09 10:00:00",
                               {{bank::schema::Kind::DS, "X010", "010001",
                                 {{"question", Value("{\\rtf1 選択肢 \"q\"}")},
                                  {"stateHeight1", Value(2.5)},
                                  {"statePosition1", Value(9007199254740993LL)},
                                  {"answer", Value()}}}}};
  app::writeRecoveryFile(path, file);
  const std::optional<app::RecoveryFile> back = app::readRecoveryFile(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->bank, "bank X");
  EXPECT_EQ(back->edits, file.edits);
  app::writeRecoveryFile(path, {"bank X", "", {}});
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(app::readRecoveryFile(path));
  std::ofstream(path) << "{\"edits\": [{\"kind\": \"XX\"}]}";
  EXPECT_THROW(app::readRecoveryFile(path), std::runtime_error);
}

class Recovery : public AppFolderTest {
 protected:
  void SetUp() override {
    makeBank();
    store::Connection c;
    c.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
    c.execute("insert into SCtbl (numQ, src, answer, choiceA) values ('01201', 'X012', 'A', 'stored words')");
    c.close();
  }
  kinds::FormSCEdit& openSC(app::Program& p) {
    auto* ed = dynamic_cast<kinds::FormSCEdit*>(app::showEditorOf(bank::schema::Kind::SC, p.state(), p.formInit()));
    if (!ed) throw std::runtime_error("no SC editor");
    return *ed;
  }
  std::string stored() {
    store::Connection c;
    c.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
    store::Recordset rs;
    rs.open("select choiceA from SCtbl where numQ = '01201'", c, store::adOpenDynamic, store::adLockReadOnly);
    return rs.value("choiceA").toString();
  }
  fs::path file() const { return app::recoveryPath(folder()); }
};

// A termination request with edits on screen asks nothing: the edits are in the file and
// the caller ends the process. The next start brings them back as unsaved edits; saving
// them removes the file.
TEST_F(Recovery, ATerminationKeepsTheEditsAndTheNextStartBringsThemBack) {
  {
    app::Program p(folder());
    ASSERT_EQ(p.start(), app::Program::kRunning);
    auto& ed = openSC(p);
    ed.txtAnswer[0].setText("typed words");
    EXPECT_FALSE(p.endOnRequest());
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_TRUE(fs::exists(file()));
    const auto kept = app::readRecoveryFile(file());
    ASSERT_EQ(kept->edits.size(), 1u);
    EXPECT_EQ(kept->edits[0].numQ, "01201");
    EXPECT_EQ(kept->edits[0].fields.at("choiceA").toString(), "typed words");
    delete &ed;  // the process would end here
  }
  ASSERT_TRUE(fs::exists(file()));
  app::Program p(folder());
  dialogs.queueAnswer(ui::MsgResult::Yes);
  ASSERT_EQ(p.start(), app::Program::kRunning);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("SC question 01201: Choice A"), std::string::npos) << dialogs.shown[0].text;
  auto& ed = openSC(p);
  EXPECT_EQ(ed.txtAnswer[0].Text(), "typed words");
  EXPECT_EQ(stored(), "stored words");
  EXPECT_FALSE(ed.unsavedEdits().empty());
  ed.cmdSave.Press();
  EXPECT_EQ(stored(), "typed words");
  ed.Unload();
  p.formInit().Unload();
  EXPECT_EQ(p.finish(), 0);
  EXPECT_FALSE(fs::exists(file()));
  flushDeletes();
}

// Edits kept for another bank are never put onto this one, and never lost: set aside.
TEST_F(Recovery, EditsOfAnotherBankAreSetAsideNotLost) {
  app::writeRecoveryFile(file(), {"", "", {{bank::schema::Kind::SC, "X012", "01201", {{"choiceA", Value("x")}}}}});
  {
    app::Program p(folder());
    p.start();  // a bank named otherwise: set aside
    p.formInit().Unload();
    p.finish();
  }
  EXPECT_FALSE(fs::exists(file()));
  size_t aside = 0;
  for (const auto& e : fs::directory_iterator(folder()))
    if (e.path().filename().string().starts_with("zorbex_recovery-")) ++aside;
  EXPECT_EQ(aside, 1u);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("They are kept in"), std::string::npos) << dialogs.shown[0].text;
  flushDeletes();
}

// The real program, stopped by SIGTERM while a message box waits for an answer, ends and
// keeps the recovery file.
TEST_F(Recovery, SigtermEndsTheProgramWhileAMessageBoxIsOpen) {
  const fs::path exe = folder() / "zorbex-editor";
  fs::copy_file(ZORBEX_EDITOR_PROGRAM, exe);
  std::string bank;
  {
    app::Program p(folder());  // what the program names its bank
    p.start();
    bank = bank::BankDescription(p.state());
    p.formInit().Unload();
    p.finish();
  }
  app::writeRecoveryFile(file(), {bank, "", {{bank::schema::Kind::SC, "X012", "01201", {{"choiceA", Value("x")}}}}});
  const pid_t child = fork();
  if (child == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(child, 0);
  // The box asks from the section window's start; the start line is in the log by then.
  for (int i = 0; i < 200 && logLines().size() < 1; ++i) usleep(50000);
  usleep(1000000);
  ASSERT_EQ(kill(child, SIGTERM), 0);
  int status = 0;
  pid_t ended = 0;
  for (int i = 0; i < 400 && ended == 0; ++i) {  // a hang fails here rather than at the suite's timeout
    ended = waitpid(child, &status, WNOHANG);
    if (ended == 0) usleep(50000);
  }
  if (ended == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "the program did not end on SIGTERM";
  }
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_TRUE(fs::exists(file()));
}

}  // namespace
