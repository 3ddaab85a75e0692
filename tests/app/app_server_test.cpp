// Start-up on a bank on a server, chosen by zorbex_server.conf in the application folder.
#include <gtest/gtest.h>

#include <fstream>

#include "app_fixture.h"
#include "connections.h"
#include "import_sources.h"
#include "recordset.h"
#include "temp_dir.h"
#include "pg_server.h"
#include "program.h"
#include "schema.h"

namespace {

class ServerStartTest : public AppFolderTest {
 protected:
  void choose(const std::string& conninfo) { std::ofstream(folder() / bank::kServerConfFile) << conninfo << "\n"; }
  testing_support::ServerDb server;
};

TEST_F(ServerStartTest, TheLogNamesTheServerBankAndCompressLeavesItsFilesToTheServer) {
  bank::schema::createServerBank(server.uri());
  choose(server.uri());
  app::Program p(folder());
  ASSERT_EQ(p.start(), app::Program::kRunning);
  ASSERT_TRUE(p.state().pConn().onServer());
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("works on the bank on the server: database '" + server.name() + "'"), std::string::npos)
      << lines[1];
  p.formInit().cmdCompress.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, bank::kServerKeepsItsFiles);
  EXPECT_EQ(dialogs.shown[0].title, "Compress");
  EXPECT_FALSE(p.ended());
  EXPECT_TRUE(p.state().pConn().isOpen());
}

TEST_F(ServerStartTest, AnUnreachableServerIsNamedAndTheProgramEnds) {
  choose("host=" + (folder() / "nowhere").string() + " dbname=teambank user=postgres");
  app::Program p(folder());
  EXPECT_EQ(p.start(), 1);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text.rfind("3151:", 0), 0u) << dialogs.shown[0].text;
  EXPECT_NE(dialogs.shown[0].text.find("'teambank'"), std::string::npos) << dialogs.shown[0].text;
  EXPECT_FALSE(p.formInit().Loaded());
  EXPECT_EQ(p.finish(), 0);
}

TEST_F(ServerStartTest, TheSectionWindowImportsAPoolIntoTheServerBankAndRefusesARepeatedNumber) {
  bank::schema::createServerBank(server.uri());
  choose(server.uri());
  testing_support::TempDir sourceDir;
  const std::filesystem::path source = testing_support::makeSource(sourceDir.path(), {"N777"});
  app::Program p(folder());
  ASSERT_EQ(p.start(), app::Program::kRunning);
  app::FormInit& init = p.formInit();
  auto countN777 = [&] {
    store::Recordset rs;
    rs.open("select count(*) as n from SCtbl where src='N777'", p.state().pConn(), store::adOpenDynamic,
            store::adLockReadOnly);
    return rs.value("n").toInt();
  };
  init.optPoolSection[0].setValue(true);
  dialogs.queueFile(source.string());
  init.cmdFileOpen.Press();
  ASSERT_EQ(init.lstEdit.ListCount(), 1);
  dialogs.queueAnswer(ui::MsgResult::Yes);
  init.cmdImport.Press();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].text, "Import completed.");
  EXPECT_EQ(countN777(), 3);

  dialogs.queueAnswer(ui::MsgResult::Yes);
  init.cmdImport.Press();
  ASSERT_EQ(dialogs.shown.size(), 4u);
  EXPECT_EQ(dialogs.shown[3].text, "The question number is duplicated.");
  EXPECT_EQ(countN777(), 3);
}

}  // namespace
