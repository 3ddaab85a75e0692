// The editor on a bank on a PostgreSQL server beside the same bank in a file: the free-number
// search of "Add Pool", a question switch and "GO" over a pool of 99 questions, on a bank of
// 100,000 questions. The benchmark starts a throwaway server of its own and stops it at the end.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_main.h"
#include "connections.h"
#include "controls/form.h"
#include "controls/scripted_dialogs.h"
#include "pg_db.h"
#include "sc/form_sc_edit.h"
#include "schema.h"
#include "session.h"
#include "synthetic_bank.h"

using namespace store;
using namespace bank;
namespace fs = std::filesystem;

namespace {

using bench_support::Holds;
using bench_support::Kind;
using bench_support::SizeOf;

// Pool numbers are dealt round bench_support::kDealtKinds; pool 012 falls to SC.
constexpr int kTypicalPool = 12;

// The 100 rows of pool 012 as both banks hold them: 99 typical questions of pool X012, and one
// short question of another pool in the same number range.
std::vector<bench_support::Row> typicalPool() {
  auto row = [](int i, const char* pool, const std::string& stem, double height) {
    bench_support::Row r{{"numQ", bench_support::questionNumber(kTypicalPool, i)}, {Holds::Pool, std::string(pool)},
                         {Holds::Stem, stem}, {SizeOf::QuestionHeight, height}, {Holds::Answer, std::string("C")}};
    for (size_t k = 0; k < 5; ++k) r[schema::choiceAt(k)] = std::string("a choice");
    return r;
  };
  std::vector<bench_support::Row> rows{row(0, "Y012", "", 0.0)};
  for (int i = 1; i <= 99; ++i) rows.push_back(row(i, "X012", bench_support::stemOf(2000), 2.0));
  return rows;
}

// Writes one SC row in the engine's own dialect.
void addSC(Engine& e, const bench_support::Row& row) {
  std::string names, marks;
  std::vector<Value> values;
  for (const auto& [key, value] : row) {
    names += (values.empty() ? "" : ", ") + fieldIdent(e.dialect(), bench_support::fieldName(Kind::SC, key));
    values.push_back(value);
    marks += (values.size() == 1 ? "" : ", ") + e.param(static_cast<int>(values.size()));
  }
  e.run("INSERT INTO " + tableIdent(e.dialect(), bench_support::tableOf(Kind::SC)) + " (" + names + ") VALUES (" +
            marks + ")",
        values);
}

// The file bank: 1,000 pools of 100 questions, pool 012 as typicalPool() gives it.
const fs::path& fileBank() {
  static fs::path dir = [] {
    fs::path d = bench_support::freshBank("zorbex-bench-server-file");
    auto db = bench_support::openBankFile(schema::bankPath(d), false);
    bench_support::RowWriter w(*db);
    db->script("BEGIN;");
    for (int pool = 0; pool < 1000; ++pool) {
      if (pool == kTypicalPool) continue;
      for (int i = 0; i < 100; ++i)
        w.add(bench_support::kDealtKinds[pool % 5], {{"numQ", bench_support::questionNumber(pool, i)},
                                                     {Holds::Pool, bench_support::poolName(pool)},
                                                     {Holds::Answer, std::string("A")}});
    }
    for (const bench_support::Row& r : typicalPool()) addSC(*db, r);
    db->script("COMMIT;");
    return d;
  }();
  return dir;
}

// A throwaway cluster (scripts/pg-test-cluster.sh) for the length of the run.
class Cluster {
 public:
  Cluster() {
    state_ = fs::temp_directory_path() / ("zorbex-bench-pg-" + std::to_string(getpid()));
    if (std::system((std::string(ZORBEX_PG_SCRIPT) + " start " + state_.string() + " >/dev/null").c_str()) != 0)
      throw std::runtime_error("the benchmark's server could not start");
    std::ifstream in(state_);
    std::getline(in, folder_);
  }
  ~Cluster() {
    if (std::system((std::string(ZORBEX_PG_SCRIPT) + " stop " + state_.string()).c_str()) != 0)
      std::fprintf(stderr, "the benchmark's server did not stop\n");
  }
  std::string uri(const std::string& db) const { return "postgresql:///" + db + "?host=" + folder_ + "&user=postgres"; }

 private:
  fs::path state_;
  std::string folder_;
};

std::unique_ptr<Cluster> cluster;

// The same bank on the server: made empty, filled by the server itself from number series, and
// pool 012 written row by row as in the file.
const std::string& serverBank() {
  static std::string uri = [] {
    auto admin = PgDb::connect(cluster->uri("postgres"), "public");
    admin->script("CREATE DATABASE zx_bench");
    const std::string u = cluster->uri("zx_bench");
    schema::createServerBank(u);
    auto db = PgDb::connect(u, "public");
    db->script("BEGIN;");
    for (int t = 0; t < 5; ++t) {
      const Kind kind = bench_support::kDealtKinds[t];
      const auto f = [&](const bench_support::Row::key_type& key) {
        return fieldIdent(Dialect::Postgres, bench_support::fieldName(kind, key));
      };
      db->run("INSERT INTO " + tableIdent(Dialect::Postgres, bench_support::tableOf(kind)) + " (" + f("numQ") + ", " +
              f(Holds::Pool) + ", " + f(Holds::Answer) + ") SELECT lpad(p::text, 3, '0') || lpad(i::text, 2, '0'), 'X' || lpad(p::text, 3, '0'), "
              "'A' FROM generate_series(0, 999) p, generate_series(0, 99) i WHERE p % 5 = " + std::to_string(t) +
              " AND p <> " + std::to_string(kTypicalPool));
    }
    for (const bench_support::Row& r : typicalPool()) addSC(*db, r);
    db->script("COMMIT; ANALYZE;");
    return u;
  }();
  return uri;
}

// The application folder of the editor on the server bank (its log).
fs::path appFolder() {
  fs::path d = fs::temp_directory_path() / "zorbex-bench-server-app";
  fs::create_directories(d);
  return d;
}

// The SC editor open on pool X012 of a bank: the file's folder, or the server's URI.
struct Editor {
  explicit Editor(bool server) : state(server ? appFolder() : fileBank()) {
    if (server) state.serverBank = serverBank();
    state.flgAllKinds = true;
    OpenConnections(state);
    editor = new kinds::FormSCEdit(state, formInit);
    editor->Show();
    for (int i = 0; i < editor->cmbPool.ListCount(); ++i)
      if (editor->cmbPool.List(i) == "X012") editor->cmbPool.setListIndex(i);
  }
  ~Editor() { delete editor; }
  ProgramState state;
  ui::Form formInit;
  ui::ScriptedDialogs dialogs;
  kinds::FormSCEdit* editor;
};

void addPool(benchmark::State& st, bool server) {
  Editor s(server);
  for (auto _ : st) {
    s.editor->cmbEdit.setListIndex(1);  // "Add Pool": the free-number search
    s.editor->cmbEdit.setListIndex(0);
  }
}

void switchQuestion(benchmark::State& st, bool server) {
  Editor s(server);
  int i = 0;
  for (auto _ : st) s.editor->lstQuestion.setListIndex(++i % 2);
}

void go(benchmark::State& st, bool server) {
  Editor s(server);
  if (s.editor->lstQuestion.ListCount() != 99) st.SkipWithError("pool X012 is not the 99 questions");
  for (auto _ : st) s.editor->cmdGo->Press();
}

void BM_AddPool_File(benchmark::State& st) { addPool(st, false); }
void BM_AddPool_Server(benchmark::State& st) { addPool(st, true); }
void BM_SwitchQuestion_File(benchmark::State& st) { switchQuestion(st, false); }
void BM_SwitchQuestion_Server(benchmark::State& st) { switchQuestion(st, true); }
void BM_Go99_File(benchmark::State& st) { go(st, false); }
void BM_Go99_Server(benchmark::State& st) { go(st, true); }

BENCHMARK(BM_AddPool_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddPool_Server)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchQuestion_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchQuestion_Server)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Go99_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Go99_Server)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  cluster = std::make_unique<Cluster>();
  const int status = bench_support::runWithRatios(argc, argv,
                                                  {{"BM_AddPool_Server", "BM_AddPool_File"},
                                                   {"BM_SwitchQuestion_Server", "BM_SwitchQuestion_File"},
                                                   {"BM_Go99_Server", "BM_Go99_File"}});
  cluster.reset();
  return status;
}
