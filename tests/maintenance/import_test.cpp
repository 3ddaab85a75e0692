// Pools and memos imported from another bank and user database of ours, run on real files
// without windows: the listings, what the bank holds afterwards, the log lines, and the
// refusals that come before the question.
#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "connections.h"
#include "import.h"
#include "recordset.h"
#include "schema.h"
#include "session.h"
#include "temp_dir.h"
#include "import_sources.h"
#include "pg_server.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

using testing_support::makeSource;

void addMemo(const fs::path& userFile, const std::string& numQ, const std::string& text) {
  store::Connection c;
  c.open(userFile.string(), bank::schema::kUserKey);
  c.execute("insert into tblMemo (numQ, probtype, choice, category, description) values ('" + numQ +
            "', 'SC', 'B', 'grammar', '" + text + "');");
}

store::DbError failureOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const store::DbError& e) {
    return e;
  }
  return store::DbError(0, "no failure");
}

class Import : public testing::Test {
 protected:
  void SetUp() override {
    bank::schema::createBank(dir.path());
    bank::OpenConnections(state);
    hooks.log = [this](const std::string& m) { log.push_back(m); };
    hooks.passedOver = [](const store::DbError& e) { ADD_FAILURE() << e.message(); };
    hooks.confirm = [this] {
      ++asked;
      return answer;
    };
  }
  void TearDown() override {
    bank::CloseConnections(state, [](const std::string&) {});
  }
  long count(const std::string& sql) {
    store::Recordset rs;
    rs.open(sql, state.pConn(), store::adOpenDynamic, store::adLockReadOnly);
    long n = static_cast<long>(rs.value("n").toInt());
    rs.close();
    return n;
  }
  std::string memoOf(const std::string& numQ) {
    store::Recordset rs;
    rs.open("select * from tblMemo where numQ='" + numQ + "'", state.pConn(), store::adOpenDynamic,
            store::adLockReadOnly);
    std::string text = rs.eof() ? "<none>" : rs.value("description").toString();
    rs.close();
    return text;
  }

  TempDir dir, sourceDir;
  bank::ProgramState state{dir.path()};
  maintenance::ImportHooks hooks;
  std::vector<std::string> log;
  int asked = 0;
  bool answer = true;
};

TEST_F(Import, ListsThePoolsOfATableOrTheMemosOfAFile) {
  const fs::path source = makeSource(sourceDir.path(), {"N777", "N778"});
  const fs::path sourceUser = bank::schema::userPath(sourceDir.path());
  EXPECT_EQ(maintenance::ListImportPools(source.string(), "SCtbl"), (std::vector<std::string>{"N777", "N778"}));
  EXPECT_EQ(failureOf([&] { maintenance::ListImportMemos(sourceUser.string()); }).number, store::err::NoCurrentRecord);
  addMemo(sourceUser, "77701", "memo");
  EXPECT_EQ(maintenance::ListImportMemos(sourceUser.string()), (std::vector<std::string>{"77701"}));
  // An empty table, and a file under the other key.
  EXPECT_EQ(failureOf([&] { maintenance::ListImportPools(source.string(), "CRtbl"); }).number,
            store::err::NoCurrentRecord);
  EXPECT_EQ(failureOf([&] { maintenance::ListImportMemos(source.string()); }).number, store::err::BadPassword);
  EXPECT_EQ(failureOf([&] { maintenance::ListImportPools(sourceUser.string(), "SCtbl"); }).number,
            store::err::BadPassword);
}

TEST_F(Import, ThePoolIsInsertedWithTheLogLinesFromOneFileAfterAnother) {
  const fs::path source = makeSource(sourceDir.path(), {"N777", "N778"});
  {  // a table left by an earlier import, named in another case
    store::Connection c;
    c.open(source.string(), bank::schema::kBankKey);
    c.execute("select * into importtbl from SCtbl;");
  }
  maintenance::ImportPool(state, source.string(), "SCtbl", "N778", hooks);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='N778';"), 3);
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='N777';"), 0);
  EXPECT_EQ(log, (std::vector<std::string>{" SQL:select * into ImportTbl from SCtbl where src='N778';",
                                           " SQL:insert into SCtbl select * from ImportTbl;", " successfully completed."}));
  TempDir second;
  maintenance::ImportPool(state, makeSource(second.path(), {"N900"}, 900).string(), "SCtbl", "N900", hooks);
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='N900';"), 3);
}

TEST_F(Import, AnsweringNoInsertsNothingYetCompletes) {
  answer = false;
  maintenance::ImportPool(state, makeSource(sourceDir.path(), {"N777"}).string(), "SCtbl", "N777", hooks);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(log.back(), " successfully completed.");
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='N777';"), 0);
}

TEST_F(Import, ARepeatedQuestionNumberIsAKeyViolationAndAddsNoRow) {
  const fs::path source = makeSource(sourceDir.path(), {"N777"});
  state.pConn().execute("insert into SCtbl (numQ, src) values ('77702', 'OTHER');");
  const store::DbError e = failureOf([&] { maintenance::ImportPool(state, source.string(), "SCtbl", "N777", hooks); });
  EXPECT_TRUE(maintenance::isKeyViolation(e)) << e.message();
  EXPECT_EQ(e.number, store::err::Generic);
  EXPECT_EQ(count("select count(*) as n from SCtbl where src='N777';"), 0);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1], " SQL:insert into SCtbl select * from ImportTbl;");
}

TEST_F(Import, WhatCannotBeImportedIsRefusedBeforeTheQuestion) {
  const fs::path source = makeSource(sourceDir.path(), {"N777"});
  auto importPool = [&](const std::string& file, const std::string& pool) {
    return failureOf([&] { maintenance::ImportPool(state, file, "SCtbl", pool, hooks); });
  };
  EXPECT_EQ(importPool(bank::schema::bankPath(dir.path()).string(), "N777").number, maintenance::kInvalidFileName);
  EXPECT_EQ(importPool(sourceDir.path().string(), "N777").number, store::err::Generic);  // a folder
  EXPECT_EQ(importPool(source.string(), "N999").number, store::err::NoCurrentRecord);
  {  // another program in the middle of a write holds the bank
    store::Connection writer;
    writer.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
    store::Transaction busy(writer);
    writer.execute("insert into SCtbl (numQ, src) values ('55501', 'W');");
    EXPECT_EQ(importPool(source.string(), "N777").message(),
              "3218:The database is locked by another program; try again.");
  }
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(count("select count(*) as n from SCtbl;"), 0);
}

TEST_F(Import, ASourceWithOtherColumnsIsRefusedBeforeTheQuestion) {
  bank::schema::createBank(sourceDir.path());
  {
    auto db = store::openOurFile(bank::schema::bankPath(sourceDir.path()).string(), bank::schema::kBankKey, false,
                                 store::ErrorStyle::Ado);
    db->script("DROP TABLE SCtbl;");
    db->script("CREATE TABLE SCtbl (numQ TEXT, question TEXT, src TEXT);");
    db->script("INSERT INTO SCtbl VALUES ('77701', 'stem', 'N777');");
  }
  const store::DbError e = failureOf(
      [&] { maintenance::ImportPool(state, bank::schema::bankPath(sourceDir.path()).string(), "SCtbl", "N777", hooks); });
  EXPECT_EQ(e.number, maintenance::kColumnsDiffer);
  EXPECT_NE(e.description.find("column 2 is 'question' in the source file and 'src' in the bank"), std::string::npos)
      << e.description;
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(count("select count(*) as n from SCtbl where numQ='77701';"), 0);
}

TEST_F(Import, MemosAreAppendedOrCreatedAllOrNothing) {
  const fs::path sourceUser = bank::schema::userPath(sourceDir.path());
  makeSource(sourceDir.path(), {});
  addMemo(sourceUser, "77701", "second");
  addMemo(sourceUser, "77702", "new one");
  addMemo(bank::schema::userPath(dir.path()), "77701", "first");
  maintenance::ImportMemos(state, sourceUser.string(), {"77701", "77702"}, hooks);
  EXPECT_EQ(count("select count(*) as n from tblMemo where numQ='77702' and probtype='SC' and choice='B' and "
                  "category='grammar' and description='new one';"),
            1);
  const std::string line = "\r\n" + std::string(70, '-') + "\r\n";
  EXPECT_EQ(memoOf("77701"), "first" + line + "second");
  // A memo gone from the source: its reading fails before the question, and nothing is appended.
  store::Connection source;
  source.open(sourceUser.string(), bank::schema::kUserKey);
  source.execute("delete from tblMemo where numQ='77702';");
  source.close();
  asked = 0;
  EXPECT_EQ(failureOf([&] { maintenance::ImportMemos(state, sourceUser.string(), {"77701", "77702"}, hooks); }).number,
            store::err::NoCurrentRecord);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(memoOf("77701"), "first" + line + "second");
  // No: nothing appended.
  answer = false;
  maintenance::ImportMemos(state, sourceUser.string(), {"77701"}, hooks);
  EXPECT_EQ(memoOf("77701"), "first" + line + "second");
}

}  // namespace

namespace {

using testing_support::ServerDb;

// A server bank with the memo '77701' "first", and a source file whose memo '77701' is "second".
class ServerMemoImport : public testing::Test {
 protected:
  void SetUp() override {
    bank::schema::createServerBank(server.uri());
    makeSource(sourceDir.path(), {});
    addMemo(source, "77701", "second");
    store::Connection c;
    c.open(server.uri());
    c.execute("insert into tblMemo (numQ, description) values ('77701', 'first');");
  }
  // Imports the source's memo into the server bank over connections of its own; confirm() is asked
  // once the memo is read, just before the bank is written.
  void importMemo(const std::function<bool()>& confirm) {
    TempDir folder;
    bank::ProgramState state{folder.path()};
    state.serverBank = server.uri();
    bank::OpenConnections(state);
    maintenance::ImportHooks hooks;
    hooks.log = [](const std::string&) {};
    hooks.confirm = confirm;
    maintenance::ImportMemos(state, source.string(), {"77701"}, hooks);
    bank::CloseConnections(state, [](const std::string&) {});
  }
  std::string memo() {
    store::Connection c;
    c.open(server.uri());
    store::Recordset rs;
    rs.open("select description from tblMemo where numQ='77701'", c, store::adOpenDynamic, store::adLockReadOnly);
    std::string text = rs.value("description").toString();
    rs.close();
    return text;
  }
  ServerDb server;
  TempDir sourceDir;
  const fs::path source = bank::schema::userPath(sourceDir.path());
  const std::string line = "\r\n" + std::string(70, '-') + "\r\n";
};

// One statement on a connection of the test's own; the first field of its first row.
std::string on(PGconn* c, const std::string& sql) {
  PGresult* r = PQexec(c, sql.c_str());
  EXPECT_TRUE(PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK) << PQresultErrorMessage(r);
  std::string v = PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
  PQclear(r);
  return v;
}

// Another client has changed the memo and holds it in its open transaction; it commits once the
// import waits for it. The append goes onto the text that client committed.
TEST_F(ServerMemoImport, AnAppendWaitsOutAnotherClientsChangeAndAppendsToIt) {
  PGconn* other = PQconnectdb(server.uri().c_str());
  ASSERT_EQ(PQstatus(other), CONNECTION_OK);
  on(other, "BEGIN");
  on(other, "UPDATE zx_user.\"tblMemo\" SET description = description || ' edited' WHERE numq = '77701'");
  std::string failure;
  std::thread import([&] {
    try {
      importMemo([] { return true; });
    } catch (const store::DbError& e) {
      failure = e.message();
    }
  });
  for (int i = 0; i < 6000 && on(other, "SELECT count(*) FROM pg_locks WHERE NOT granted") == "0"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  on(other, "COMMIT");
  import.join();
  PQfinish(other);
  EXPECT_EQ(failure, "");
  EXPECT_EQ(memo(), "first edited" + line + "second");
}

// Eight imports of the same memo begin their writes together: each append is kept.
TEST_F(ServerMemoImport, EightParallelAppendsToOneMemoAreAllKept) {
  constexpr int kImports = 8;
  std::latch together(kImports);
  std::vector<std::string> failures(kImports);
  std::vector<std::thread> imports;
  for (int i = 0; i < kImports; ++i)
    imports.emplace_back([&, i] {
      try {
        importMemo([&] {
          together.arrive_and_wait();
          return true;
        });
      } catch (const store::DbError& e) {
        failures[static_cast<size_t>(i)] = e.message();
      }
    });
  for (std::thread& t : imports) t.join();
  EXPECT_EQ(failures, std::vector<std::string>(kImports));
  std::string expected = "first";
  for (int i = 0; i < kImports; ++i) expected += line + "second";
  EXPECT_EQ(memo(), expected);
}

}  // namespace
