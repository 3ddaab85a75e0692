// What keeping the history costs: Save, "GO" over 99 questions and "COPY" over 1,000 mapping
// rows on a bank that keeps its history, beside the same work on an identical bank whose
// history triggers are gone. Every round really changes every record it writes (a write of
// the same values keeps no version), so each round keeps a version of each. After the run:
// the growth of the bank over ten "GO" rounds on a 1,000-question pool, with and without.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_main.h"
#include "synthetic_bank.h"
#include "editions.h"
#include "history.h"
#include "numbering.h"
#include "operation.h"
#include "question_record.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"

using namespace store;
using namespace bank;
namespace fs = std::filesystem;

namespace {

using namespace bench_support;

std::string stemOf(size_t bytes, long round) { return bench_support::stemOf(bytes, "round " + std::to_string(round) + " ", false); }

// A bank with pool X012 (99 questions), pool X100 (1,000 questions), the 1,000 old and bare new
// questions of the SC edition copy, and its mapping.
fs::path makeBank(const std::string& name) {
  fs::path d = freshBank(name);
  auto db = bench_support::openBankFile(schema::bankPath(d), false);
  RowWriter w(*db);
  db->script("BEGIN;");
  auto add = [&](const std::string& numQ, const std::string& src) {
    w.add(Kind::SC, {{"numQ", numQ},
                     {Holds::Pool, src},
                     {Holds::Stem, stemOf(2000, 0)},
                     {Holds::ChoiceA, std::string("first choice")},
                     {Holds::ChoiceB, std::string("second choice")},
                     {Holds::ChoiceC, std::string("third choice")},
                     {Holds::ChoiceD, std::string("fourth choice")},
                     {Holds::ChoiceE, std::string("fifth choice")},
                     {Holds::Answer, std::string("B")},
                     {SizeOf::QuestionHeight, Value(static_cast<long long>(2))}});
  };
  for (long i = 1; i <= 99; ++i) add("012" + pools::format00(i), "X012");
  for (long i = 1; i <= 1000; ++i) add("1" + pools::format000(i - 1) + "x", "X100");
  auto map = db->prepare("INSERT INTO [12to13SC] ([12th], [13th]) VALUES (?1, ?1);");
  for (long i = 1; i <= 1000; ++i) {
    add(pools::editionQuestionNumber("12", i), "O120");
    w.add(Kind::SC, {{"numQ", pools::editionQuestionNumber("13", i)}, {Holds::Pool, std::string("O130")},
                     {Holds::Answer, std::string("A")}});
    map.bind(1, Value(static_cast<long long>(i)));
    map.step();
    map.reset();
  }
  db->script("COMMIT;");
  return d;
}

const fs::path& withHistory() {
  static const fs::path d = makeBank("zorbex-bench-history-on");
  return d;
}
const fs::path& withoutHistory() {
  static const fs::path d = makeBank("zorbex-bench-history-off");
  return d;
}

// A connection as the editor has one. Opening adds missing triggers: on the bank that keeps no
// history they go again, and the connection tells the history of no change.
void openBank(Connection& conn, const fs::path& folder, bool keepsHistory) {
  conn.open(schema::bankPath(folder).string(), schema::kBankKey);
  if (keepsHistory) return;
  for (store::OpenExtension& o : conn.session().extensions())
    if (o.extension == &history::extension()) o.keeping = false;
  store::sqliteFile(conn.session().engine()).exec("DROP TRIGGER zx_history_SC_update; DROP TRIGGER zx_history_SC_delete;");
}

const bank::RecordFields& sc() { return bank::recordFields(schema::Kind::SC); }

// What Save writes of one question: its layout, then its content.
void writeQuestion(Connection& conn, const std::string& numQ, long round) {
  bank::Record values = *bank::readRecord(conn, sc(), numQ);
  values[fieldName(Kind::SC, Holds::Stem)] = Value(stemOf(2000, round));
  values[fieldName(Kind::SC, Holds::ChoiceA)] = Value("first choice " + std::to_string(round));
  values[fieldName(Kind::SC, SizeOf::QuestionHeight)] = Value(2.0 + static_cast<double>(round % 7) / 10);
  bank::writeRecord(conn, sc(), numQ, values, bank::FieldWrite::Layout);
  bank::writeRecord(conn, sc(), numQ, values, bank::FieldWrite::Content);
}

void save(benchmark::State& st, const fs::path& bank) {
  Connection conn;
  openBank(conn, bank, bank == withHistory());
  long round = 0;
  for (auto _ : st) {
    DeferCheckpoint one(conn);
    bank::OperationTag tag(conn, bank::Operation::Save);
    writeQuestion(conn, "01201", ++round);
    tag.commit();
  }
}
void BM_Save_WithHistory(benchmark::State& st) { save(st, withHistory()); }
void BM_Save_WithoutHistory(benchmark::State& st) { save(st, withoutHistory()); }

// "GO": each question of the pool loaded and written (content and layout) and committed, one
// tag, one emptying of the log.
void go(Connection& conn, const std::string& prefix, long count, long round) {
  DeferCheckpoint one(conn);
  bank::OperationTag tag(conn, bank::Operation::Go);
  for (long i = 1; i <= count; ++i)
    writeQuestion(conn, prefix == "012" ? prefix + pools::format00(i) : "1" + pools::format000(i - 1) + "x", round);
  tag.commit();  // as the editor's "GO" commits the pool once
}

void go99(benchmark::State& st, const fs::path& bank) {
  Connection conn;
  openBank(conn, bank, bank == withHistory());
  long round = 0;
  for (auto _ : st) go(conn, "012", 99, ++round);
}
void BM_Go99_WithHistory(benchmark::State& st) { go99(st, withHistory()); }
void BM_Go99_WithoutHistory(benchmark::State& st) { go99(st, withoutHistory()); }

void copy(benchmark::State& st, const fs::path& bank) {
  Connection conn;
  openBank(conn, bank, bank == withHistory());
  long round = 0;
  for (auto _ : st) {
    st.PauseTiming();  // new content in the old edition, so that the copy changes every target
    conn.execute("update SCtbl set choiceB='second choice " + std::to_string(++round) + "' where src='O120'");
    st.ResumeTiming();
    pools::copyEdition(conn, pools::editionRules(schema::Kind::SC));
  }
}
void BM_Copy1000_WithHistory(benchmark::State& st) { copy(st, withHistory()); }
void BM_Copy1000_WithoutHistory(benchmark::State& st) { copy(st, withoutHistory()); }

BENCHMARK(BM_Save_WithHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save_WithoutHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Go99_WithHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Go99_WithoutHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy1000_WithHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy1000_WithoutHistory)->Unit(benchmark::kMillisecond);

// Ten "GO" rounds over the 1,000-question pool on fresh copies of both banks; prints the
// growth of each file.
void printGrowth() {
  for (bool keeps : {true, false}) {
    const fs::path d = makeBank(keeps ? "zorbex-bench-growth-on" : "zorbex-bench-growth-off");
    const auto before = fs::file_size(schema::bankPath(d));
    {
      Connection conn;
      openBank(conn, d, keeps);
      for (long round = 1; round <= 10; ++round) go(conn, "1", 1000, round);
      conn.close();
    }
    const auto after = fs::file_size(schema::bankPath(d));
    std::printf("ten GO rounds over 1,000 questions, %s history: bank %.1f MB -> %.1f MB (+%.1f MB, %.2f KB per version)\n",
                keeps ? "with" : "without", static_cast<double>(before) / 1e6, static_cast<double>(after) / 1e6,
                static_cast<double>(after - before) / 1e6, static_cast<double>(after - before) / 10000 / 1e3);
    fs::remove_all(d);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int status = bench_support::runWithRatios(argc, argv,
                                                  {{"BM_Save_WithHistory", "BM_Save_WithoutHistory"},
                                                   {"BM_Go99_WithHistory", "BM_Go99_WithoutHistory"},
                                                   {"BM_Copy1000_WithHistory", "BM_Copy1000_WithoutHistory"}});
  printGrowth();
  return status;
}
