// Moving a Jet bank: tables built here stand in for the bank's own (no Jet writer exists
// on these machines), corpus files go through the same code, and the tool is run whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <random>

#include "connection.h"
#include "corpus.h"
#include "jet_pages.h"
#include "tool_run.h"
#include "migrate.h"
#include "recordset.h"
#include "schema.h"
#include "sqlite_db.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
namespace schema = bank::schema;
using jet::ColumnType;
using store::Value;
using testing_support::TempDir;
using jet_pages::JetFile;
using testing_support::bytesOf;

namespace {

const fs::path kCorpus = fs::path(ZORBEX_CORPUS_DIR) / "mdb";
const std::string kBytes("\x00\xff\x01PNG\r\n", 8);

jet::Table table(std::string name, std::vector<std::pair<std::string, ColumnType>> cols, std::vector<jet::Row> rows) {
  jet::Table t{std::move(name), {}, std::move(rows)};
  for (auto& [n, type] : cols) t.columns.push_back({n, type});
  return t;
}

jet::Database oldBank() {
  jet::Database db;
  db.file = "old/bank.mdb";
  db.tables.push_back(table("SCtbl",
                            {{"numQ", ColumnType::Text}, {"src", ColumnType::Text}, {"question", ColumnType::Memo},
                             {"questionTop", ColumnType::Double}, {"reviewer", ColumnType::Text}},
                            {{"A00101", "A001", "{\\rtf1 What \\b is\\b0 it?}", 120.5, "ke"},
                             {"a00101", "A001", "the same number again", 0.25, Value()},
                             {"A00102", "A001", "𠀋 beyond the plane", 3.0, ""}}));
  db.tables.push_back(table("12to13SC", {{"12th", ColumnType::LongInteger}, {"13th", ColumnType::LongInteger}},
                            {{1, 101}, {2, 102}}));
  db.tables.push_back(table("Prices",
                            {{"Price", ColumnType::Currency}, {"Shot", ColumnType::OleObject},
                             {"When", ColumnType::DateTime}, {"Done", ColumnType::Boolean}},
                            {{"12.3456", kBytes, "1899-12-29 06:00:00", -1}}));
  db.links.push_back({"tblMemo", "C:\\old\\user.mdb", "tblMemo", ""});
  db.links.push_back({"Rates", "C:\\old\\rates.mdb", "Rates", ""});
  return db;
}

jet::Database oldUser() {
  jet::Database db;
  db.file = "old/user.mdb";
  db.tables.push_back(table("tblMemo",
                            {{"numQ", ColumnType::Text}, {"probtype", ColumnType::Text}, {"choice", ColumnType::Text},
                             {"category", ColumnType::Text}, {"description", ColumnType::Memo}},
                            {{"A00101", "SC", "B", "grammar", "メモ: keep this"}}));
  return db;
}

std::unique_ptr<store::SqliteDb> open(const fs::path& dir, bool bank) {
  return bank ? store::SqliteDb::openExisting(schema::bankPath(dir).string(), schema::kBankKey, true)
              : store::SqliteDb::openExisting(schema::userPath(dir).string(), schema::kUserKey, true);
}

std::vector<std::vector<Value>> rowsOf(store::SqliteDb& db, const std::string& sql) {
  auto st = db.prepare(sql);
  std::vector<std::vector<Value>> rows;
  while (st.step()) {
    rows.emplace_back();
    for (int i = 0; i < st.columnCount(); ++i) rows.back().push_back(st.column(i));
  }
  return rows;
}

using testing_support::ToolRun;
const auto tool = testing_support::bankTool;

}  // namespace

TEST(Migrate, BankTablesLinksAndUserTablesArriveWhole) {
  TempDir tmp;
  fs::path dir = tmp / "new";
  jet::MigrationResult r = jet::migrate(oldBank(), oldUser(), dir);

  ASSERT_EQ(r.tables.size(), 4u);
  EXPECT_EQ(r.tables[0].table, "SCtbl");
  EXPECT_EQ(r.tables[0].read, 3u);
  EXPECT_EQ(r.tables[0].written, 3u);
  EXPECT_EQ(r.tables[3].file, schema::kUserFile);

  auto bank = open(dir, true);
  // numQ stays unique: the repeat is kept aside, and said so.
  EXPECT_EQ(rowsOf(*bank, "SELECT numQ, question, reviewer FROM SCtbl ORDER BY rowid;"),
            (std::vector<std::vector<Value>>{{"A00101", "{\\rtf1 What \\b is\\b0 it?}", "ke"},
                                             {"A00102", "𠀋 beyond the plane", ""}}));
  EXPECT_EQ(rowsOf(*bank, "SELECT numQ FROM SCtbl_duplicate_numQ;"), (std::vector<std::vector<Value>>{{"a00101"}}));
  bool noted = false;
  for (const std::string& n : r.notes) noted = noted || n.find("repeats numQ 'a00101'") != std::string::npos;
  EXPECT_TRUE(noted);
  // Kinds the old bank did not have stay absent; other tables come as they were.
  EXPECT_FALSE(bank->hasTable("CRtbl"));
  EXPECT_EQ(rowsOf(*bank, "SELECT Price, typeof(Shot), Shot, [When], Done FROM Prices;"),
            (std::vector<std::vector<Value>>{{"12.3456", "blob", kBytes, "1899-12-29 06:00:00", -1}}));

  // The editor's own connection reaches the user's memos through the bank's link.
  store::Connection conn;
  conn.open(schema::bankPath(dir).string(), schema::kBankKey);
  store::Recordset rs;
  rs.open("select * from tblMemo", conn, store::adOpenDynamic, store::adLockReadOnly);
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.value("description").toString(), "メモ: keep this");
}

TEST(Migrate, RefusesToOverwriteAndLeavesTheFilesAsTheyWere) {
  TempDir dir;
  schema::createBank(dir.path());
  std::string before = bytesOf(schema::bankPath(dir.path()));
  EXPECT_THROW(jet::migrate(oldBank(), oldUser(), dir.path()), jet::MigrationError);
  EXPECT_EQ(bytesOf(schema::bankPath(dir.path())), before);
}

TEST(Migrate, AFailureWhileWritingLeavesNothingBehind) {
  TempDir tmp;
  jet::Database user = oldUser();
  user.tables.push_back(table("Odd", {{"a", ColumnType::Text}, {"A", ColumnType::Text}}, {{"x", "y"}}));  // no table holds both
  EXPECT_THROW(jet::migrate(oldBank(), user, tmp / "new"), jet::MigrationError);
  EXPECT_FALSE(fs::exists(tmp / "new"));
  EXPECT_FALSE(fs::exists(jet::stagingFolder(tmp / "new")));
}

TEST(Migrate, NamesHoldingQuotesBracketsAndStatementTextAreOnlyNames) {
  TempDir tmp;
  jet::Database user = oldUser();
  user.tables.push_back(table("x];--", {{"a\"b]", ColumnType::Text}, {"rowid", ColumnType::LongInteger}},
                              {{"first", 2}, {"second", 1}}));
  jet::migrate(oldBank(), user, tmp / "new");
  auto db = open(tmp / "new", false);
  EXPECT_EQ(rowsOf(*db, "SELECT \"a\"\"b]\", \"rowid\" FROM \"x];--\" ORDER BY _rowid_;"),
            (std::vector<std::vector<Value>>{{"first", 2}, {"second", 1}}));
}

TEST(Migrate, ALocalTableUnderALinkedNameIsRefusedBeforeAnythingIsMade) {
  TempDir tmp;
  jet::Database bank = oldBank();
  bank.tables.push_back(oldUser().tables[0]);  // tblMemo kept in the bank itself
  EXPECT_THROW(jet::migrate(bank, oldUser(), tmp / "new"), jet::MigrationError);
  EXPECT_FALSE(fs::exists(tmp / "new"));
}

TEST(Migrate, CorpusFilesArriveWithEveryRowEqual) {
  SKIP_WITHOUT_CORPUS(kCorpus);
  const std::pair<const char*, const char*> pairs[] = {
      {"mdb-reader/V1997_no-password.mdb", "mdbtestdata/DateTestDatabase.mdb"},
      {"jackcess/testUnicodeCompV2003.mdb", "jackcess/test2V2003.mdb"},
      {"jackcess/testEmoticonsV2010.accdb", "jackcess/overflowTestV2000.mdb"},
  };
  for (const auto& [bankFile, userFile] : pairs) {
    SCOPED_TRACE(bankFile);
    TempDir dir;
    jet::migrateFiles(kCorpus / bankFile, kCorpus / userFile, dir.path());
    for (bool bank : {true, false}) {
      auto db = open(dir.path(), bank);
      for (const jet::Table& t : jet::readDatabase(kCorpus / (bank ? bankFile : userFile)).tables) {
        auto rows = rowsOf(*db, "SELECT * FROM [" + t.name + "] ORDER BY rowid;");
        ASSERT_EQ(rows.size(), t.rows.size()) << t.name;
        for (size_t i = 0; i < rows.size(); ++i)
          for (size_t c = 0; c < t.columns.size(); ++c) {
            const Value& want = t.rows[i][c];
            const Value& got = rows[i][c];
            if (want.isNumber() && got.isNumber())
              EXPECT_EQ(got.toDouble(), want.toDouble()) << t.name << " row " << i << " " << t.columns[c].name;
            else
              EXPECT_EQ(got, want) << t.name << " row " << i << " " << t.columns[c].name;
          }
      }
    }
  }
}

TEST(Migrate, TheToolPrintsATableALineAndRefusesAForeignSource) {
  SKIP_WITHOUT_CORPUS(kCorpus);
  TempDir tmp;
  std::string bank = (kCorpus / "mdb-reader/V2003_no-password.mdb").string();
  ToolRun ok = tool({"migrate", bank, (kCorpus / "jackcess/delColTestV2000.mdb").string(), (tmp / "a").string()});
  ASSERT_EQ(ok.status, 0) << ok.out;
  EXPECT_NE(ok.out.find("zorbex_be.mdb    Table1                   read      3   written      3"), std::string::npos)
      << ok.out;
  EXPECT_NE(ok.out.find("zorbex_user.mdb  Table1                   read      2   written      2"), std::string::npos);

  std::ofstream(tmp / "notes.mdb") << "A plain text note, not a database.\n";
  ToolRun bad = tool({"migrate", bank, (tmp / "notes.mdb").string(), (tmp / "b").string()});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find((tmp / "notes.mdb").string() + "' is not a Jet database"), std::string::npos) << bad.out;
  EXPECT_FALSE(fs::exists(tmp / "b"));
}

TEST(Migrate, AKilledRunLeavesNoHalfMadeBankAndTheNextRunClearsUp) {
  SKIP_WITHOUT_CORPUS(kCorpus);
  TempDir tmp;
  const fs::path bank = kCorpus / "mdb-reader/V2003_no-password.mdb", user = kCorpus / "jackcess/delColTestV2000.mdb";
  auto began = std::chrono::steady_clock::now();  // how long a run takes here, to spread the kills over it
  jet::migrateFiles(bank, user, tmp / "timing");
  auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - began).count();
  std::mt19937 rng(20261208);
  for (int kill = 0; kill < 8; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    // Every other run goes into a folder that already holds a file: the files move in one by one.
    fs::path dir = tmp / ("new" + std::to_string(kill));
    if (kill % 2) {
      fs::create_directories(dir);
      std::ofstream(dir / "notes.txt") << "kept";
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        jet::migrateFiles(bank, user, dir);
      } catch (...) {
      }
      _exit(0);
    }
    usleep(static_cast<useconds_t>(rng() % static_cast<unsigned>(span + 1)));
    ::kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(!fs::exists(schema::bankPath(dir)) || fs::exists(schema::userPath(dir)));

    try {
      jet::migrateFiles(bank, user, dir);
    } catch (const jet::MigrationError& e) {  // the killed run had finished
      EXPECT_NE(std::string(e.what()).find("already exists"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(jet::stagingFolder(dir)));
    EXPECT_EQ(rowsOf(*open(dir, true), "SELECT count(*) FROM Table1;"), (std::vector<std::vector<Value>>{{3}}));
    EXPECT_EQ(rowsOf(*open(dir, false), "SELECT count(*) FROM Table1;"), (std::vector<std::vector<Value>>{{2}}));
    if (kill % 2) {
      EXPECT_EQ(bytesOf(dir / "notes.txt"), "kept");
    }
  }
}

TEST(JetTool, ADamagedTableIsMarkedAndTheOthersListedAndExported) {
  SKIP_WITHOUT_CORPUS(kCorpus);
  TempDir dir;
  JetFile f(kCorpus / "mdb-reader/V1997_no-password.mdb");
  f.at(f.definitionOf("Table2"), 0) = 0x55;
  f.write(dir / "one-bad.mdb");
  ToolRun tables = tool({"jet-tables", (dir / "one-bad.mdb").string()});
  EXPECT_EQ(tables.status, 1);
  EXPECT_NE(tables.out.find("Table1\t2 rows\t"), std::string::npos) << tables.out;
  EXPECT_NE(tables.out.find("Table2\tunreadable: "), std::string::npos) << tables.out;
  EXPECT_NE(tables.out.find("Table4\t0 rows\t"), std::string::npos) << tables.out;
  ToolRun exported = tool({"jet-export", (dir / "one-bad.mdb").string(), "Table1"});
  EXPECT_EQ(exported.status, 0) << exported.out;
  EXPECT_EQ(std::count(exported.out.begin(), exported.out.end(), '\n'), 3);
}

TEST(JetTool, SalvageMovesWhatCanBeReadReportsTheRestExits2AndRefusesToOverwrite) {
  SKIP_WITHOUT_CORPUS(kCorpus);
  TempDir dir;
  const fs::path source = kCorpus / "mdbtestdata/DateTestDatabase.mdb";
  JetFile f(source);
  f.setEntry(f.dataPagesOf(f.definitionOf("DateTest")).at(0), 4, 0x1fff);
  f.write(dir / "bank.mdb");
  const std::string user = (kCorpus / "mdb-reader/V1997_no-password.mdb").string();
  const std::string bank = (dir / "bank.mdb").string();

  ToolRun plain = tool({"migrate", bank, user, (dir / "plain").string()});
  EXPECT_EQ(plain.status, 1) << plain.out;
  EXPECT_FALSE(fs::exists(dir / "plain"));

  ToolRun salvage = tool({"migrate", "--salvage", bank, user, (dir / "new").string()});
  EXPECT_EQ(salvage.status, 2) << salvage.out;
  EXPECT_NE(salvage.out.find("DateTest                 read      5   written      5"), std::string::npos) << salvage.out;
  std::string report = bytesOf(dir / "new" / jet::kSalvageReportFile);
  EXPECT_NE(report.find("table 'DateTest': 5 rows read; 1 row and 0 pages could not be read:\n    row 4 of page"),
            std::string::npos) << report;
  EXPECT_NE(report.find("table 'Table1': 2 rows read, nothing lost"), std::string::npos) << report;
  EXPECT_EQ(rowsOf(*open(dir / "new", true), "SELECT count(*) FROM DateTest;"), (std::vector<std::vector<Value>>{{5}}));

  std::string before = bytesOf(dir / "new" / jet::kSalvageReportFile);
  ToolRun again = tool({"migrate", "--salvage", bank, user, (dir / "new").string()});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.out.find("already exists"), std::string::npos) << again.out;
  EXPECT_EQ(bytesOf(dir / "new" / jet::kSalvageReportFile), before);
}
