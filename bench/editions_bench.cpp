// "COPY" over a 1,000-row mapping in one transaction beside the same copies each committed
// on its own; "dbl" over 5,000 SC questions beside a plain read of their choices.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench_main.h"
#include "synthetic_bank.h"
#include "editions.h"
#include "numbering.h"
#include "dialect.h"
#include "recordset.h"
#include "schema.h"
#include "session.h"

using namespace store;
using namespace bank;
namespace fs = std::filesystem;

namespace {

// 1,000 old SC questions with content, their bare new numbers and the mapping between
// them; 4,000 further SC questions, 5,000 in all whose stems contain "that".
const fs::path& editionBank() {
  static fs::path dir = [] {
    using namespace bench_support;
    fs::path d = freshBank("zorbex-bench-editions");
    auto db = bench_support::openBankFile(schema::bankPath(d), false);
    RowWriter w(*db);
    db->script("BEGIN;");
    auto insert = [&](const std::string& numQ, const std::string& src, long i) {
      w.add(Kind::SC, {{"numQ", numQ},
                       {Holds::Pool, src},
                       {Holds::Stem, "{\\rtf1 so that the stem of " + numQ + " is long enough to be a stem\\par}"},
                       {Holds::ChoiceA, "first choice " + std::to_string(i)},
                       {Holds::ChoiceB, std::string("second choice")},
                       {Holds::ChoiceC, std::string("third choice")},
                       {Holds::ChoiceD, std::string("fourth choice")},
                       {Holds::ChoiceE, i % 7 == 0 ? std::string("second choice") : "last " + std::to_string(i)},
                       {Holds::Answer, std::string("B")},
                       {SizeOf::QuestionHeight, 1.5}});
    };
    auto map = db->prepare("INSERT INTO [12to13SC] ([12th], [13th]) VALUES (?1, ?1);");
    for (long i = 1; i <= 1000; ++i) {
      insert(pools::editionQuestionNumber("12", i), "O120", i);
      w.add(Kind::SC, {{"numQ", pools::editionQuestionNumber("13", i)}, {Holds::Pool, std::string("O130")},
                       {Holds::Answer, std::string("A")}});
      map.bind(1, Value(static_cast<long long>(i)));
      map.step();
      map.reset();
    }
    for (long i = 1; i <= 4000; ++i) insert("9" + pools::format000(i / 100) + pools::format00(i % 100), "X", i);
    db->script("COMMIT;");
    return d;
  }();
  return dir;
}

void openBank(Connection& conn) { conn.open(schema::bankPath(editionBank()).string(), schema::kBankKey); }

void BM_Copy_OneTransaction(benchmark::State& state) {
  Connection conn;
  openBank(conn);
  const auto& rules = pools::editionRules(schema::Kind::SC);
  long copied = 0;
  for (auto _ : state) copied = pools::copyEdition(conn, rules);
  state.counters["rows"] = static_cast<double>(copied);
}

// The same copies, each record written in a commit of its own.
void BM_Copy_Autocommitted(benchmark::State& state) {
  Connection conn;
  openBank(conn);
  const auto& rules = pools::editionRules(schema::Kind::SC);
  auto open = [&](Recordset& rs, const std::string& number) {
    rs.cursorType = adOpenKeyset;
    rs.lockType = adLockOptimistic;
    rs.open(std::string("SCtbl where numQ='") + sqlText(number) + "'", conn, adOpenUnspecified, adLockUnspecified,
            adCmdTable);
  };
  for (auto _ : state) {
    Recordset map;
    map.open("12to13SC", conn, adOpenKeyset, adLockReadOnly);
    for (; !map.eof(); map.moveNext()) {
      Recordset source, target;
      open(source, pools::editionQuestionNumber("12", static_cast<long>(map.value("12th").toInt())));
      open(target, pools::editionQuestionNumber("13", static_cast<long>(map.value("13th").toInt())));
      for (const char* f : rules.copiedFields) target.setValue(f, source.value(f));
      target.update();
      target.close();
      source.close();
    }
    map.close();
  }
}

void BM_Dbl_5000Questions(benchmark::State& state) {
  Connection conn;
  openBank(conn);
  size_t found = 0;
  for (auto _ : state) found = pools::findDuplicateChoices(conn, pools::editionRules(schema::Kind::SC)).size();
  state.counters["findings"] = static_cast<double>(found);
}

void BM_PlainChoiceRead(benchmark::State& state) {
  auto db = bench_support::openBankFile(schema::bankPath(editionBank()), true);
  size_t chars = 0;
  for (auto _ : state) {
    auto q = db->prepare(
        "SELECT numQ, choiceA, choiceB, choiceC, choiceD, choiceE FROM SCtbl WHERE question LIKE '%that%';");
    while (q.step())
      for (int i = 0; i < 6; ++i) chars += q.column(i).toString().size();
  }
  benchmark::DoNotOptimize(chars);
}

BENCHMARK(BM_Copy_OneTransaction)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Copy_Autocommitted)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Dbl_5000Questions)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PlainChoiceRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  return bench_support::runWithRatios(argc, argv, {{"BM_Copy_OneTransaction", "BM_Copy_Autocommitted"},
                                                   {"BM_Dbl_5000Questions", "BM_PlainChoiceRead"}});
}
