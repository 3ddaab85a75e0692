// Search and replace over a real bank, on both engines: every searched field of every kind, the
// index kept up to date whoever writes, Replace keeping the formatting and refusing on a conflict.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <set>

#include "../pools/bank_fixture.h"
#include "../store/support.h"
#include "bank_check.h"
#include "bank_files.h"
#include "bank_search.h"
#include "connections.h"
#include "history.h"
#include "pg_db.h"
#include "rtf/rtf_reader.h"
#include "search_index.h"
#include "sqlite_db.h"

using namespace search;
using bank::schema::Kind;
using testing_support::BankEngine;
namespace sidx = search::index;

namespace {

std::string rtf(const std::string& body) { return "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs22 " + body + "}"; }

using Hits = std::vector<std::string>;

// Each hit as "kind number where".
Hits hitsOf(const std::vector<Result>& results) {
  Hits out;
  for (const Result& r : results)
    out.push_back(std::string(bank::schema::kindName(r.kind)) + " " + r.numQ + " " + whereOf(r.kind, r.field).toStdString());
  return out;
}

// A new bank on the engine under test, its connection open.
class SearchBank : public ::testing::TestWithParam<BankEngine> {
 protected:
  void SetUp() override { made.open(conn); }

  void add(const std::string& table, const std::map<std::string, store::Value>& fields) { addRow(conn, table, fields); }
  std::string field(const std::string& table, const std::string& numQ, const std::string& name) {
    store::Recordset rs;
    rs.open("select * from " + table + " where numQ='" + numQ + "'", conn, store::adOpenDynamic, store::adLockReadOnly);
    const std::string v = rs.eof() ? "<none>" : rs.value(name).toString();
    rs.close();
    return v;
  }
  std::vector<Result> find(const QString& typed, sidx::Filter filter = {}) {
    return searchBank(conn, parseQuery(typed), filter);
  }
  Hits hits(const QString& typed, sidx::Filter filter = {}) { return hitsOf(find(typed, filter)); }
  // Another program writing the bank with the engine's plain SQL, through a connection of its own
  // (as the sqlcipher shell or psql does).
  void otherProgram(const std::string& sql) {
    if (GetParam() == BankEngine::File) {
      store::SqliteDb::openExisting(made.name(), bank::schema::kBankKey, false)->script(sql);
    } else {
      store::PgDb::connect(made.name(), "public")->script(sql);
    }
  }

  testing_support::NewBank made{GetParam()};
  store::Connection conn;
};

INSTANTIATE_TEST_SUITE_P(Engines, SearchBank, ::testing::Values(BankEngine::File, BankEngine::Server),
                         testing_support::engineName);

// What only a bank file has: its index's older layout, compaction, the start-up connections.
class SearchBankFile : public PoolsBank {
 protected:
  std::vector<Result> find(const QString& typed) { return searchBank(conn, parseQuery(typed), {}); }
  Hits hits(const QString& typed) { return hitsOf(find(typed)); }
  void otherProgram(const std::string& sql) {
    store::SqliteDb::openExisting(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey, false)->script(sql);
  }
};

}  // namespace

TEST_P(SearchBank, EachSearchedFieldOfEachKindIsFound) {
  const std::map<Kind, std::vector<std::pair<std::string, std::string>>> expected = {
      {Kind::SC, {{"question", "stem"}, {"choiceA", "choice A"}, {"choiceE", "choice E"}}},
      {Kind::CR, {{"question", "stem"}, {"choiceC", "choice C"}}},
      {Kind::RC, {{"reading", "passage"}, {"question", "stem"}, {"choiceB", "choice B"}}},
      {Kind::PS, {{"question", "stem"}, {"choiceD", "choice D"}}},
      {Kind::DS, {{"question", "stem"}, {"statement1", "statement 1"}, {"statement2", "statement 2"}}},
      {Kind::AWA, {{"question", "topic"}}},
  };
  int n = 0;
  for (const auto& [kind, fields] : expected) {
    for (const auto& [field, where] : fields) {
      const std::string numQ = "0" + std::to_string(1000 + ++n), word = "zq" + std::to_string(n) + "marker";
      const bool isRtf = bank::schema::FieldType::Rtf ==
                         [&] {
                           for (const auto& f : bank::schema::kindEntry(kind).fields)
                             if (field == f.name) return f.type;
                           return bank::schema::FieldType::Text;
                         }();
      std::map<std::string, store::Value> row{{"numQ", numQ}, {field, isRtf ? rtf("see \\b " + word + "\\b0  here") : "see " + word}};
      row[kind == Kind::AWA ? "type" : "src"] = kind == Kind::AWA ? "A" : "X010";
      add(bank::schema::tableName(kind), row);
      EXPECT_EQ(hits(QString::fromStdString(word)), (Hits{std::string(bank::schema::kindName(kind)) + " " + numQ + " " + where}));
    }
  }
  // The answer letter is no text to search.
  add("SCtbl", {{"numQ", "09001"}, {"src", "X090"}, {"answer", "Zqanswer"}});
  EXPECT_TRUE(hits("zqanswer").empty());
}

TEST_P(SearchBank, TheLongestQueryRunsOnTheEngineAndALongerOneIsRefusedWithItsLength) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", "w1 w2 w3"}});
  QString words, phrase;
  for (int i = 1; i <= kMaxQueryTerms; ++i) words += QString(" w%1").arg(i);
  EXPECT_TRUE(find(words).empty());
  EXPECT_TRUE(find('"' + words + '"').empty());
  EXPECT_TRUE(find(QString(kMaxQueryCharacters, 'w')).empty());
  try {
    find(words + " w0");
    ADD_FAILURE() << "a query over the bound was searched";
  } catch (const store::DbError& e) {
    EXPECT_EQ(e.description, "Too long: a search takes at most 200 words; this one has 201.");
  }
}

TEST_P(SearchBank, JapaneseAndCyrillicInRichText) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("\\u26481?\\u20140?\\u37117?\\u24193?")}});  // 東京都庁
  add("CRtbl", {{"numQ", "02001"}, {"src", "X020"}, {"choiceA", "Встреча в Москве"}});
  EXPECT_EQ(hits("京都"), (Hits{"SC 01001 stem"}));
  EXPECT_EQ(hits("庁"), (Hits{"SC 01001 stem"}));
  EXPECT_EQ(hits("МОСКВЕ"), (Hits{"CR 02001 choice A"}));
}

TEST_P(SearchBank, LimitsToKindsPoolAndNumberPrefixAndBestHitsFirst) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("apple")}});
  add("SCtbl", {{"numQ", "13001"}, {"src", "O130"}, {"question", rtf("apple pie with apple")}});
  add("PStbl", {{"numQ", "03001"}, {"src", "X030"}, {"question", rtf("apple")}});
  EXPECT_EQ(hits("apple"), (Hits{"SC 13001 stem", "SC 01001 stem", "PS 03001 stem"}));
  EXPECT_EQ(hits("apple", {.kinds = {Kind::PS}, .pool = "", .numberPrefix = ""}), (Hits{"PS 03001 stem"}));
  EXPECT_EQ(hits("apple", {.kinds = {}, .pool = "x010", .numberPrefix = ""}), (Hits{"SC 01001 stem"}));
  EXPECT_EQ(hits("apple", {.kinds = {}, .pool = "", .numberPrefix = "13"}), (Hits{"SC 13001 stem"}));
  const std::vector<Result> r = find("apple");
  EXPECT_EQ(snippetLine(snippet(r[0].plain, r[0].ranges)), "«apple» pie with «apple»");
}

// The window and the tool show an essay topic's type by its name: that name limits to those topics.
TEST_P(SearchBank, AnEssayTypeByTheNameShownLimitsToItsTopics) {
  add("AWAtbl", {{"numQ", "0001"}, {"type", "A"}, {"question", rtf("Argue about the pear")}});
  add("AWAtbl", {{"numQ", "0002"}, {"type", "I"}, {"question", rtf("An issue of the pear")}});
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("pear")}});
  const std::vector<Result> argument = find("pear", {.kinds = {}, .pool = "Argument", .numberPrefix = ""});
  EXPECT_EQ(hitsOf(argument), (Hits{"AWA 0001 topic"}));
  ASSERT_EQ(argument.size(), 1u);
  EXPECT_EQ(poolShown(argument[0].kind, argument[0].pool), "Argument");
  EXPECT_EQ(hits("pear", {.kinds = {}, .pool = "issue", .numberPrefix = ""}), (Hits{"AWA 0002 topic"}));
  EXPECT_EQ(hits("pear", {.kinds = {Kind::SC, Kind::AWA}, .pool = "Issue", .numberPrefix = ""}), (Hits{"AWA 0002 topic"}));
  EXPECT_TRUE(hits("pear", {.kinds = {Kind::SC}, .pool = "Argument", .numberPrefix = ""}).empty());
}

TEST_P(SearchBank, HitsAlikeInPlacesAndLengthAreOrderedByKindNumberAndField) {
  add("PStbl", {{"numQ", "00001"}, {"src", "X000"}, {"question", rtf("plum")}});
  add("SCtbl", {{"numQ", "0100000002"}, {"src", "X010"}, {"question", rtf("a plum")}, {"choiceB", "plum"}});
  add("SCtbl", {{"numQ", "0100000001"}, {"src", "X010"}, {"choiceA", "plum"}, {"choiceE", "plum"}});
  add("SCtbl", {{"numQ", "01000"}, {"src", "X010"}, {"choiceC", "plum"}});
  EXPECT_EQ(hits("plum"), (Hits{"SC 01000 choice C", "SC 0100000001 choice A", "SC 0100000001 choice E",
                                "SC 0100000002 choice B", "PS 00001 stem", "SC 0100000002 stem"}));
}

TEST_P(SearchBank, NeverStaleWhenAnotherProgramWrites) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("old words")}});
  EXPECT_EQ(hits("old").size(), 1u);
  otherProgram("INSERT INTO \"SCtbl\" (numQ, src, question) VALUES ('01002', 'X010', 'fresh text');"
               "UPDATE \"SCtbl\" SET question = 'new words' WHERE numQ = '01001';");
  EXPECT_TRUE(hits("old").empty());
  EXPECT_EQ(hits("new"), (Hits{"SC 01001 stem"}));
  EXPECT_EQ(hits("fresh"), (Hits{"SC 01002 stem"}));
  otherProgram("DELETE FROM \"SCtbl\" WHERE numQ = '01002';");
  EXPECT_TRUE(hits("fresh").empty());
  // The entry written last is gone; the next one must not be taken for it.
  otherProgram("INSERT INTO \"SCtbl\" (numQ, src, question) VALUES ('01003', 'X010', 'other text');");
  EXPECT_TRUE(hits("fresh").empty());
  EXPECT_EQ(hits("other"), (Hits{"SC 01003 stem"}));
}

TEST_F(SearchBankFile, ATriggerDroppedByAnotherProgramIsMadeAgainBeforeTheNextSearch) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("pear")}});
  EXPECT_EQ(hits("pear").size(), 1u);
  otherProgram("DROP TRIGGER zx_search_SCtbl_delete;");
  EXPECT_EQ(hits("pear").size(), 1u);
  otherProgram("DELETE FROM SCtbl WHERE numQ = '01001';");
  EXPECT_TRUE(hits("pear").empty());
}

TEST_F(SearchBankFile, AnIndexMostlyRewrittenIsBuiltAgainAndKeepsEveryHit) {
  std::string sql = "BEGIN;";
  for (int i = 0; i < 1200; ++i)
    sql += "INSERT INTO SCtbl (numQ, src, question) VALUES ('" + std::to_string(10000 + i) + "', 'X010', 'alpha');";
  otherProgram(sql + "COMMIT;");
  EXPECT_EQ(hits("alpha").size(), 1200u);
  otherProgram("UPDATE SCtbl SET question = 'beta' WHERE numQ < '10600';");
  std::vector<int> progress;
  searchBank(conn, parseQuery("beta"), {}, [&](int p) { progress.push_back(p); });
  EXPECT_TRUE(progress.empty());  // a quarter of the entries dead: not yet
  otherProgram("UPDATE SCtbl SET question = 'beta';");
  EXPECT_EQ(searchBank(conn, parseQuery("beta"), {}, [&](int p) { progress.push_back(p); }).size(), 1200u);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  EXPECT_FALSE(sidx::indexOf(conn).tooManyDeadEntries());
  EXPECT_TRUE(hits("alpha").empty());
}

TEST_F(SearchBankFile, ANewBankHasNoIndexAndNoFaultUntilItsFirstSearch) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("quantity")}});
  EXPECT_FALSE(sidx::indexOf(conn).present());
  EXPECT_TRUE(bank::structureProblems(dir.path()).empty());
  EXPECT_EQ(hits("quantity"), (Hits{"SC 01001 stem"}));
  EXPECT_TRUE(sidx::indexOf(conn).built());
  EXPECT_TRUE(bank::structureProblems(dir.path()).empty());
  // Made by the search, its triggers keep it up to date from then on.
  otherProgram("UPDATE SCtbl SET question = 'other' WHERE numQ = '01001';");
  EXPECT_TRUE(hits("quantity").empty());
}

TEST_F(SearchBankFile, AnOlderBankGetsTheIndexAtItsFirstSearch) {
  add("DStbl", {{"numQ", "01001"}, {"src", "X010"}, {"statement1", rtf("quantity")}});
  EXPECT_EQ(hits("quantity").size(), 1u);
  conn.close();
  // As a bank made before the index was an extension, or whose index another program dropped.
  otherProgram(
      "DROP TABLE zx_search; DROP TABLE zx_search_questions; DROP TABLE zx_search_marks; DROP TABLE zx_search_state; "
      "DELETE FROM zx_extensions WHERE name = 'search index';");
  conn.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
  bank::ProgramState state(dir.path());
  bank::OpenConnections(state);
  EXPECT_FALSE(sidx::indexOf(state.pConn()).present());
  EXPECT_TRUE(bank::structureProblems(dir.path()).empty());
  std::vector<int> progress;
  EXPECT_EQ(searchBank(state.pConn(), parseQuery("quantity"), {}, [&](int p) { progress.push_back(p); }).size(), 1u);
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(sidx::indexOf(conn).built());
  // Built once: later searches index only what changed.
  progress.clear();
  searchBank(state.pConn(), parseQuery("quantity"), {}, [&](int p) { progress.push_back(p); });
  EXPECT_TRUE(progress.empty());
}

TEST_F(SearchBankFile, AnIndexOfTheFirstLayoutIsBuiltAgain) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("kept words")}});
  EXPECT_EQ(hits("kept").size(), 1u);
  otherProgram(
      "DROP TABLE IF EXISTS zx_search_docs; CREATE TABLE zx_search_docs (docid INTEGER PRIMARY KEY, kind TEXT NOT NULL, "
      "numQ TEXT NOT NULL COLLATE NOCASE, field TEXT NOT NULL, pool TEXT COLLATE NOCASE, plain TEXT);");
  EXPECT_EQ(hits("kept"), (Hits{"SC 01001 stem"}));
  const std::vector<Result> r = find("words");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(snippetLine(snippet(r[0].plain, r[0].ranges)), "kept «words»");
}

TEST_F(SearchBankFile, AnIndexKeepingItsPlainTextsDropsThemAndStaysWhole) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("kept words")}});
  EXPECT_EQ(hits("kept").size(), 1u);
  otherProgram("CREATE TABLE zx_search_texts (docid INTEGER PRIMARY KEY, plain TEXT);");
  EXPECT_EQ(hits("words"), (Hits{"SC 01001 stem"}));
  auto db = store::SqliteDb::openExisting(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey, false);
  EXPECT_FALSE(db->hasTable("zx_search_texts"));
}

TEST_P(SearchBank, TheFirstBuildIndexesEveryQuestionOfManyBatches) {
  std::string sql = "BEGIN;";
  for (int i = 0; i < 1234; ++i) {
    const std::string n = std::to_string(10000 + i);
    sql += "INSERT INTO " + std::string(i % 2 ? "\"SCtbl\"" : "\"CRtbl\"") + " (numQ, src, question) VALUES ('" + n +
           "', 'X010', '" + rtf("common z" + n) + "');";
  }
  otherProgram(sql + "COMMIT;");
  std::vector<size_t> batches;
  const std::vector<Result> all =
      searchBank(conn, parseQuery("common"), {}, {}, [&](const std::vector<Result>& b) { batches.push_back(b.size()); });
  ASSERT_EQ(all.size(), 1234u);
  EXPECT_EQ(batches, (std::vector<size_t>{kFirstBatch, kBatch, kBatch, kBatch, kBatch, kBatch, 1234 - kFirstBatch - 5 * kBatch}));
  std::set<std::string> numbers;
  for (const Result& r : all) {
    numbers.insert(r.numQ);
    EXPECT_EQ(snippetLine(snippet(r.plain, r.ranges)), QString::fromStdString("«common» z" + r.numQ));
  }
  EXPECT_EQ(numbers.size(), 1234u);
  EXPECT_EQ(hits("z11233"), (Hits{"SC 11233 stem"}));
}

TEST_F(SearchBankFile, CompactionKeepsTheIndex) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("kept")}});
  EXPECT_EQ(hits("kept").size(), 1u);
  conn.close();
  bank::compactBank(dir.path());
  conn.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
  EXPECT_TRUE(sidx::indexOf(conn).built());
  EXPECT_EQ(hits("kept"), (Hits{"SC 01001 stem"}));
}

TEST_P(SearchBank, ReplaceKeepsTheFormattingAroundIt) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("The \\b colour\\b0  of \\i colour\\i0  paint")},
                {"choiceA", "colour"}});
  const Query q = parseQuery("colour");
  const ReplacePlan plan = prepareReplace(conn, find("colour"), q);
  ASSERT_EQ(plan.occurrences.size(), 3u);
  EXPECT_EQ(plan.occurrences[0].before, "The ");
  // Accept the bold one and the choice, skip the italic one.
  std::vector<bool> accepted(plan.occurrences.size());
  for (size_t i = 0; i < plan.occurrences.size(); ++i)
    accepted[i] = plan.occurrences[i].field == "choiceA" || plan.occurrences[i].range.start == 4;
  EXPECT_EQ(applyReplace(conn, plan, accepted, "color"), 2);

  const std::string stored = field("SCtbl", "01001", "question");
  QTextDocument doc;
  ui::rtf::readRtf(QByteArray::fromStdString(stored), doc);
  EXPECT_EQ(doc.toPlainText(), "The color of colour paint");
  std::map<QString, std::pair<bool, bool>> format;  // fragment -> bold, italic
  for (QTextBlock::iterator it = doc.begin().begin(); !it.atEnd(); ++it)
    format[it.fragment().text()] = {it.fragment().charFormat().fontWeight() > QFont::Normal,
                                    it.fragment().charFormat().fontItalic()};
  EXPECT_EQ(format["color"], std::make_pair(true, false));
  EXPECT_EQ(format["colour"], std::make_pair(false, true));
  EXPECT_EQ(field("SCtbl", "01001", "choiceA"), "color");
  // The index follows in the same transaction.
  EXPECT_EQ(hits("colour"), (Hits{"SC 01001 stem"}));
  EXPECT_EQ(hits("color").size(), 2u);
  // Kept in the question's history as one change, under its name, as it was before.
  const auto versions = store::history::versions(conn, Kind::SC, "01001");
  ASSERT_EQ(versions.size(), 1u);
  EXPECT_EQ(versions[0].operation, "Replace");
  EXPECT_EQ(versions[0].field("choiceA")->toString(), "colour");
}

TEST_P(SearchBank, ReplaceIsRefusedWholeWhenAQuestionChangedElsewhere) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("teh first")}});
  add("SCtbl", {{"numQ", "01002"}, {"src", "X010"}, {"question", rtf("teh second")}});
  const ReplacePlan plan = prepareReplace(conn, find("teh"), parseQuery("teh"));
  ASSERT_EQ(plan.occurrences.size(), 2u);
  otherProgram("UPDATE \"SCtbl\" SET question = 'teh second, edited' WHERE numQ = '01002';");
  const std::string first = field("SCtbl", "01001", "question");
  try {
    applyReplace(conn, plan, {true, true}, "the");
    ADD_FAILURE() << "the replace was not refused";
  } catch (const store::DbError& e) {
    EXPECT_NE(e.description.find("SC question 01002 was changed by another program"), std::string::npos) << e.description;
  }
  EXPECT_EQ(field("SCtbl", "01001", "question"), first);
  EXPECT_EQ(field("SCtbl", "01002", "question"), "teh second, edited");
  EXPECT_EQ(hits("teh").size(), 2u);
}

// A change to a field that is not searched is a change all the same: the replace would
// otherwise write over a question that its user has not seen as it now is.
TEST_P(SearchBank, ReplaceIsRefusedWhenAnotherProgramChangedOnlyTheAnswer) {
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", rtf("teh first")}, {"answer", "A"}});
  const ReplacePlan plan = prepareReplace(conn, find("teh"), parseQuery("teh"));
  ASSERT_EQ(plan.occurrences.size(), 1u);
  otherProgram("UPDATE \"SCtbl\" SET answer = 'C' WHERE numQ = '01001';");
  const std::string question = field("SCtbl", "01001", "question");
  EXPECT_THROW(applyReplace(conn, plan, {true}, "the"), store::DbError);
  EXPECT_EQ(field("SCtbl", "01001", "question"), question);
  EXPECT_EQ(field("SCtbl", "01001", "answer"), "C");
}

TEST_P(SearchBank, ReplaceShowsEachPlaceBetweenWholeWords) {
  add("CRtbl", {{"numQ", "02001"}, {"src", "X020"},
                {"choiceA", "The committee reconsidered its extraordinary decision about teh budget of "
                            "the neighbouring municipalities yesterday."}});
  const ReplacePlan plan = prepareReplace(conn, find("teh"), parseQuery("teh"));
  ASSERT_EQ(plan.occurrences.size(), 1u);
  EXPECT_EQ(plan.occurrences[0].before, "…extraordinary decision about ");
  EXPECT_EQ(plan.occurrences[0].after, " budget of the neighbouring…");
}

TEST_P(SearchBank, AWordOfThousandsOfLettersIsIndexedAndFound) {
  const std::string word(3000, 'w');
  add("SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", "before " + word + " after"}});
  EXPECT_EQ(hits(QString::fromStdString(word)), (Hits{"SC 01001 stem"}));
  EXPECT_EQ(hits(QString::fromStdString("\"before " + word + " after\"")), (Hits{"SC 01001 stem"}));
}
