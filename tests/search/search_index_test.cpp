// The index's typed query: as each backend writes it in its engine's syntax, and as each engine
// answers it, with nothing in a term taken for syntax.
#include <gtest/gtest.h>

#include "../pools/bank_fixture.h"
#include "../store/support.h"
#include "bank_search.h"
#include "file_index.h"
#include "search_index.h"
#include "server_index.h"

using namespace search::index;
using testing_support::BankEngine;

namespace {

TermQuery phrases(std::vector<std::vector<Term>> list) {
  TermQuery q;
  for (auto& terms : list) q.phrases.push_back({std::move(terms)});
  return q;
}

TEST(IndexQuery, EachBackendWritesPhrasesAndPrefixesInItsOwnSyntax) {
  const TermQuery q = phrases({{{"quick", false}, {"bro", true}}, {{"fox", false}}});
  EXPECT_EQ(fileMatchText(q), "\"quick bro*\" \"fox\"");
  EXPECT_EQ(serverQueryText(q), "('quick' <-> 'bro':*) & ('fox')");
  // Letters beyond ASCII are the tokens' own.
  EXPECT_EQ(fileMatchText(phrases({{{"東京", false}, {"京", true}}})), "\"東京 京*\"");
  EXPECT_EQ(serverQueryText(phrases({{{"東京", false}, {"京", true}}})), "('東京' <-> '京':*)");
}

TEST(IndexQuery, QuotesAndOperatorsInATermAreCutsBetweenTokensNotSyntax) {
  const TermQuery q = phrases({{{"Walrus\" OR \"tusk*", true}, {"it's", false}}, {{"a|!b&(c)", false}}});
  EXPECT_EQ(fileMatchText(q), "\"walrus or tusk* it s\" \"a b c\"");
  EXPECT_EQ(serverQueryText(q), "('walrus' <-> 'or' <-> 'tusk':* <-> 'it' <-> 's') & ('a' <-> 'b' <-> 'c')");
  // Nothing left of a term or a phrase: nothing asked.
  EXPECT_EQ(fileMatchText(phrases({{{"\"*\"", true}}, {}})), "");
  EXPECT_EQ(serverQueryText(phrases({{{"-", false}}})), "");
}

class IndexOnEngine : public ::testing::TestWithParam<BankEngine> {
 protected:
  void SetUp() override { made.open(conn); }
  // The places of each hit of the query, in the order of their numbers.
  std::vector<int> places(const TermQuery& q) {
    std::vector<Hit> hits = indexOf(conn).matchEntries(q, {});
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.numQ < b.numQ; });
    std::vector<int> out;
    for (const Hit& h : hits) out.push_back(h.places);
    return out;
  }

  testing_support::NewBank made{GetParam()};
  store::Connection conn;
};

INSTANTIATE_TEST_SUITE_P(Engines, IndexOnEngine, ::testing::Values(BankEngine::File, BankEngine::Server),
                         testing_support::engineName);

TEST_P(IndexOnEngine, BothEnginesAnswerTheTypedQueryAlike) {
  addRow(conn, "SCtbl", {{"numQ", "01001"}, {"src", "X010"}, {"question", "the walrus and the walrus' tusk"}});
  addRow(conn, "SCtbl", {{"numQ", "01002"}, {"src", "X010"}, {"question", "a wall"}});
  search::rebuildIndex(conn);
  EXPECT_EQ(places(phrases({{{"walrus", false}}})), (std::vector<int>{2}));
  EXPECT_EQ(places(phrases({{{"wal", true}}})), (std::vector<int>{2, 1}));
  EXPECT_EQ(places(phrases({{{"the", false}, {"walrus", false}}})), (std::vector<int>{2}));
  EXPECT_EQ(places(phrases({{{"walrus", false}}, {{"tusk", false}}})), (std::vector<int>{3}));
  // A term with operators of either engine's syntax in it is its tokens in a row.
  EXPECT_EQ(places(phrases({{{"walrus' | 'tusk", false}}})), (std::vector<int>{1}));
  EXPECT_TRUE(places(phrases({{{"walrus\" OR \"wall", false}}})).empty());
  EXPECT_TRUE(places(phrases({{{"*", true}}})).empty());
}

}  // namespace
