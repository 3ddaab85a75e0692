// A question read, compared and written field by field: on a bank file and on a server.
#include <gtest/gtest.h>

#include <optional>

#include "pg_server.h"
#include "question_record.h"
#include "recordset.h"
#include "schema.h"
#include "stored_version.h"
#include "temp_dir.h"

namespace {

using bank::FieldWrite;
using bank::Record;
using store::Value;
using bank::schema::Kind;

class QuestionRecord : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      server.emplace();
      bank::schema::createServerBank(server->uri());
      conn.open(server->uri());
    } else {
      bank::schema::createBank(dir.path());
      conn.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
    }
    store::Recordset rs;
    rs.open("RCtbl", conn, store::adOpenKeyset, store::adLockOptimistic);
    rs.addNew();
    for (const auto& [name, value] : Record{{"numQ", Value("13001")}, {"src", Value("R130")},
                                            {"passageNum", Value("1301A")}, {"question", Value("stem")},
                                            {"questionHeight", Value(4.0)}})
      rs.setValue(name, value);
    rs.update();
    rs.close();
  }
  Record stored() { return *bank::readRecord(conn, bank::recordFields(Kind::RC), "13001"); }

  testing_support::TempDir dir;
  std::optional<testing_support::ServerDb> server;
  store::Connection conn;
};

INSTANTIATE_TEST_SUITE_P(Engines, QuestionRecord, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Server" : "File"; });

TEST_P(QuestionRecord, AWriteTakesItsGroupOnlyAndKeepsAGivenFieldThatCameEmpty) {
  const Record values{{"question", Value("new stem")}, {"passageNum", Value("")}, {"questionHeight", Value(9.0)}};
  ASSERT_TRUE(bank::writeRecord(conn, bank::recordFields(Kind::RC), "13001", values, FieldWrite::Content));
  const Record after = stored();
  EXPECT_EQ(after.at("question").toString(), "new stem");
  EXPECT_EQ(after.at("passageNum").toString(), "1301A");
  EXPECT_EQ(after.at("questionHeight").toDouble(), 4.0);
}

TEST_P(QuestionRecord, NoQuestionToWriteIsSaidAndNothingIsAdded) {
  EXPECT_FALSE(bank::writeFields(conn, "RCtbl", "13999", {{"question", Value("x")}}));
  EXPECT_FALSE(bank::readRecord(conn, bank::recordFields(Kind::RC), "13999").has_value());
}

TEST_P(QuestionRecord, AChangeToAnyColumnSinceTheComparisonRefusesTheWrite) {
  bank::StoredVersion version(bank::recordFields(Kind::RC));
  ASSERT_TRUE(version.load(conn, "13001"));
  ASSERT_TRUE(version.current(conn, "13001"));
  // A column that the editor's record does not read.
  conn.execute("update RCtbl set btnATop = 120 where numQ = '13001'");
  EXPECT_FALSE(version.write(conn, "13001", {{"question", Value("mine")}}, {FieldWrite::Content}));
  EXPECT_EQ(stored().at("question").toString(), "stem");
  ASSERT_TRUE(version.current(conn, "13001"));
  EXPECT_TRUE(version.write(conn, "13001", {{"question", Value("mine")}}, {FieldWrite::Content}));
  EXPECT_EQ(version.loadedRecord().at("question").toString(), "mine");
}

}  // namespace
