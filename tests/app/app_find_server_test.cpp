// The Find window on a bank on a server: the same wiring, the server's own index underneath.
#include <gtest/gtest.h>

#include <QApplication>
#include <QShortcut>
#include <fstream>

#include "app_fixture.h"
#include "connections.h"
#include "form_find.h"
#include "form_replace.h"
#include "pg_server.h"
#include "program.h"
#include "recordset.h"
#include "schema.h"

namespace {

class FindServerTest : public AppFolderTest {
 protected:
  void SetUp() override {
    bank::schema::createServerBank(server.uri());
    store::Connection conn;
    conn.open(server.uri());
    for (const auto& [numQ, stem] : {std::pair{"01001", "A {\\b zebra} at the zoo"}, std::pair{"01002", "Zebra and zebra"}}) {
      store::Recordset rs;
      rs.open("SCtbl", conn, store::adOpenKeyset, store::adLockOptimistic);
      rs.addNew();
      rs.setValue("numQ", numQ);
      rs.setValue("src", "X010");
      rs.setValue("question", std::string("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 ") + stem + "}");
      rs.update();
      rs.close();
    }
    conn.close();
    std::ofstream(folder() / bank::kServerConfFile) << server.uri() << "\n";
    program = std::make_unique<app::Program>(folder());
    ASSERT_EQ(program->start(), app::Program::kRunning);
    ASSERT_TRUE(program->state().pConn().onServer());
  }
  void TearDown() override {
    closeOpenEditors();
    program.reset();
    flushDeletes();
  }
  testing_support::ServerDb server;
  std::unique_ptr<app::Program> program;
};

TEST_F(FindServerTest, FindListsTheHitsAndReplaceWritesTheAcceptedPlaces) {
  for (QShortcut* s : program->formInit().findChildren<QShortcut*>())
    if (s->key() == QKeySequence(QKeySequence::Find)) emit s->activated();
  app::FormFind* find = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* f = dynamic_cast<app::FormFind*>(w); f && f->isVisible()) find = f;
  ASSERT_NE(find, nullptr);
  find->txtWords.setText("ZEBRA");
  find->txtReplaceWith.setText("horse");
  find->cmdFind.Press();
  ASSERT_EQ(find->lstHits->model()->rowCount(), 2);
  EXPECT_EQ(find->lstHits->model()->index(0, 1).data().toString(), "01002");  // two places rank first

  find->cmdReplace.Press();
  app::FormReplace* replace = find->replaceWindow();
  ASSERT_NE(replace, nullptr);
  ASSERT_EQ(replace->lstPlaces->topLevelItemCount(), 3);
  replace->cmdSkip.Press();
  replace->cmdAccept.Press();
  replace->cmdApply.Press();
  ASSERT_FALSE(dialogs.shown.empty());
  EXPECT_EQ(dialogs.shown.back().text, "2 places were replaced.");
  EXPECT_EQ(find->lstHits->model()->rowCount(), 1);
}

}  // namespace
