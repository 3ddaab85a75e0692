// A team bank set up with the README's grants (scripts/team-bank-grants.sql): an editor, from psql,
// can neither forge, erase nor poison the history or the search index, nor touch the test
// application's answers; through the program the same editor works as before, and every change
// keeps one version under the editor's own role.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "../store/support.h"
#include "bank_search.h"
#include "history.h"
#include "pg_db.h"

using bank::schema::Kind;
using store::Connection;
using testing_support::rowsOf;

namespace {

std::string quoteArg(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct PsqlRun {
  int status;
  std::string out;
};

// Runs psql as role on the database with the given arguments (-c SQL, or -f FILE), as any
// client of the server would.
PsqlRun psqlWith(const std::string& database, const std::string& role, const std::string& args) {
  const std::string conninfo = "host=" + testing_support::pgSocketFolder() + " dbname=" + database + " user=" + role;
  const std::string cmd = "psql -X -q -v ON_ERROR_STOP=1 " + quoteArg(conninfo) + " " + args + " 2>&1";
  PsqlRun run{0, ""};
  FILE* p = popen(cmd.c_str(), "r");
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, p)) run.out.append(buf, n);
  const int status = pclose(p);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

PsqlRun psql(const std::string& database, const std::string& role, const std::string& sql) {
  return psqlWith(database, role, "-c " + quoteArg(sql));
}

class ServerRoles : public ::testing::Test {
 protected:
  void SetUp() override {
    static int count = 0;
    const std::string suffix = std::to_string(getpid()) + "_" + std::to_string(++count);
    editor = "zx_editor_" + suffix;
    testapp = "zx_testapp_" + suffix;
    testing_support::pgAdmin("CREATE ROLE " + editor + " LOGIN");
    testing_support::pgAdmin("CREATE ROLE " + testapp + " LOGIN");
    owner.emplace(testing_support::BankEngine::Server);
    owner->open(admin);
    for (const char* n : {"A12001", "A12002", "A12003"}) testing_support::addQuestion(admin, "SCtbl", n, "A12");
    admin.execute("update SCtbl set question='apple pie' where numQ='A12001'");
    {
      history::ChangeTag tag(admin, "Delete");
      admin.execute("delete from SCtbl where numQ='A12003'");
      tag.commit();
    }
    const PsqlRun grants = psqlWith(database(), "postgres", "-v editor=" + editor + " -v testapp=" + testapp + " -f " +
                                                              quoteArg(std::string(ZORBEX_SOURCE_DIR) +
                                                                       "/scripts/team-bank-grants.sql"));
    ASSERT_EQ(grants.status, 0) << grants.out;
  }
  void TearDown() override {
    admin.close();
    owner.reset();
    testing_support::pgAdmin("DROP ROLE IF EXISTS " + editor);
    testing_support::pgAdmin("DROP ROLE IF EXISTS " + testapp);
  }
  std::string database() const {
    const std::string& uri = owner->name();
    const size_t from = uri.find(":///") + 4;
    return uri.substr(from, uri.find('?') - from);
  }
  std::string editorUri() const {
    std::string uri = owner->name();
    return uri.replace(uri.find("user=postgres"), 13, "user=" + editor);
  }
  PsqlRun asEditor(const std::string& sql) { return psql(database(), editor, sql); }
  // What a query run as the editor answers, unaligned and without headers.
  std::string editorValue(const std::string& sql) { return psqlWith(database(), editor, "-A -t -c " + quoteArg(sql)).out; }
  std::string count(const std::string& sql) { return rowsOf(admin, sql); }
  void refused(const std::string& sql, const char* why = "permission denied") {
    const PsqlRun r = asEditor(sql);
    EXPECT_NE(r.status, 0) << sql;
    EXPECT_NE(r.out.find(why), std::string::npos) << sql << "\n" << r.out;
  }

  std::string editor, testapp;
  std::optional<testing_support::NewBank> owner;
  Connection admin;
};

TEST_F(ServerRoles, AnEditorCannotEraseOrRewriteTheHistoryNorTheTrash) {
  const std::string versions = count("select count(*) from zx_history");
  refused("DELETE FROM zx_history");
  refused("UPDATE zx_history SET \"user\" = 'someone', operation = 'Save'");
  refused("DELETE FROM \"zx_history_SC\"");
  refused("INSERT INTO zx_history (kind, numq, change, at, operation) VALUES ('SC', 'A12001', 'update', 'x', 'Save')");
  refused("UPDATE zx_history SET restored = 1");
  refused("SELECT nextval('zx_change_batch')");
  refused("DROP TRIGGER \"zx_history_SC_update\" ON \"SCtbl\"", "must be owner");
  refused("CREATE OR REPLACE FUNCTION \"zx_history_SC_keep\"() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RETURN NULL; END $$");
  // The function that takes an entry out of the trash does so only for a question that is back.
  EXPECT_EQ(editorValue("SELECT zx_history_restored(id) FROM zx_history WHERE change = 'delete'"), "f\n");
  EXPECT_EQ(count("select count(*) from zx_history"), versions);
  EXPECT_EQ(count("select count(*) from zx_history where change='delete' and restored=0"), "1\n");
}

TEST_F(ServerRoles, SettingsCannotForgeTheUserNorMakeTheTriggerSkipAVersion) {
  const std::string batch = count("select max(batch) from zx_history");  // the owner's Delete
  const PsqlRun r = asEditor("BEGIN; SELECT set_config('zorbex.user', 'alice', true), set_config('zorbex.batch', '" +
                             batch.substr(0, batch.size() - 1) +
                             "', true), set_config('zorbex.operation', 'Save', true); "
                             "UPDATE \"SCtbl\" SET answer = 'B' WHERE numq = 'A12001'; COMMIT;");
  ASSERT_EQ(r.status, 0) << r.out;
  const auto v = history::versions(admin, Kind::SC, "A12001");
  ASSERT_FALSE(v.empty());
  EXPECT_EQ(v[0].user, editor);
  EXPECT_EQ(v[0].operation, history::kAnotherProgram);  // a change's number that is not its own
  EXPECT_EQ(v[0].field("answer")->toString(), "A");
}

TEST_F(ServerRoles, AnotherClientsTransactionChangingAQuestionTwiceKeepsOneCommittedVersion) {
  const size_t before = history::versions(admin, Kind::SC, "A12002").size();
  ASSERT_EQ(asEditor("BEGIN; UPDATE \"SCtbl\" SET answer = 'B' WHERE numq = 'A12002'; "
                     "UPDATE \"SCtbl\" SET answer = 'C' WHERE numq = 'A12002'; COMMIT;")
                .status,
            0);
  auto v = history::versions(admin, Kind::SC, "A12002");
  ASSERT_EQ(v.size(), before + 1);
  EXPECT_EQ(v[0].field("answer")->toString(), "A");  // the committed state, never 'B'
  // Changed and then deleted in one transaction: one version, in the trash.
  ASSERT_EQ(asEditor("BEGIN; UPDATE \"SCtbl\" SET answer = 'D' WHERE numq = 'A12002'; "
                     "DELETE FROM \"SCtbl\" WHERE numq = 'A12002'; COMMIT;")
                .status,
            0);
  v = history::versions(admin, Kind::SC, "A12002");
  ASSERT_EQ(v.size(), before + 2);
  EXPECT_EQ(v[0].change, "delete");
  EXPECT_EQ(v[0].field("answer")->toString(), "C");
}

TEST_F(ServerRoles, AnEditorCannotEmptyNorPoisonTheSearchIndex) {
  Connection mine;
  mine.open(editorUri());
  auto hits = [&](const char* word) {
    std::vector<std::string> out;
    for (const search::Result& r : search::searchBank(mine, search::parseQuery(word), {})) out.push_back(r.numQ);
    return out;
  };
  EXPECT_EQ(hits("apple"), std::vector<std::string>{"A12001"});  // built through the owner's functions
  refused("DELETE FROM zx_search");
  refused("INSERT INTO zx_search (kind, numq, field, length, words) VALUES ('SC', 'A12002', 'question', 5, 'apple')");
  refused("UPDATE zx_search_state SET built = 1");
  refused("DELETE FROM zx_search_marks");
  // Through the functions: no entry for a question that does not exist, and an index emptied is
  // never counted as built.
  EXPECT_EQ(editorValue("SELECT zx_search_put('SC', 'Z99999', '{question}', '{5}', '{apple}')"), "0\n");
  refused("BEGIN; SELECT zx_search_clear(); SELECT zx_search_set_built(); COMMIT;", "not counted as built");
  ASSERT_EQ(asEditor("SELECT zx_search_clear()").status, 0);
  EXPECT_EQ(hits("apple"), std::vector<std::string>{"A12001"});  // the next search builds it again
}

TEST_F(ServerRoles, OnlyTheTestApplicationWritesItsAnswers) {
  refused("DELETE FROM zx_user.\"tblAnswer\"");
  refused("INSERT INTO zx_user.\"tblAnsBuf\" (numq, answer) VALUES ('A12001', 'A')");
  const PsqlRun app = psql(database(), testapp, "INSERT INTO zx_user.\"tblAnswer\" (numq, answer) VALUES ('A12001', 'B'); "
                                                "DELETE FROM zx_user.\"tblAnswer\" WHERE numq = 'A12001'");
  EXPECT_EQ(app.status, 0) << app.out;
  const PsqlRun memo = asEditor("INSERT INTO zx_user.\"tblMemo\" (numq) VALUES ('A12001')");
  EXPECT_EQ(memo.status, 0) << memo.out;
}

TEST_F(ServerRoles, AnEditorWorksThroughTheProgramAndEachChangeIsKeptUnderTheEditorsRole) {
  Connection mine;
  mine.open(editorUri());
  {
    history::ChangeTag tag(mine, "Save");
    mine.execute("update SCtbl set question='pear tart', answer='E' where numQ='A12001'");
    mine.execute("update SCtbl set answer='D' where numQ='A12001'");
    tag.commit();
  }
  auto v = history::versions(mine, Kind::SC, "A12001");
  ASSERT_FALSE(v.empty());
  EXPECT_EQ(v[0].operation, "Save");
  EXPECT_EQ(v[0].user, editor);
  EXPECT_EQ(v[0].field("question")->toString(), "apple pie");
  EXPECT_EQ(search::searchBank(mine, search::parseQuery("pear"), {}).size(), 1u);
  const auto trash = history::trash(mine);
  ASSERT_EQ(trash.size(), 1u);
  history::undelete(mine, trash[0]);
  EXPECT_EQ(rowsOf(mine, "select count(*) from SCtbl where numQ='A12003'"), "1\n");
  EXPECT_TRUE(history::trash(mine).empty());
}

}  // namespace

namespace {

// A bank made by an earlier version, whose history was kept with the writer's own rights: an
// editor's change fails whole until the owner opens the bank, which makes the functions again.
TEST_F(ServerRoles, AnOlderBanksFunctionsAreMadeAgainByTheOwnersFirstOpen) {
  admin.close();
  auto raw = store::PgDb::connect(owner->name(), "public");
  raw->script("UPDATE zx_extensions SET version = 1 WHERE name = 'history'; "
              "ALTER FUNCTION \"zx_history_SC_keep\"() SECURITY INVOKER;");
  auto save = [&](Connection& c, const char* answer) {
    history::ChangeTag tag(c, "Save");
    c.execute(std::string("update SCtbl set answer='") + answer + "' where numQ='A12001'");
    tag.commit();
  };
  {
    Connection mine;
    mine.open(editorUri());
    EXPECT_EQ(testing_support::errorNumberOf([&] { save(mine, "B"); }), store::err::ReadOnly);
  }
  owner->open(admin);
  EXPECT_EQ(rowsOf(admin, "select version from zx_extensions where name='history'"), "2\n");
  Connection mine;
  mine.open(editorUri());
  save(mine, "C");
  EXPECT_EQ(history::versions(mine, Kind::SC, "A12001").front().user, editor);
}

}  // namespace
