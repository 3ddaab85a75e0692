// The section window's compaction and import, driven through its controls against real
// banks: messages with their titles and icons, the log, and what the files hold afterwards.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "bank_files.h"
#include "connection.h"
#include "controls/app_services.h"
#include "controls/form.h"
#include "program.h"
#include "recordset.h"
#include "session.h"
#include "temp_dir.h"
#include "window_check.h"
#include "import_sources.h"

namespace {

using testing_support::TempDir;
using ui::MsgButtons;
using ui::MsgIcon;
using ui::MsgResult;

constexpr int kSC = 0, kMemo = 3;

using testing_support::makeSource;

long count(store::Connection& c, const std::string& sql) {
  store::Recordset rs;
  rs.open(sql, c, store::adOpenDynamic, store::adLockReadOnly);
  long n = static_cast<long>(rs.value("n").toInt());
  rs.close();
  return n;
}

void addMemo(const fs::path& userFile, const std::string& numQ, const std::string& text) {
  store::Connection c;
  c.open(userFile.string(), bank::schema::kUserKey);
  c.execute("insert into tblMemo (numQ, probtype, choice, category, description) values ('" + numQ +
            "', 'SC', 'B', 'grammar', '" + text + "');");
}

class MaintenanceTest : public AppFolderTest {
 protected:
  void SetUp() override {
    makeBank();
    program = std::make_unique<app::Program>(folder());
    ASSERT_EQ(program->start(), app::Program::kRunning);
  }
  void TearDown() override {
    closeOpenEditors();
    program.reset();
    flushDeletes();
  }
  app::FormInit& init() { return program->formInit(); }
  store::Connection& bank() { return program->state().pConn(); }

  void chooseFile(int section, const fs::path& file) {
    init().optPoolSection[section].setValue(true);
    dialogs.queueFile(file.string());
    init().cmdFileOpen.Press();
  }
  std::vector<std::string> listed() {
    std::vector<std::string> out;
    for (int i = 0; i < init().lstEdit.ListCount(); ++i) out.push_back(init().lstEdit.List(i));
    return out;
  }
  void expectShown(size_t index, const std::string& text, const std::string& title, MsgIcon icon) {
    ASSERT_LT(index, dialogs.shown.size());
    EXPECT_EQ(dialogs.shown[index].text, text);
    EXPECT_EQ(dialogs.shown[index].title, title);
    EXPECT_EQ(dialogs.shown[index].icon, icon);
  }
  // The log lines after the start line, from the message field on.
  std::vector<std::string> logAfterStart() {
    std::vector<std::string> out;
    auto lines = logLines();
    for (size_t i = 1; i < lines.size(); ++i) out.push_back(lines[i].substr(lines[i].find("#,") + 2));
    return out;
  }

  std::unique_ptr<app::Program> program;
  TempDir sourceDir;
};

TEST_F(MaintenanceTest, ListsThePoolsOrTheMemosOfTheChosenFile) {
  fs::path source = makeSource(sourceDir.path(), {"N777", "N778"});
  addMemo(bank::schema::userPath(sourceDir.path()), "77701", "memo");
  chooseFile(kSC, source);
  EXPECT_EQ(dialogs.fileFilters.at(0), "すべてのﾌｧｲﾙ (*.*)|*.*| MDBﾌｧｲﾙ (*.mdb)|*.mdb");
  EXPECT_EQ(listed(), (std::vector<std::string>{"N777", "N778"}));
  EXPECT_EQ(init().lstEdit.ListIndex(), 0);
  window_check::save(init(), "FormInit-import");
  init().optPoolSection[kMemo].setValue(true);  // the bank file under the memos' key: nothing
  EXPECT_TRUE(listed().empty());
  chooseFile(kMemo, bank::schema::userPath(sourceDir.path()));
  EXPECT_EQ(listed(), (std::vector<std::string>{"77701"}));
  init().optPoolSection[kSC].setValue(true);
  EXPECT_TRUE(listed().empty());
  init().optPoolSection[kMemo].setValue(true);
  EXPECT_EQ(listed(), (std::vector<std::string>{"77701"}));
  init().cmdCancel.Press();
  EXPECT_TRUE(listed().empty());
  EXPECT_TRUE(init().pImportFileName.empty());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MaintenanceTest, EmptyTableAndForeignKeyListNothing) {
  TempDir emptyDir;
  bank::schema::createBank(emptyDir.path());
  chooseFile(kSC, bank::schema::bankPath(emptyDir.path()));
  expectShown(0, "3021:選択した問題種別には問題プールデータがありません。", ui::AppTitle(), MsgIcon::Critical);
  chooseFile(kSC, bank::schema::userPath(emptyDir.path()));  // not a bank's key: refused with the reason
  expectShown(1, "Invalid File Name.\nIt is a user database, which has another key than a bank.", "Error",
              MsgIcon::Critical);
  EXPECT_TRUE(listed().empty());
  EXPECT_TRUE(init().pImportFileName.empty());
}

TEST_F(MaintenanceTest, AFileThatIsNoDatabaseIsRefusedWithTheReason) {
  { std::ofstream(sourceDir / "notes.mdb") << "not a database\r\n"; }
  chooseFile(kSC, sourceDir / "notes.mdb");
  ASSERT_EQ(dialogs.shown.size(), 1u);
  expectShown(0, "Invalid File Name.\nIt is not a database file.", "Error", MsgIcon::Critical);
  window_check::save(init(), "FormInit-invalid-file");
  EXPECT_TRUE(listed().empty());
}

TEST_F(MaintenanceTest, AMemoSourceGoneSinceItWasListedIsRefusedBeforeTheQuestion) {
  const fs::path sourceUser = bank::schema::userPath(sourceDir.path());
  makeSource(sourceDir.path(), {});
  addMemo(sourceUser, "77701", "memo");
  chooseFile(kMemo, sourceUser);
  fs::remove(sourceUser);
  init().cmdImport.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  expectShown(0, "Invalid File Name.\nThe file does not exist.", "Error", MsgIcon::Critical);
}

TEST_F(MaintenanceTest, RefusesWhatCannotBeImported) {
  init().cmdImport.Press();
  expectShown(0, "Invalid file name", "Import Error", MsgIcon::Critical);
  EXPECT_EQ(logAfterStart().back(), "\"BindData Error:0:\",0,\"\"");

  chooseFile(kSC, bank::schema::bankPath(folder()));  // the bank itself
  expectShown(1, "Invalid File Name.\nIt is the bank itself.", "Error", MsgIcon::Critical);
  EXPECT_TRUE(init().pImportFileName.empty());
  init().optPoolSection[kSC].setValue(true);
  init().cmdFileOpen.Press();  // cancelled
  expectShown(2, "Invalid File Name.", "Error", MsgIcon::Critical);
  TempDir semicolon;  // a name that would end the link's connect string early
  fs::copy_file(makeSource(semicolon.path(), {"N1"}), semicolon / "a;DATABASE=b.mdb");
  chooseFile(kSC, semicolon / "a;DATABASE=b.mdb");
  expectShown(3, "Invalid File Name.\nIts name contains \";\", which a link cannot hold.", "Error", MsgIcon::Critical);
  dialogs.shown.erase(dialogs.shown.begin() + 3);

  chooseFile(kSC, makeSource(sourceDir.path(), {"N777", "N778"}));
  init().lstEdit.setSelected(1, true);
  init().cmdImport.Press();
  expectShown(3, "You can select only one pool.", ui::AppTitle(), MsgIcon::Information);
  addMemo(bank::schema::userPath(sourceDir.path()), "77701", "memo");
  chooseFile(kMemo, bank::schema::userPath(sourceDir.path()));
  init().lstEdit.setSelected(0, false);
  init().cmdImport.Press();
  expectShown(4, "Select one or more question numbers.", ui::AppTitle(), MsgIcon::Information);
  EXPECT_EQ(count(bank(), "select count(*) as n from SCtbl where src='N777';"), 0);
}

TEST_F(MaintenanceTest, ImportsTheSelectedPoolAfterYesAndCompletesAfterNo) {
  chooseFile(kSC, makeSource(sourceDir.path(), {"N777", "N778"}));
  init().lstEdit.setListIndex(1);                                  // N778 selected...
  init().lstEdit.setCurrentRow(0, QItemSelectionModel::NoUpdate);  // ...N777 current (a Ctrl-click)
  dialogs.queueAnswer(MsgResult::No);
  init().cmdImport.Press();
  expectShown(0, "Are you sure?", "Import", MsgIcon::Exclamation);
  EXPECT_EQ(dialogs.shown[0].buttons, MsgButtons::YesNo);
  expectShown(1, "Import completed.", "Import", MsgIcon::Information);
  EXPECT_EQ(count(bank(), "select count(*) as n from SCtbl;"), 0);

  dialogs.queueAnswer(MsgResult::Yes);
  init().cmdImport.Press();
  expectShown(3, "Import completed.", "Import", MsgIcon::Information);
  EXPECT_EQ(count(bank(), "select count(*) as n from SCtbl where src='N778';"), 3);
  EXPECT_EQ(count(bank(), "select count(*) as n from SCtbl where src='N777';"), 0);
  const std::string staged = "\"BindData SQL:select * into ImportTbl from SCtbl where src='N778';\",0,\"\"";
  const std::string completed = "\"BindData successfully completed.\",0,\"\"";
  EXPECT_EQ(logAfterStart(),
            (std::vector<std::string>{staged, completed, staged,
                                      "\"BindData SQL:insert into SCtbl select * from ImportTbl;\",0,\"\"", completed}));
}

TEST_F(MaintenanceTest, AFailedImportIsLoggedAndShownAsARepeatedNumberOnlyWhenItIsOne) {
  fs::path source = makeSource(sourceDir.path(), {"N777"});
  bank().execute("insert into SCtbl (numQ, src) values ('77702', 'OTHER');");
  chooseFile(kSC, source);
  dialogs.queueAnswer(MsgResult::Yes);
  init().cmdImport.Press();
  expectShown(1, "The question number is duplicated.", "Import Error", MsgIcon::Critical);
  auto log = logAfterStart();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[1].find("SQL:insert into SCtbl"), std::string::npos);
  EXPECT_EQ(log[2].rfind("\"BindData Error:-2147467259:", 0), 0u) << log[2];
  EXPECT_NE(log[2].find("\",-2147467259,\""), std::string::npos) << log[2];

  store::Connection writer;  // another program in the middle of a write
  writer.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
  store::Transaction busy(writer);
  writer.execute("insert into SCtbl (numQ, src) values ('55501', 'W');");
  init().cmdImport.Press();
  // The link cannot be written: the import stops there, before the question.
  ASSERT_EQ(dialogs.shown.size(), 3u);
  expectShown(2, "3218:The database is locked by another program; try again.", "Import Error", MsgIcon::Critical);
  EXPECT_EQ(logAfterStart().back().rfind("\"BindData Error:3218:", 0), 0u) << logAfterStart().back();
}

TEST_F(MaintenanceTest, MemosAreImportedAfterYesAndAFailureIsShownBeforeTheQuestion) {
  const fs::path sourceUser = bank::schema::userPath(sourceDir.path());
  makeSource(sourceDir.path(), {});
  addMemo(sourceUser, "77701", "second");
  addMemo(sourceUser, "77702", "new one");
  chooseFile(kMemo, sourceUser);
  init().lstEdit.setSelected(1, true);
  dialogs.queueAnswer(MsgResult::Yes);
  init().cmdImport.Press();
  expectShown(0, "Are you sure?", "Import", MsgIcon::Exclamation);
  expectShown(1, "Import completed.", "Import", MsgIcon::Information);
  EXPECT_EQ(count(bank(), "select count(*) as n from tblMemo where numQ in ('77701', '77702');"), 2);
  // The second memo's row goes: its reading fails before the question.
  store::Connection source;
  source.open(sourceUser.string(), bank::schema::kUserKey);
  source.execute("delete from tblMemo where numQ='77702';");
  source.close();
  init().cmdImport.Press();
  ASSERT_EQ(dialogs.shown.size(), 3u);
  EXPECT_EQ(dialogs.shown.back().text.rfind("3021:", 0), 0u) << dialogs.shown.back().text;
  EXPECT_EQ(dialogs.shown.back().title, "Import Error");
}

TEST_F(MaintenanceTest, CompressCancelledChangesNothing) {
  const std::string bytes = testing_support::bytesOf(bank::schema::bankPath(folder()));
  init().cmdCompress.Press();
  expectShown(0, "Compression may need a few minutes. Are you sure?", "Compress", MsgIcon::Information);
  EXPECT_EQ(dialogs.shown[0].buttons, MsgButtons::OkCancel);
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(bank().isOpen());
  EXPECT_FALSE(program->ended());
  EXPECT_EQ(testing_support::bytesOf(bank::schema::bankPath(folder())), bytes);
}

TEST_F(MaintenanceTest, CompressReplacesTheBankAndEndsTheProgram) {
  { std::ofstream(folder() / bank::schema::kCompactFile) << "stale"; }
  dialogs.queueAnswer(MsgResult::Ok);
  init().cmdCompress.Press();
  expectShown(1, "Compression completed. Restart ZORBEX Editor.", "Compress", MsgIcon::Information);
  EXPECT_TRUE(program->ended());
  EXPECT_EQ(program->finish(), 0);
  EXPECT_NE(logLines().back().find("has been terminated."), std::string::npos);
  EXPECT_FALSE(fs::exists(folder() / bank::schema::kCompactFile));
  store::Connection c;
  c.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
  EXPECT_EQ(count(c, "select count(*) as n from SCtbl;"), 0);
}

TEST_F(MaintenanceTest, CompressOfAHeldBankIsReportedAndWorkGoesOn) {
  store::Connection other;
  other.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
  other.execute("select count(*) from SCtbl;");
  dialogs.queueAnswer(MsgResult::Ok);
  init().cmdCompress.Press();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].text.rfind("3218:", 0), 0u) << dialogs.shown[1].text;
  EXPECT_EQ(dialogs.shown[1].buttons, MsgButtons::OkOnly);
  EXPECT_EQ(init().mousePointer(), ui::MousePointer::Default);
  EXPECT_FALSE(program->ended());
  ASSERT_TRUE(bank().isOpen());
  EXPECT_TRUE(program->state().pConnUser().isOpen());
  EXPECT_EQ(count(bank(), "select count(*) as n from SCtbl;"), 0);
}

}  // namespace
