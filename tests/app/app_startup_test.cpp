// Start-up and shut-down against real banks: flags, links, progress, the log, failures.
#include <gtest/gtest.h>

#include <QApplication>
#include <regex>

#include "app_fixture.h"
#include "controls/app_services.h"
#include "dao.h"
#include "program.h"
#include "recordset.h"

namespace {

using bank::schema::Kind;

class StartupTest : public AppFolderTest {
 protected:
  std::string startLineMessage() const { return "\"BindData ZORBEXEditor " + ui::AppVersion() + " is starting in debug mode.\""; }
  std::string endLineMessage() const { return "\"BindData ZORBEXEditor " + ui::AppVersion() + " has been terminated.\""; }
  static std::string messageField(const std::string& line) {
    size_t a = line.find(",");
    size_t b = line.rfind(",", line.rfind(",") - 1);
    return line.substr(a + 1, b - a - 1);
  }
  static bool allTrue(const std::vector<bool>& v) { return std::all_of(v.begin(), v.end(), [](bool b) { return b; }); }
  std::vector<bool> enabledKinds(app::Program& p) {
    std::vector<bool> out;
    for (int i = 0; i < 7; ++i) out.push_back(p.formInit().optSelect[i].Enabled());
    return out;
  }
  // Starts a run and expects the section window.
  void startOk(app::Program& p) {
    ASSERT_EQ(p.start(), app::Program::kRunning);
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
  }
  // Starts a run that must fail; returns the one message shown.
  ui::ShownMessage startFails() {
    app::Program p(folder());
    EXPECT_EQ(p.start(), 1);
    EXPECT_FALSE(p.formInit().Loaded());
    EXPECT_EQ(p.finish(), 0);
    EXPECT_EQ(dialogs.shown.size(), 1u);
    auto lines = logLines();
    EXPECT_EQ(lines.size(), 1u) << "only the start line; nothing is written for the failure";
    if (!lines.empty()) {
      EXPECT_EQ(messageField(lines[0]), startLineMessage());
    }
    return dialogs.shown.empty() ? ui::ShownMessage{} : dialogs.shown[0];
  }
};

TEST_F(StartupTest, PlainRunOpensTheSectionWindowAndLogsTwoLines) {
  makeBank();
  ASSERT_FALSE(fs::exists(logFile()));
  {
    app::Program p(folder());
    std::vector<int> progress;
    QObject::connect(&p.formBindData().PgrBar, &QProgressBar::valueChanged, [&](int v) { progress.push_back(v); });
    startOk(p);
    EXPECT_EQ(progress, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(p.formBindData().lblMsg.Caption(), "Initializing...");
    EXPECT_EQ(p.formBindData().Caption(), "ZORBEX");
    EXPECT_DOUBLE_EQ(p.formBindData().Height(), 2190);
    EXPECT_FALSE(p.formBindData().Loaded());
    EXPECT_TRUE(p.formInit().Visible());
    EXPECT_EQ(p.formInit().Caption(), "ZORBEX Editor");
    EXPECT_EQ(p.formInit().lblTitle.Caption(), "Select Section");
    EXPECT_EQ(p.state().flgTable, (std::array<std::int16_t, 6>{1, 1, 1, 1, 1, 1}));
    EXPECT_TRUE(p.state().flgAllKinds);
    EXPECT_TRUE(allTrue(enabledKinds(p)));
    for (int i = 0; i < 7; ++i) EXPECT_FALSE(p.formInit().optSelect[i].Value()) << i;
    EXPECT_TRUE(p.state().pConn().isOpen());
    EXPECT_TRUE(p.state().pConnUser().isOpen());
    EXPECT_EQ(logLines().size(), 1u);

    p.formInit().imgExit.Press();
    EXPECT_TRUE(p.ended());
    EXPECT_FALSE(p.state().pConn().isOpen());
    EXPECT_FALSE(p.state().pConnUser().isOpen());
    EXPECT_EQ(p.finish(), 0);
  }
  auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(messageField(lines[0]), startLineMessage());
  EXPECT_EQ(messageField(lines[1]), endLineMessage());
  const std::regex shape(R"(#\d{4}-\d\d-\d\d( \d\d:\d\d:\d\d)?#,"[^"]*",0,"")");
  for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, shape)) << l;
  EXPECT_TRUE(dialogs.shown.empty());

  // A second run appends its own two lines.
  {
    app::Program p(folder());
    startOk(p);
    p.formInit().close();  // the close box ends the program too
    EXPECT_TRUE(p.ended());
    EXPECT_TRUE(p.state().pConn().isOpen()) << "the close box does not close the connections";
    p.finish();
  }
  EXPECT_EQ(logLines().size(), 4u);
}

TEST_F(StartupTest, BankWithoutAwaTableDisablesAwa) {
  makeBank({Kind::AWA});
  app::Program p(folder());
  startOk(p);
  EXPECT_EQ(p.state().flgTable, (std::array<std::int16_t, 6>{1, 1, 1, 1, 1, 0}));
  EXPECT_FALSE(p.state().flgAllKinds);
  EXPECT_EQ(enabledKinds(p), (std::vector<bool>{true, true, true, true, true, false, true}));
}

TEST_F(StartupTest, OnlyTheExactNameOfAUserTableCounts) {
  // "sctbl" is another name, and a system table named like a question table is no question table.
  makeBank({Kind::SC});
  {
    store::Connection c;
    c.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
    c.execute("select * into sctbl from CRtbl;");
    c.close();
  }
  bank::schema::setTableAttributes(bank::schema::bankPath(folder()), bank::schema::kBankKey, "PStbl",
                                    static_cast<long>(store::dao::dbSystemObject));
  app::Program p(folder());
  startOk(p);
  EXPECT_EQ(p.state().flgTable, (std::array<std::int16_t, 6>{0, 1, 1, 0, 1, 1}));
  EXPECT_FALSE(p.state().flgAllKinds);
  EXPECT_EQ(enabledKinds(p), (std::vector<bool>{false, true, true, false, true, true, true}));
}

TEST_F(StartupTest, MovedFolderRepointsTheLinks) {
  QTemporaryDir old;
  const fs::path before(old.path().toStdString());
  bank::schema::createBank(before);
  for (const char* f : {bank::schema::kBankFile, bank::schema::kUserFile}) fs::rename(before / f, folder() / f);
  fs::remove_all(before);

  app::Program p(folder());
  startOk(p);
  store::Connection& conn = p.state().pConn();
  conn.execute("insert into tblMemo (numQ, probtype) values ('0101001', 'SC');");
  store::Recordset rs;
  rs.open("select count(*) as n from tblMemo;", conn, store::adOpenDynamic, store::adLockReadOnly);
  EXPECT_EQ(rs.value("n").toInt(), 1);
  rs.close();

  // The row is in the user database of the new folder.
  store::Connection user;
  user.open(bank::schema::userPath(folder()).string(), bank::schema::kUserKey);
  store::Recordset check;
  check.open("select numQ from tblMemo;", user, store::adOpenDynamic, store::adLockReadOnly);
  ASSERT_FALSE(check.eof());
  EXPECT_EQ(check.value("numQ").toString(), "0101001");
}

TEST_F(StartupTest, APairStoppedOnItsWayInIsPutInPlaceBeforeTheBankIsOpened) {
  makeBank();
  const fs::path due = folder() / ".zorbex-publish-due";  // where a stopped run's committed pair waits
  fs::create_directory(due);
  bank::schema::createBank(due, {Kind::AWA});  // told apart from the old pair by its missing AWA table
  {
    app::Program p(folder());
    startOk(p);
    EXPECT_FALSE(p.state().hasTable(Kind::AWA));
    p.formInit().imgExit.Press();
  }
  EXPECT_FALSE(fs::exists(due));
  const auto lines = logLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("a publication or creation stopped part-way was completed") != std::string::npos;
  }));
}

TEST_F(StartupTest, MissingBankIsReportedAndEndsTheProgram) {
  ui::ShownMessage m = startFails();
  EXPECT_EQ(m.icon, ui::MsgIcon::Critical);
  EXPECT_EQ(m.buttons, ui::MsgButtons::OkOnly);
  EXPECT_TRUE(std::regex_match(m.text, std::regex(R"(-?\d+:.+)"))) << m.text;
  EXPECT_EQ(m.text.substr(0, 5), "3024:") << m.text;
}

TEST_F(StartupTest, AFolderNamedLikeTheBankIsReportedAsAFolder) {
  makeBank();
  fs::remove(bank::schema::bankPath(folder()));
  fs::create_directory(bank::schema::bankPath(folder()));
  ui::ShownMessage m = startFails();
  EXPECT_NE(m.text.find("is a folder"), std::string::npos) << m.text;
}

TEST_F(StartupTest, WrongBankKeyIsReported) {
  makeBank();
  // A file of ours under another key: the user database put in the bank's place.
  fs::copy_file(bank::schema::userPath(folder()), bank::schema::bankPath(folder()),
                fs::copy_options::overwrite_existing);
  ui::ShownMessage m = startFails();
  EXPECT_EQ(m.text.substr(0, 5), "3031:") << m.text;
}

TEST_F(StartupTest, MissingLinkDefinitionIsReported) {
  makeBank();
  {
    auto db = store::dao::openDatabase(bank::schema::bankPath(folder()).string(), false, false,
                                       std::string("MS Access;pwd=") + bank::schema::kBankKey);
    db.deleteTableDef("tblSuspend");
    db.close();
  }
  ui::ShownMessage m = startFails();
  EXPECT_EQ(m.text.substr(0, 5), "3265:") << m.text;
  EXPECT_NE(m.text.find("tblSuspend"), std::string::npos) << m.text;
}

TEST_F(StartupTest, MissingUserDatabaseIsReported) {
  makeBank();
  fs::remove(bank::schema::userPath(folder()));
  ui::ShownMessage m = startFails();
  EXPECT_TRUE(std::regex_match(m.text, std::regex(R"(-?\d+:.+)"))) << m.text;
}

TEST_F(StartupTest, UnwritableLogStopsTheStartWithoutAnyLine) {
  makeBank();
  fs::create_directory(logFile());  // a folder where the log file should be
  app::Program p(folder());
  EXPECT_EQ(p.start(), 1);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text.substr(0, 3), "75:");
  EXPECT_FALSE(p.formInit().Loaded());
}

TEST_F(StartupTest, SecondCopyOnTheSameFolderEndsSilently) {
  makeBank();
  app::Program first(folder());
  startOk(first);
  const std::string logBefore = logText();
  {
    app::Program second(folder());
    EXPECT_EQ(second.start(), 0);
    EXPECT_FALSE(second.formBindData().Visible());
    EXPECT_FALSE(second.formInit().Loaded());
    EXPECT_EQ(second.finish(), 0);
  }
  EXPECT_EQ(logText(), logBefore);
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_TRUE(first.formInit().Visible());
}

}  // namespace
