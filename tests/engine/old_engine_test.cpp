// The bank and the user database against the engine they were made with before: Debian's
// SQLCipher 3.4.1, through its 'sqlcipher' shell run as a program. Files that it wrote open,
// take writes and pass every check here; files written here (history, search index, a
// compacted copy included) open there, pass its integrity check and give the same rows.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db_error.h"
#include "schema.h"
#include "sqlite_db.h"
#include "temp_dir.h"
#include "tool_run.h"

namespace fs = std::filesystem;
using bank::schema::kBankKey;
using bank::schema::kUserKey;
using testing_support::bankTool;
using testing_support::ToolRun;

namespace {

// Runs statements in the old engine's shell on file, after its key; stops at the first error.
ToolRun oldShell(const fs::path& file, const std::string& key, const std::string& sql) {
  const fs::path script = file.string() + ".sql";
  {
    std::ofstream out(script);
    out << "PRAGMA key='" << key << "';\n" << sql << "\n";
  }
  const std::string cmd = "sqlcipher -batch -bail " + testing_support::quoteArg(file.string()) + " < " +
                          testing_support::quoteArg(script.string()) + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  const int status = pclose(p);
  fs::remove(script);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// Every page of file written anew by the old engine: its export of the whole file into a new
// one, which then takes the file's place.
void rewriteWithOldEngine(const fs::path& file, const std::string& key) {
  const fs::path fresh = file.string() + ".old";
  const ToolRun r = oldShell(file, key,
                             "ATTACH '" + fresh.string() + "' AS old KEY '" + key +
                                 "';\nSELECT sqlcipher_export('old');\nDETACH old;");
  ASSERT_EQ(r.status, 0) << r.out;
  fs::rename(fresh, file);
}

// Each row of every ordinary table of the file as one text, the same in both engines (reals
// printed to six places, since the two print them to different digits), sorted.
std::string rowsSql(store::SqliteDb& db, const std::string& table) {
  std::string expr;
  for (auto cols = db.query("PRAGMA table_info(\"" + table + "\")"); cols->next();) {
    const std::string c = "\"" + cols->column(1).toString() + "\"";
    expr += (expr.empty() ? "" : "||'|'||") + std::string("CASE typeof(") + c + ") WHEN 'real' THEN printf('%.6f', " +
            c + ") WHEN 'blob' THEN hex(" + c + ") ELSE quote(" + c + ") END";
  }
  return "SELECT " + expr + " FROM \"" + table + "\" ORDER BY 1;";
}

std::vector<std::string> ordinaryTables(store::SqliteDb& db) {
  std::vector<std::string> names;
  for (auto rows = db.query("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' "
                            "AND sql NOT LIKE 'CREATE VIRTUAL%' ORDER BY name");
       rows->next();)
    names.push_back(rows->column(0).toString());
  return names;
}

// The file's rows as the old engine reads them equal those that this engine reads.
void expectSameRowsInOldEngine(const fs::path& file, const std::string& key) {
  auto db = store::SqliteDb::openExisting(file.string(), key, true);
  const std::vector<std::string> tables = ordinaryTables(*db);
  ASSERT_FALSE(tables.empty());
  for (const std::string& t : tables) {
    const std::string sql = rowsSql(*db, t);
    std::string here;
    for (auto rows = db->query(sql); rows->next();) here += rows->column(0).toString() + "\n";
    const ToolRun there = oldShell(file, key, sql);
    ASSERT_EQ(there.status, 0) << t << ": " << there.out;
    EXPECT_EQ(there.out, here) << "table " << t << " of " << file;
  }
}

const char* const kQuokka = "update SCtbl set question='{\\rtf1\\ansi The quokka sleeps}' where numQ='01201'";

class OldEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    const ToolRun made = bankTool({"create", "--demo", dir.path().string()});
    ASSERT_EQ(made.status, 0) << made.out;
  }
  fs::path be() const { return bank::schema::bankPath(dir.path()); }
  fs::path user() const { return bank::schema::userPath(dir.path()); }

  testing_support::TempDir dir;
};

TEST_F(OldEngine, FilesItWroteOpenTakeWritesAndStayReadableToIt) {
  rewriteWithOldEngine(be(), kBankKey);
  rewriteWithOldEngine(user(), kUserKey);
  // Both files open with their keys, the user database through its links from the bank.
  const ToolRun checked = bankTool({"check", dir.path().string()});
  ASSERT_EQ(checked.status, 0) << checked.out;
  EXPECT_NE(checked.out.find("zorbex_be.mdb: integrity ok"), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find("zorbex_user.mdb: integrity ok"), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find("tblMemo          3 rows"), std::string::npos) << checked.out;

  // A write keeps its version in the history and reaches the search index.
  const ToolRun written = bankTool({"sql", dir.path().string(), kQuokka});
  ASSERT_EQ(written.status, 0) << written.out;
  // (The first search builds the index, its progress printed ahead of the hit.)
  EXPECT_NE(bankTool({"search", dir.path().string(), "quokka"}).out.find("SC\t01201\tstem\tThe «quokka» sleeps"),
            std::string::npos);
  const ToolRun kept = bankTool({"history", dir.path().string(), "01201", "--kind", "SC"});
  EXPECT_EQ(kept.status, 0) << kept.out;
  EXPECT_FALSE(kept.out.empty());

  // The old engine still reads both files whole, the write included.
  EXPECT_EQ(oldShell(be(), kBankKey, "PRAGMA integrity_check;").out, "ok\n");
  EXPECT_EQ(oldShell(user(), kUserKey, "PRAGMA integrity_check;").out, "ok\n");
  EXPECT_EQ(oldShell(be(), kBankKey, "SELECT question FROM SCtbl WHERE numQ='01201';").out,
            "{\\rtf1\\ansi The quokka sleeps}\n");
}

TEST_F(OldEngine, FilesWrittenHereOpenThereWhole) {
  // History, the search index and its words written by this engine.
  ASSERT_EQ(bankTool({"sql", dir.path().string(), kQuokka}).status, 0);
  ASSERT_EQ(bankTool({"search", dir.path().string(), "quokka"}).status, 0);
  auto kept = store::SqliteDb::openExisting(be().string(), kBankKey, true);
  ASSERT_GT(kept->query("SELECT count(*) FROM zx_history")->next() ? 1 : 0, 0);
  kept.reset();

  for (const auto& [file, key] : {std::pair{be(), kBankKey}, std::pair{user(), kUserKey}}) {
    EXPECT_EQ(oldShell(file, key, "PRAGMA integrity_check;").out, "ok\n") << file;
    expectSameRowsInOldEngine(file, key);
  }
  // The search index answers there as here.
  const std::string match = "SELECT docid FROM zx_search WHERE words MATCH 'quokka' ORDER BY docid;";
  std::string here;
  {
    auto db = store::SqliteDb::openExisting(be().string(), kBankKey, true);
    for (auto rows = db->query(match); rows->next();) here += rows->column(0).toString() + "\n";
  }
  EXPECT_FALSE(here.empty());
  EXPECT_EQ(oldShell(be(), kBankKey, match).out, here);
}

TEST_F(OldEngine, ACompactedBankOpensThere) {
  ASSERT_EQ(bankTool({"sql", dir.path().string(), kQuokka}).status, 0);
  const ToolRun compacted = bankTool({"compact", dir.path().string()});
  ASSERT_EQ(compacted.status, 0) << compacted.out;
  EXPECT_EQ(oldShell(be(), kBankKey, "PRAGMA integrity_check;").out, "ok\n");
  expectSameRowsInOldEngine(be(), kBankKey);
}

TEST_F(OldEngine, ACompactedCopyUnderAnotherKeyOpensWithThatKeyOnly) {
  const fs::path copy = dir / "copy.mdb";
  store::SqliteDb::openExisting(be().string(), kBankKey, false)->writeCompactCopy(copy.string(), "another key");
  EXPECT_EQ(oldShell(copy, "another key", "PRAGMA integrity_check;").out, "ok\n");
  EXPECT_NO_THROW(store::SqliteDb::openExisting(copy.string(), "another key", true));
  try {
    store::SqliteDb::openExisting(copy.string(), kBankKey, true);
    ADD_FAILURE() << "the bank's key opened the copy";
  } catch (const store::DbError& e) {
    EXPECT_EQ(e.fault, store::EngineFault::NotADatabase);
  }
}

}  // namespace
