// The History window over a bank on a server: the versions that the server kept are listed,
// shown beside the question as it is now, and a chosen one is put back whole, with no editor
// open.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "connection.h"
#include "form_history.h"
#include "history.h"
#include "pg_server.h"

namespace {

TEST(HistoryWindowOnServer, ListsTheKeptVersionsAndPutsTheChosenOneBackWhole) {
  ui::ScriptedDialogs dialogs;
  testing_support::ServerDb server;
  bank::schema::createServerBank(server.uri());
  store::Connection c;
  c.open(server.uri());
  c.execute("insert into SCtbl (numQ, src, answer, choiceA) values ('01201', 'X012', 'A', 'first words')");
  for (const char* words : {"second words", "third words"}) {
    store::history::ChangeTag tag(c, "Save");
    c.execute(std::string("update SCtbl set choiceA = '") + words + "' where numQ = '01201'");
    tag.commit();
  }
  auto& h = editor::showHistory(c, bank::schema::Kind::SC, "01201");
  ASSERT_EQ(h.lstVersions.ListCount(), 2);
  EXPECT_NE(h.lstVersions.List(0).find("   Save   "), std::string::npos) << h.lstVersions.List(0);
  EXPECT_NE(h.txtVersion.toPlainText().indexOf("second words"), -1);
  EXPECT_NE(h.txtCurrent.toPlainText().indexOf("third words"), -1);
  h.lstVersions.setListIndex(1);
  EXPECT_NE(h.txtVersion.toPlainText().indexOf("first words"), -1);

  dialogs.queueAnswer(ui::MsgResult::Yes);
  h.cmdRestore.Press();
  const std::optional<editor::Record> stored =
      editor::readRecord(c, editor::recordFields(bank::schema::Kind::SC), "01201");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->at("choiceA").toString(), "first words");
  EXPECT_EQ(stored->at("answer").toString(), "A");
  EXPECT_EQ(store::history::versions(c, bank::schema::Kind::SC, "01201").front().operation, "Restore from history");
  h.cmdClose.Press();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
