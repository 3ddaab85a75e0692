// The Trash window from the section window, on a bank file and on a bank on a server: the
// deleted pools and questions listed, one restored whole, and one whose number is taken refused
// with the reason.
#include <QApplication>

#include <optional>

#include "app_fixture.h"
#include "connections.h"
#include "pg_server.h"
#include "form_trash.h"
#include "history.h"
#include "pool_operations.h"
#include "program.h"
#include "window_check.h"

namespace {

class TrashWindow : public AppFolderTest, public ::testing::WithParamInterface<bool> {
 protected:
  void makeBankOnEngine() {
    if (!GetParam()) return makeBank();
    server.emplace();
    bank::schema::createServerBank(server->uri());
    std::ofstream(folder() / bank::kServerConfFile) << server->uri() << "\n";
  }
  app::FormTrash& trashWindow(app::FormInit& init) {
    init.cmdTrash.Press();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* t = dynamic_cast<app::FormTrash*>(w); t && t->isVisible()) return *t;
    throw std::runtime_error("no Trash window");
  }
  long questions(store::Connection& c, const std::string& table) {
    long n = 0;
    for (const char* pool : {"X012", "X013"}) n += pools::questionsInPool(c, table, pool);
    return n;
  }
  std::optional<testing_support::ServerDb> server;
};

INSTANTIATE_TEST_SUITE_P(Engines, TrashWindow, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Server" : "File"; });

TEST_P(TrashWindow, ListsWhatWasDeletedAndRestoresItWholeOrSaysWhichNumberIsTaken) {
  makeBankOnEngine();
  app::Program p(folder());
  ASSERT_EQ(p.start(), app::Program::kRunning);
  ASSERT_EQ(p.state().pConn().onServer(), GetParam());
  app::FormInit& init = p.formInit();
  store::Connection& c = p.state().pConn();
  pools::addPool(c, "SCtbl", "X", "012", 3);
  pools::addPool(c, "CRtbl", "X", "013", 2);
  pools::deletePool(c, "SCtbl", "X012");
  pools::deleteLastQuestions(c, "CRtbl", "X013", 1);

  app::FormTrash& t = trashWindow(init);
  ASSERT_EQ(t.lstTrash.ListCount(), 2);
  EXPECT_NE(t.lstTrash.List(0).find("   CR   pool X013   01302   Delete Question"), std::string::npos)
      << t.lstTrash.List(0);
  EXPECT_NE(t.lstTrash.List(1).find("   SC   pool X012   3 questions, 01201 to 01203   Delete Pool"), std::string::npos)
      << t.lstTrash.List(1);
  window_check::checkLayout(&t);
  if (!GetParam()) window_check::save(t, "FormTrash");

  pools::addPool(c, "SCtbl", "Y", "012", 1);  // takes 01201
  t.lstTrash.setListIndex(1);
  t.cmdRestore.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown.back().text, "The question number 01201 is taken by another question; nothing was restored.");
  EXPECT_EQ(t.lstTrash.ListCount(), 2);

  pools::deletePool(c, "SCtbl", "Y012");
  t.cmdRestore.Press();  // the list is as it was shown: the pool X012 is still chosen
  EXPECT_EQ(dialogs.shown.back().text, "Restored 3 questions of pool X012.");
  EXPECT_EQ(questions(c, "SCtbl"), 3);
  EXPECT_EQ(questions(c, "CRtbl"), 1);
  ASSERT_EQ(t.lstTrash.ListCount(), 2);  // the CR question, and the pool Y012 just deleted
  EXPECT_NE(t.lstTrash.List(0).find("pool Y012"), std::string::npos);
  t.cmdClose.Press();
  app::FormTrash& again = trashWindow(init);
  window_check::checkOwnWindow(again, again.lstTrash);
  flushDeletes();
}

}  // namespace
