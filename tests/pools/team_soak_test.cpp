// A team on one server bank: eight processes edit questions of their own pool and of one pool
// they share, add and delete pools and run edition copies, for a minute. Afterwards every
// accepted write is in the bank, the writes to a shared question form one chain (none
// overwrote another it had not seen), no question number is repeated, and the file pair
// published from the bank checks.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "bank_files.h"
#include "connection.h"
#include "edition_rules.h"
#include "editions.h"
#include "pg_server.h"
#include "pool_operations.h"
#include "recordset.h"
#include "schema.h"
#include "server_bank.h"
#include "statements.h"
#include "temp_dir.h"

using namespace testing_support;

namespace {

constexpr int kEditors = 8;
constexpr auto kDuration = std::chrono::seconds(60);
const char* const kShared[] = {"99901", "99902", "99903"};

std::string ownNumber(int editor) { return "2" + std::to_string(editor) + "001"; }

std::string questionText(store::Connection& c, const std::string& numQ) {
  store::Recordset rs;
  rs.open("select question from SCtbl where numQ='" + numQ + "'", c, store::adOpenForwardOnly, store::adLockReadOnly);
  std::string v = rs.eof() ? "<none>" : rs.value("question").toString();
  rs.close();
  return v;
}

// One editor's minute; its accepted writes ("W numQ old new") and refusals ("R") go to log.
void editorRun(int editor, const std::string& uri, const std::string& log) {
  std::ofstream out(log);
  store::Connection c;
  c.open(uri);
  std::mt19937 random(static_cast<unsigned>(editor) * 7919u + 1u);
  const auto end = std::chrono::steady_clock::now() + kDuration;
  for (long seq = 0; std::chrono::steady_clock::now() < end; ++seq) {
    const int action = static_cast<int>(random() % 10);
    try {
      if (action < 7) {
        // Compare, then write under a hold: a question changed since it was read is refused.
        const std::string numQ = action < 4 ? kShared[random() % 3] : ownNumber(editor);
        const std::string seen = questionText(c, numQ);
        const std::string mine = "e" + std::to_string(editor) + "-" + std::to_string(seq);
        store::Transaction t(c);
        c.holdRows(store::statements::questionSource("SCtbl", numQ));
        if (questionText(c, numQ) != seen) {
          out << "R\n";
          continue;
        }
        c.execute("update SCtbl set question = '" + mine + "' where numQ = '" + numQ + "'");
        t.commit();
        out << "W " << numQ << " " << seen << " " << mine << "\n";
      } else if (action < 9) {
        const std::string poolNumber = "3" + std::to_string(editor) + std::to_string(seq % 10);
        const std::string pool = pools::addPool(c, "SCtbl", "Y", poolNumber, 3);
        pools::deletePool(c, "SCtbl", pool);
        out << "P\n";
      } else {
        pools::copyEdition(c, pools::editionRules(bank::schema::Kind::SC));
        out << "E\n";
      }
    } catch (const store::DbError& e) {
      out << "R " << e.number << "\n";  // refused: a conflict with another editor, reported
    }
    out.flush();
  }
}

TEST(TeamSoak, EightEditorsForAMinuteLoseNothingAndOverwriteNothingUnseen) {
  ServerDb server;
  bank::schema::createServerBank(server.uri());
  {
    store::Connection c;
    c.open(server.uri());
    for (const char* n : kShared) pools::addQuestionIfNew(c, "SCtbl", "S999", n);
    for (int e = 0; e < kEditors; ++e) pools::addQuestionIfNew(c, "SCtbl", "X2" + std::to_string(e) + "0", ownNumber(e));
    c.execute("update SCtbl set question = 'start'");
  }
  TempDir dir;
  std::vector<pid_t> children;
  for (int e = 0; e < kEditors; ++e) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        editorRun(e, server.uri(), (dir / ("editor" + std::to_string(e))).string());
      } catch (const std::exception& ex) {
        std::fprintf(stderr, "editor %d: %s\n", e, ex.what());
        status = 1;
      }
      _exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  store::Connection c;
  c.open(server.uri());
  long accepted = 0, refused = 0, poolRounds = 0, editions = 0;
  std::map<std::string, std::map<std::string, std::string>> chain;  // numQ -> old -> new
  for (int e = 0; e < kEditors; ++e) {
    std::ifstream in(dir / ("editor" + std::to_string(e)));
    std::string line, lastOwn = "start";
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string kind, numQ, before, after;
      words >> kind >> numQ >> before >> after;
      if (kind == "W") {
        ++accepted;
        EXPECT_TRUE(chain[numQ].emplace(before, after).second) << "two writes replaced " << before << " of " << numQ;
        if (numQ == ownNumber(e)) lastOwn = after;
      }
      refused += kind == "R";
      poolRounds += kind == "P";
      editions += kind == "E";
    }
    EXPECT_EQ(questionText(c, ownNumber(e)), lastOwn);
  }
  // Each question's accepted writes follow one another from "start" to what it holds now.
  for (const auto& [numQ, steps] : chain) {
    std::string at = "start";
    size_t followed = 0;
    for (auto step = steps.find(at); step != steps.end(); step = steps.find(at), ++followed) at = step->second;
    EXPECT_EQ(followed, steps.size()) << numQ;
    EXPECT_EQ(questionText(c, numQ), at) << numQ;
  }
  store::Recordset rs;
  rs.open("select count(*) as n, count(numQ) as k from SCtbl", c, store::adOpenForwardOnly, store::adLockReadOnly);
  const long rows = static_cast<long>(rs.value("n").toInt());
  rs.close();
  rs.open("select distinct numQ from SCtbl", c, store::adOpenForwardOnly, store::adLockReadOnly);
  EXPECT_EQ(rs.recordCount(), rows);  // no number twice
  rs.close();
  c.close();

  TempDir published;
  bank::publishServerBank(server.uri(), published.path());
  EXPECT_TRUE(bank::checkFile(bank::schema::bankPath(published.path()), bank::schema::kBankKey).whole());
  std::printf("team soak: %ld writes accepted (%.1f per second), %ld refused or asked, lost 0; %ld pool rounds, "
              "%ld edition copies\n",
              accepted, static_cast<double>(accepted) / static_cast<double>(kDuration.count()), refused, poolRounds,
              editions);
}

}  // namespace
