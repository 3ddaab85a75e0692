// Free pool numbers, adding and deleting pools and questions, and the numbering they use,
// run on real bank files without windows.
#include <sqlite3.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

#include "bank_fixture.h"
#include "numbering.h"
#include "pg_db.h"
#include "pg_server.h"
#include "pool_operations.h"

namespace {

class PoolOperations : public PoolsBank {
 protected:
  void addQuestions(const std::string& src, const std::string& poolNumber, int from, int to) {
    for (int i = from; i <= to; ++i) add("SCtbl", {{"numQ", pools::ordinaryQuestionNumber(poolNumber, i)}, {"src", src}});
  }
  // The refusal's text when it has the number of a refused input; "" when nothing was refused.
  std::string refusal(const std::function<void()>& f) {
    std::string why;
    const long number = failureOf(f, &why);
    if (number != 0 && number != pools::kInvalidInput) return "failure " + std::to_string(number) + ": " + why;
    return why;
  }
};

TEST_F(PoolOperations, FreeNumbersFollowEveryMultipleChoiceTableButNotAwa) {
  std::vector<std::pair<long, long>> told;
  const std::vector<std::string> all = pools::freePoolNumbers(conn, [&](long done, long total) { told.emplace_back(done, total); });
  ASSERT_EQ(all.size(), 1000u);
  EXPECT_EQ(all.front(), "000");
  EXPECT_EQ(all.back(), "999");
  ASSERT_EQ(told.size(), 1000u);
  EXPECT_EQ(told.front(), std::make_pair(0L, 1000L));
  EXPECT_EQ(told.back(), std::make_pair(999L, 1000L));

  add("DStbl", {{"numQ", "01201"}, {"src", "X012"}});
  add("RCtbl", {{"numQ", "04501"}, {"src", "X045"}});
  add("AWAtbl", {{"numQ", "07701"}, {"type", "A"}});
  for (int i = 1; i <= 50; ++i) add("SCtbl", {{"numQ", pools::editionQuestionNumber("13", i)}, {"src", "O130"}});
  const std::vector<std::string> free = pools::freePoolNumbers(conn);
  const std::set<std::string> offered(free.begin(), free.end());
  EXPECT_EQ(offered.size(), 997u);
  for (const char* taken : {"012", "045", "130"}) EXPECT_EQ(offered.count(taken), 0u) << taken;
  for (const char* number : {"077", "131", "000"}) EXPECT_EQ(offered.count(number), 1u) << number;
}

TEST_F(PoolOperations, AddPoolWritesBareQuestionsAndSkipsNumbersThatExist) {
  // Another program added 01202 after the free numbers were listed.
  add("SCtbl", {{"numQ", "01202"}, {"src", "Y999"}, {"choiceA", "kept"}});
  EXPECT_EQ(pools::addPool(conn, "SCtbl", "X", "012", 3), "X012");
  EXPECT_EQ(numbers("SCtbl", "X012"), (std::vector<std::string>{"01201", "01203"}));
  EXPECT_EQ(question("SCtbl", "01201")["answer"], "A");
  EXPECT_EQ(question("SCtbl", "01202")["choiceA"], "kept");
  EXPECT_EQ(question("SCtbl", "01202")["src"], "Y999");
  // Lower-case o and d, and an apostrophe, are letters like any other.
  EXPECT_EQ(pools::addPool(conn, "SCtbl", "o", "020", 1), "o020");
  EXPECT_EQ(pools::addPool(conn, "SCtbl", "d", "021", 1), "d021");
  EXPECT_EQ(pools::addPool(conn, "SCtbl", "'", "022", 1), "'022");
  EXPECT_EQ(question("SCtbl", "02201")["src"], "'022");
}

TEST_F(PoolOperations, AddQuestionsNumbersOnAfterThePoolUpToNinetyNine) {
  addQuestions("X012", "012", 1, 97);
  pools::addQuestionsToPool(conn, "SCtbl", "X012", 1);
  EXPECT_EQ(numbers("SCtbl", "X012").back(), "01298");
  const auto before = bank();
  EXPECT_EQ(refusal([&] { pools::addQuestionsToPool(conn, "SCtbl", "X012", 2); }), "Invalid number of questions");
  EXPECT_EQ(bank(), before);
  pools::addQuestionsToPool(conn, "SCtbl", "X012", 1);
  EXPECT_EQ(numbers("SCtbl", "X012").size(), 99u);
  EXPECT_EQ(numbers("SCtbl", "X012").back(), "01299");
}

TEST_F(PoolOperations, CountsAndNamesThatThePoolsCannotHoldAreRefusedAndWriteNothing) {
  addQuestions("X012", "012", 1, 2);
  const auto before = bank();
  EXPECT_EQ(refusal([&] { pools::addPool(conn, "SCtbl", "O", "013", 1); }), "Invalid Pool Name");
  EXPECT_EQ(refusal([&] { pools::addPool(conn, "SCtbl", "D", "013", 1); }), "Invalid Pool Name");
  EXPECT_EQ(refusal([&] { pools::addPool(conn, "SCtbl", "X", "13", 1); }), "Invalid Pool Name");
  EXPECT_EQ(refusal([&] { pools::addPool(conn, "SCtbl", "X", "1%3", 1); }), "Invalid Pool Name");
  EXPECT_EQ(refusal([&] { pools::addPool(conn, "SCtbl", "X", "013", 0); }), "The number of questions must be above 0.");
  EXPECT_EQ(refusal([&] { pools::addPool(conn, "SCtbl", "X", "013", 100); }), "Invalid number of questions");
  EXPECT_EQ(refusal([&] { pools::addQuestionsToPool(conn, "SCtbl", "X012", -1); }),
            "The number of questions must be above 0.");
  EXPECT_EQ(refusal([&] { pools::deleteLastQuestions(conn, "SCtbl", "X012", 0); }),
            "The number of questions must be above 0.");
  EXPECT_EQ(refusal([&] { pools::deleteLastQuestions(conn, "SCtbl", "X012", 2); }),
            "The number must be lower than the number of current pool");
  EXPECT_EQ(refusal([&] { pools::deleteLastQuestions(conn, "SCtbl", "NONE", 1); }),
            "The number must be lower than the number of current pool");
  EXPECT_EQ(bank(), before);
  EXPECT_EQ(pools::addedCountProblem(0, 99), "");
  EXPECT_EQ(pools::deletedCountProblem(2, 1), "");
  EXPECT_EQ(pools::newPoolNameProblem("", "013"), "");
}

TEST_F(PoolOperations, DeleteQuestionsTakesExactlyTheLastNumbersWhateverTheGaps) {
  for (int i : {1, 2, 4, 7, 9}) add("SCtbl", {{"numQ", pools::ordinaryQuestionNumber("012", i)}, {"src", "X012"}});
  pools::deleteLastQuestions(conn, "SCtbl", "X012", 2);
  EXPECT_EQ(numbers("SCtbl", "X012"), (std::vector<std::string>{"01201", "01202", "01204"}));
}

TEST_F(PoolOperations, DeletePoolRemovesItsQuestionsOnly) {
  addQuestions("X012", "012", 1, 5);
  addQuestions("X013", "013", 1, 2);
  pools::deletePool(conn, "SCtbl", "X012");
  EXPECT_TRUE(numbers("SCtbl", "X012").empty());
  EXPECT_EQ(numbers("SCtbl", "X013").size(), 2u);
  EXPECT_EQ(pools::questionsInPool(conn, "SCtbl", "X013"), 2);
}

TEST_F(PoolOperations, AddingAPoolIsAllOrNothing) {
  // Another program's trigger refuses the fifth question: none of the pool stays.
  const std::string path = bank::schema::bankPath(dir.path()).string();
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  sqlite3_key(raw, bank::schema::kBankKey, static_cast<int>(std::string(bank::schema::kBankKey).size()));
  ASSERT_EQ(sqlite3_exec(raw,
                         "CREATE TRIGGER refuse BEFORE INSERT ON SCtbl WHEN NEW.numQ='00705' "
                         "BEGIN SELECT RAISE(ABORT, 'refused'); END;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(raw);
  EXPECT_NE(failureOf([&] { pools::addPool(conn, "SCtbl", "X", "007", 9); }), 0);
  EXPECT_TRUE(numbers("SCtbl", "X007").empty());
}

TEST_F(PoolOperations, APoolOfTheNumberThatAnotherUserAddedMeanwhileIsNamedAndNothingIsAdded) {
  // The number 500 was listed free to both editors; the other one added its pool first.
  store::Connection other;
  other.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
  pools::addPool(other, "SCtbl", "X", "500", 2);
  try {
    pools::addPool(conn, "SCtbl", "X", "500", 3);
    ADD_FAILURE() << "added";
  } catch (const pools::PoolAddedMeanwhile& e) {
    EXPECT_EQ(e.number, pools::kPoolAddedMeanwhile);
    EXPECT_EQ(e.pool, "X500");
    EXPECT_EQ(e.description, "The pool X500 was added meanwhile by another user; nothing was added.");
  }
  std::string why;
  EXPECT_EQ(failureOf([&] { pools::addPool(conn, "SCtbl", "Y", "500", 1); }, &why), pools::kPoolAddedMeanwhile);
  EXPECT_EQ(why, "The pool number 500 was taken meanwhile by another user's pool X500; Y500 was not added.");
  EXPECT_EQ(numbers("SCtbl", "X500"), (std::vector<std::string>{"50001", "50002"}));
  EXPECT_TRUE(numbers("SCtbl", "Y500").empty());
}

// On a server two editors' pools of one number may be under way at once: the second one's first
// question waits for the first one's commit and then repeats its number.
TEST(PoolOperationsOnAServer, APoolAddedWhileTheSameIsBeingAddedIsNamedRatherThanARepeatedKey) {
  testing_support::ServerDb server;
  bank::schema::createServerBank(server.uri());
  store::Connection mine, other;
  mine.open(server.uri());
  other.open(server.uri());
  store::Transaction theirs(other);
  pools::addQuestionIfNew(other, "SCtbl", "X500", "50001");
  std::atomic<bool> done{false};
  std::string refused;
  std::thread adding([&] {
    try {
      pools::addPool(mine, "SCtbl", "Y", "500", 3);
    } catch (const pools::PoolAddedMeanwhile& e) {
      refused = e.pool;
    } catch (const store::DbError& e) {
      refused = e.message();
    }
    done = true;
  });
  auto watch = store::PgDb::connect(server.uri(), "public");
  auto waitsForALock = [&] {
    auto rows = watch->query("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                             "wait_event_type = 'Lock'");
    return rows->next() && rows->column(0).toInt() > 0;
  };
  while (!done && !waitsForALock()) std::this_thread::yield();
  theirs.commit();
  adding.join();
  EXPECT_EQ(refused, "X500");
  EXPECT_EQ(pools::questionsInPool(mine, "SCtbl", "Y500"), 0);
}

TEST(Numbering, NumbersAndPoolNames) {
  EXPECT_EQ(pools::ordinaryQuestionNumber("045", 7), "04507");
  EXPECT_EQ(pools::editionQuestionNumber("132", 7), "132007");
  EXPECT_EQ(pools::editionQuestionNumber("13", 1234), "131234");
  EXPECT_EQ(pools::poolNumberOf("X012"), "012");
  EXPECT_EQ(pools::poolNumberOf("あ012"), "012");
  EXPECT_EQ(pools::poolNumberOf("12"), "12");
  EXPECT_TRUE(pools::poolLetterAllowed("o"));
  EXPECT_TRUE(pools::poolLetterAllowed(""));
  EXPECT_FALSE(pools::poolLetterAllowed("O"));
  EXPECT_EQ(pools::wholeNumber(" 12 "), 12);
  EXPECT_FALSE(pools::wholeNumber("1a"));
  EXPECT_FALSE(pools::wholeNumber(""));
}

}  // namespace
