// zorbex-bank search and reindex, run as the program.
#include <gtest/gtest.h>

#include "pg_server.h"
#include "schema.h"
#include "temp_dir.h"
#include "tool_run.h"

using testing_support::bank;
using testing_support::ToolRun;

TEST(BankToolSearch, PrintsOneHitPerLineAndReindexes) {
  testing_support::TempDir dir;
  const std::string d = dir.path().string();
  ASSERT_EQ(bank({"create", d}).status, 0);
  ASSERT_EQ(bank({"sql", d, "insert into SCtbl (numQ, src, question, choiceB) values ('01001', 'X010', "
                            "'{\\rtf1\\ansi A \\b Zebra\\b0  crossing}', 'zebra')"}).status, 0);
  ToolRun built = bank({"reindex", d});
  EXPECT_EQ(built.status, 0) << built.out;

  ToolRun found = bank({"search", d, "ZEBRA", "--kind", "sc"});
  EXPECT_EQ(found.status, 0) << found.out;
  EXPECT_EQ(found.out, "SC\t01001\tchoice B\t«zebra»\nSC\t01001\tstem\tA «Zebra» crossing\n");
  EXPECT_EQ(bank({"search", d, "zebra crossing"}).out, "SC\t01001\tstem\tA «Zebra crossing»\n");

  // A question written since is found (the index follows every writer).
  ASSERT_EQ(bank({"sql", d, "insert into PStbl (numQ, src, question) values ('03001', 'X030', 'zebra')"}).status, 0);
  EXPECT_EQ(bank({"search", d, "zebra", "--kind", "PS"}).out.substr(0, 13), "PS\t03001\tstem");
  EXPECT_NE(bank({"search", d, "zebra", "--kind", "XX"}).status, 0);
}

TEST(BankToolSearch, TakesTheUriOfABankOnAServer) {
  testing_support::ServerDb server;
  store::schema::createServerBank(server.uri());
  ASSERT_EQ(bank({"sql", server.uri(), "insert into SCtbl (numQ, src, question) values ('01001', 'X010', "
                                       "'{\\rtf1\\ansi A \\b Zebra\\b0  crossing}')"}).status, 0);
  ToolRun built = bank({"reindex", server.uri()});
  EXPECT_EQ(built.status, 0) << built.out;
  ToolRun found = bank({"search", server.uri(), "zebra crossing"});
  EXPECT_EQ(found.status, 0) << found.out;
  EXPECT_EQ(found.out, "SC\t01001\tstem\tA «Zebra crossing»\n");
}
