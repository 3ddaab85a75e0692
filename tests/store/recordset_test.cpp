// The ADO-shaped connection and record set over a real bank file.
#include <gtest/gtest.h>

#include "db_error.h"
#include "support.h"

using namespace store;
namespace schema = bank::schema;
using namespace testing_support;

namespace {

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    schema::createBank(dir.path());
    openBank(conn, dir.path());
  }
  TempDir dir;
  Connection conn;
};

TEST_F(RecordsetTest, TableSourceWithConditionIsUpdatableAndFieldNamesIgnoreCase) {
  addQuestion(conn, "RCtbl", "01201", "X012");
  addQuestion(conn, "RCtbl", "01202", "X012");
  Recordset rs;
  rs.cursorType = adOpenKeyset;
  rs.lockType = adLockOptimistic;
  rs.open("RCtbl where numQ='01201'", conn, adOpenUnspecified, adLockUnspecified, adCmdTable);
  ASSERT_EQ(rs.recordCount(), 1);
  rs.field("QNumber") = Value("00005");
  rs.setValue("questionHeight", 1.5);
  rs.update();
  EXPECT_EQ(rs.value("Qnumber").toString(), "00005");
  rs.close();
  EXPECT_EQ(rowsOf(conn, "select numQ, Qnumber, questionHeight from RCtbl order by numQ;"),
            "01201|00005|1.5\n01202||\n");
}

TEST_F(RecordsetTest, NavigationAndNoCurrentRecord) {
  for (const char* n : {"00101", "00102", "00103"}) addQuestion(conn, "SCtbl", n, "X001");
  Recordset rs;
  rs.open("select distinct numQ from SCtbl where src='X001' order by numQ;", conn, adOpenDynamic, adLockReadOnly);
  EXPECT_EQ(rs.recordCount(), 3);
  rs.moveLast();
  EXPECT_EQ(rs.value("numQ").toString(), "00103");
  rs.moveFirst();
  EXPECT_EQ(rs.value("numq").toString(), "00101");
  rs.moveNext();
  rs.moveNext();
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(errorNumberOf([&] { rs.value("numQ"); }), err::NoCurrentRecord);
  EXPECT_EQ(errorNumberOf([&] { rs.moveNext(); }), err::NoCurrentRecord);
  EXPECT_EQ(errorNumberOf([&] { rs.field("nosuch"); }), err::ItemNotFound);
  EXPECT_EQ(errorNumberOf([&] { rs.setValue("numQ", "x"); }), err::NotUpdatable);
  rs.close();
  EXPECT_EQ(errorNumberOf([&] { rs.close(); }), err::ObjectClosed);

  Recordset empty;
  empty.open("select distinct src from CRtbl;", conn, adOpenDynamic, adLockReadOnly);
  EXPECT_TRUE(empty.eof());
  EXPECT_EQ(errorNumberOf([&] { empty.moveFirst(); }), err::NoCurrentRecord);
}

TEST_F(RecordsetTest, AddNewKeepsNullsAndRejectsARepeatedNumber) {
  addQuestion(conn, "SCtbl", "01201", "X012");
  Recordset rs;
  rs.open("SCtbl", conn, adOpenKeyset, adLockOptimistic);
  rs.addNew();
  rs.setValue("numQ", "01201");
  rs.setValue("src", "X012");
  EXPECT_EQ(errorNumberOf([&] { rs.update(); }), err::Generic);
  rs.close();
  Recordset one;
  one.open("select * from SCtbl where numQ='01201';", conn, adOpenDynamic, adLockReadOnly);
  EXPECT_EQ(one.value("answer").toString(), "A");
  EXPECT_TRUE(one.value("question").isNull());
  EXPECT_TRUE(one.value("questionHeight").isNull());
}

TEST_F(RecordsetTest, MovingAwayFromAnEditSavesIt) {
  addQuestion(conn, "SCtbl", "01201", "X012");
  addQuestion(conn, "SCtbl", "01202", "X012");
  Recordset rs;
  rs.open("select * from SCtbl order by numQ", conn, adOpenKeyset, adLockOptimistic);
  rs.setValue("choiceA", "it's");
  rs.moveNext();
  rs.close();
  EXPECT_EQ(rowsOf(conn, "select choiceA from SCtbl where numQ='01201'"), "it's\n");
}

TEST_F(RecordsetTest, DeleteStatementAsSourceRunsIt) {
  addQuestion(conn, "SCtbl", "01201", "X012");
  addQuestion(conn, "SCtbl", "01301", "X013");
  Recordset rs;
  rs.open("delete * from SCtbl where (src='X012');", conn, adOpenDynamic, adLockOptimistic);
  EXPECT_TRUE(rs.eof());
  rs.close();
  EXPECT_EQ(rowsOf(conn, "select numQ from SCtbl"), "01301\n");
}

TEST_F(RecordsetTest, ConnectionPropertiesAndClosedObjects) {
  Connection c;
  EXPECT_EQ(errorNumberOf([&] { c.close(); }), err::ObjectClosed);
  EXPECT_EQ(errorNumberOf([&] { c.setProvider("SQLOLEDB"); }), 3706);
  EXPECT_EQ(errorNumberOf([&] { c.setProperty("Data Source", "x"); }), err::ItemNotFound);
  c.setProvider("Microsoft.Jet.OLEDB.4.0");
  c.setProperty("Jet OLEDB:Database Password", schema::kUserKey);
  EXPECT_EQ(errorNumberOf([&] { c.open(schema::bankPath(dir.path()).string()); }), err::BadPassword);
  EXPECT_FALSE(c.isOpen());
  c.setProperty("Jet OLEDB:Database Password", schema::kBankKey);
  c.open(schema::bankPath(dir.path()).string());
  EXPECT_EQ(c.execute("insert into SCtbl (numQ, src) values ('00001', 'X000')"), 1);
  c.close();
  EXPECT_EQ(errorNumberOf([&] { c.execute("select numQ from SCtbl"); }), err::ObjectClosed);
}

TEST_F(RecordsetTest, LinkedUserTableIsReadAndWrittenThroughTheBank) {
  Recordset rs;
  rs.open("tblMemo", conn, adOpenDynamic, adLockOptimistic, adCmdTable);
  rs.addNew();
  rs.setValue("numQ", "01201");
  rs.setValue("description", "first");
  rs.update();
  rs.close();
  Recordset m;
  m.open("select * from tblMemo where numQ='01201'", conn, adOpenDynamic, adLockOptimistic);
  m.setValue("description", m.value("description").toString() + "\r\nsecond");
  m.update();
  m.close();
  Connection user;
  user.open(schema::userPath(dir.path()).string(), schema::kUserKey);
  EXPECT_EQ(rowsOf(user, "select description from tblMemo"), "first\r\nsecond\n");
}

}  // namespace

namespace {

TEST_F(RecordsetTest, AWholeTableOpenedToAddIsReadOnlyWhenAskedAndStaysOnTheNewRecord) {
  addQuestion(conn, "SCtbl", "01201", "X012");
  Recordset rs;
  rs.open("SCtbl", conn, adOpenKeyset, adLockOptimistic);
  rs.addNew();
  rs.setValue("numQ", "01202");
  rs.update();
  EXPECT_EQ(rs.value("numQ").toString(), "01202");
  EXPECT_EQ(rs.recordCount(), 2);
  EXPECT_EQ(rs.value("numQ").toString(), "01202");
  rs.moveFirst();
  EXPECT_EQ(rs.value("numQ").toString(), "01201");
  rs.close();
}

}  // namespace

namespace {

class RecordsetOnEngines : public ::testing::TestWithParam<BankEngine> {};
INSTANTIATE_TEST_SUITE_P(Engines, RecordsetOnEngines, ::testing::Values(BankEngine::File, BankEngine::Server),
                         engineName);

// Another program deletes the row read, or deletes it and adds it again (its row id moves): the
// update finds nothing to write and says so, instead of reporting a change it did not make.
TEST_P(RecordsetOnEngines, AnUpdateOfARowGoneOrMovedSinceItWasReadIsRefused) {
  NewBank bank(GetParam());
  Connection c, other;
  bank.open(c);
  bank.open(other);
  addQuestion(c, "SCtbl", "01201", "X012");
  addQuestion(c, "SCtbl", "01202", "X012");
  addQuestion(c, "SCtbl", "01203", "X012");  // the file's new row ids then follow it
  Recordset gone, moved;
  gone.open("SCtbl where numQ='01201'", c, adOpenKeyset, adLockOptimistic, adCmdTable);
  moved.open("SCtbl where numQ='01202'", c, adOpenKeyset, adLockOptimistic, adCmdTable);
  other.execute("delete from SCtbl where numQ='01201'");
  other.execute("delete from SCtbl where numQ='01202'");
  addQuestion(other, "SCtbl", "01202", "Y012");
  gone.setValue("answer", "B");
  EXPECT_EQ(errorNumberOf([&] { gone.update(); }), err::RowNotFound);
  moved.setValue("answer", "C");
  EXPECT_EQ(errorNumberOf([&] { moved.update(); }), err::RowNotFound);
  EXPECT_EQ(rowsOf(c, "select numQ, src, answer from SCtbl order by numQ"), "01202|Y012|A\n01203|X012|A\n");
}

}  // namespace
