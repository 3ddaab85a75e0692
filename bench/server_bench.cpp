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

using namespace store;
namespace fs = std::filesystem;

namespace {

// The tables the pool numbers are dealt round; pool 012 falls to SCtbl.
const char* const kTables[] = {"DStbl", "PStbl", "SCtbl", "CRtbl", "RCtbl"};
constexpr int kTypicalPool = 12;

std::string stemOf(size_t bytes) {
  std::string body;
  const char* sentence = "The committee's report, \\f1 which were released\\f0  yesterday, drew `wide~ notice. ";
  while (body.size() < bytes) body += sentence;
  return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 CBT;}"
         "{\\f1\\fnil\\fcharset0 CBTLINE;}}\r\n\\viewkind4\\uc1\\pard\\f0\\fs23 " +
         body + "\r\n\\par }\r\n";
}

std::string number(int pool, int i) {
  char n[8];
  std::snprintf(n, sizeof n, "%03d%02d", pool, i);
  return n;
}

// The 100 rows of pool 012 as both banks hold them: 99 typical questions of pool X012, and one
// short question of another pool in the same number range.
struct Row {
  std::string numQ, src, question;
  double height;
};
std::vector<Row> typicalPool() {
  std::vector<Row> rows{{number(kTypicalPool, 0), "Y012", "", 0.0}};
  for (int i = 1; i <= 99; ++i) rows.push_back({number(kTypicalPool, i), "X012", stemOf(2000), 2.0});
  return rows;
}
std::string typicalInsert(Engine& e) {
  std::string names, marks;
  int n = 0;
  for (const char* f : {"numQ", "src", "question", "questionHeight", "choiceA", "choiceB", "choiceC", "choiceD",
                        "choiceE", "answer"}) {
    names += (n ? ", " : "") + fieldIdent(e.dialect(), f);
    marks += n ? ", " : "";
    marks += n < 4 ? e.param(n + 1) : n < 9 ? std::string("'a choice'") : std::string("'C'");
    ++n;
  }
  return "INSERT INTO " + tableIdent(e.dialect(), "SCtbl") + " (" + names + ") VALUES (" + marks + ")";
}

// The file bank: 1,000 pools of 100 questions, pool 012 as typicalPool() gives it.
const fs::path& fileBank() {
  static fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / "zorbex-bench-server-file";
    fs::remove_all(d);
    fs::create_directories(d);
    schema::createBank(d);
    auto db = openOurFile(schema::bankPath(d).string(), schema::kBankKey, false, ErrorStyle::Ado);
    db->script("BEGIN;");
    for (int pool = 0; pool < 1000; ++pool) {
      if (pool == kTypicalPool) continue;
      auto ins = db->prepare(std::string("INSERT INTO [") + kTables[pool % 5] + "] (numQ, src, answer) VALUES (?1, ?2, 'A');");
      for (int i = 0; i < 100; ++i) {
        ins.bind(1, Value(number(pool, i)));
        ins.bind(2, Value("X" + number(pool, 0).substr(0, 3)));
        ins.step();
        ins.reset();
      }
    }
    for (const Row& r : typicalPool())
      db->run(typicalInsert(*db), {Value(r.numQ), Value(r.src), Value(r.question), Value(r.height)});
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
    const auto f = [&](const char* name) { return fieldIdent(Dialect::Postgres, name); };
    for (int t = 0; t < 5; ++t)
      db->run("INSERT INTO " + tableIdent(Dialect::Postgres, kTables[t]) + " (" + f("numQ") + ", " + f("src") + ", " +
              f("answer") + ") SELECT lpad(p::text, 3, '0') || lpad(i::text, 2, '0'), 'X' || lpad(p::text, 3, '0'), "
              "'A' FROM generate_series(0, 999) p, generate_series(0, 99) i WHERE p % 5 = " + std::to_string(t) +
              " AND p <> " + std::to_string(kTypicalPool));
    for (const Row& r : typicalPool())
      db->run(typicalInsert(*db), {Value(r.numQ), Value(r.src), Value(r.question), Value(r.height)});
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
