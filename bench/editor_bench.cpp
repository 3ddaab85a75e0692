// The editors as a user meets them, offscreen: switching questions, "GO" over a full pool,
// and choosing "Add Pool" on a large bank, each beside the plain read of the same records;
// the RC switch with a 20 KB passage and the PS "GO" beside the same work in the SC editor.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "bench_main.h"
#include "synthetic_bank.h"
#include "connections.h"
#include "controls/form.h"
#include "controls/scripted_dialogs.h"
#include "recordset.h"
#include "ps/form_ps_edit.h"
#include "rc/form_rc_edit.h"
#include "sc/form_sc_edit.h"
#include "schema.h"
#include "session.h"

using namespace store;
namespace fs = std::filesystem;

namespace {

std::string stemOf(size_t bytes) {
  std::string body;
  const char* sentence = "The committee's report, \\f1 which were released\\f0  yesterday, drew `wide~ notice. ";
  while (body.size() < bytes) body += sentence;
  return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 CBT;}"
         "{\\f1\\fnil\\fcharset0 CBTLINE;}}\r\n\\viewkind4\\uc1\\pard\\f0\\fs23 " +
         body + "\r\n\\par }\r\n";
}

// Pool X012 with 99 typical questions; pool X013 with one 20 KB stem.
const fs::path& editorBank() {
  static fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / "zorbex-bench-editor";
    fs::remove_all(d);
    fs::create_directories(d);
    schema::createBank(d);
    Connection c;
    c.open(schema::bankPath(d).string(), schema::kBankKey);
    auto add = [&](const std::string& numQ, const std::string& src, const std::string& question) {
      Recordset rs;
      rs.open("SCtbl", c, adOpenKeyset, adLockOptimistic);
      rs.addNew();
      rs.setValue("numQ", numQ);
      rs.setValue("src", src);
      rs.setValue("question", question);
      for (const char* f : {"choiceA", "choiceB", "choiceC", "choiceD", "choiceE"}) rs.setValue(f, "a choice");
      rs.setValue("answer", "C");
      rs.setValue("questionHeight", 2.0);
      rs.update();
      rs.close();
    };
    for (int i = 1; i <= 99; ++i) {
      char n[8];
      std::snprintf(n, sizeof n, "012%02d", i);
      add(n, "X012", stemOf(2000));
    }
    add("01301", "X013", stemOf(20000));
    add("01302", "X013", stemOf(20000));
    // RC: two questions on a 20 KB passage, typical stems. PS: 99 typical questions
    // whose choices are short rich texts.
    auto addTo = [&](const char* table, const std::string& numQ, const std::string& src,
                     std::map<std::string, Value> fields) {
      Recordset rs;
      rs.open(table, c, adOpenKeyset, adLockOptimistic);
      rs.addNew();
      rs.setValue("numQ", numQ);
      rs.setValue("src", src);
      for (const auto& [name, value] : fields) rs.setValue(name, value);
      rs.update();
      rs.close();
    };
    const std::string choice = "{\\rtf1\\ansi{\\fonttbl{\\f0 CBT;}}\\pard\\f0 2\\super 3\\nosupersub  ~n\\par}";
    for (const char* n : {"03001", "03002"})
      addTo("RCtbl", n, "X030",
            {{"question", stemOf(2000)}, {"reading", stemOf(20000)}, {"passageNum", "301"}, {"Qnumber", "00002"},
             {"choiceA", "a choice"}, {"choiceE", "a choice"}, {"answer", "C"}, {"questionHeight", 2.0}});
    for (int i = 1; i <= 99; ++i) {
      char n[8];
      std::snprintf(n, sizeof n, "050%02d", i);
      addTo("PStbl", n, "X050",
            {{"question", stemOf(2000)}, {"choiceA", choice}, {"choiceB", choice}, {"choiceC", choice},
             {"choiceD", choice}, {"choiceE", choice}, {"answer", "C"}, {"questionHeight", 2.0}});
    }
    return d;
  }();
  return dir;
}

template <class Editor = kinds::FormSCEdit>
struct Session {
  explicit Session(const fs::path& folder) : state(folder) {
    state.flgAllKinds = true;
    OpenConnections(state);
    editor = new Editor(state, formInit);
    editor->Show();
  }
  ~Session() { delete editor; }
  ProgramState state;
  ui::Form formInit;
  ui::ScriptedDialogs dialogs;
  Editor* editor;
};

void BM_SwitchQuestion_Typical(benchmark::State& st) {
  Session<> s(editorBank());
  int i = 0;
  for (auto _ : st) s.editor->lstQuestion.setListIndex(++i % 2);
}

void BM_SwitchQuestion_20KB(benchmark::State& st) {
  Session<> s(editorBank());
  s.editor->cmbPool.setListIndex(1);
  int i = 0;
  for (auto _ : st) s.editor->lstQuestion.setListIndex(++i % 2);
}

// The plain read of what a switch loads: one record by its number.
void readOne(Connection& c, const std::string& numQ) {
  Recordset rs;
  rs.open("select * from SCtbl where numQ='" + numQ + "';", c, adOpenDynamic, adLockReadOnly);
  benchmark::DoNotOptimize(rs.value("question").toString().size());
  rs.close();
}

void BM_PlainRead_Typical(benchmark::State& st) {
  Connection c;
  c.open(schema::bankPath(editorBank()).string(), schema::kBankKey);
  int i = 0;
  for (auto _ : st) readOne(c, ++i % 2 ? "01201" : "01202");
}

void BM_PlainRead_20KB(benchmark::State& st) {
  Connection c;
  c.open(schema::bankPath(editorBank()).string(), schema::kBankKey);
  int i = 0;
  for (auto _ : st) readOne(c, ++i % 2 ? "01301" : "01302");
}

void BM_Go_99Questions(benchmark::State& st) {
  Session<> s(editorBank());
  for (auto _ : st) s.editor->cmdGo->Press();
}

void BM_PlainReadWrite_99Questions(benchmark::State& st) {
  Connection c;
  c.open(schema::bankPath(editorBank()).string(), schema::kBankKey);
  for (auto _ : st) {
    for (int i = 1; i <= 99; ++i) {
      char n[8];
      std::snprintf(n, sizeof n, "012%02d", i);
      Recordset rs;
      rs.open(std::string("SCtbl where numQ='") + n + "'", c, adOpenKeyset, adLockOptimistic, adCmdTable);
      rs.setValue("question", rs.value("question"));
      rs.setValue("questionHeight", 0.0);
      rs.update();
      rs.close();
    }
  }
}

void BM_RCSwitch_20KBPassage(benchmark::State& st) {
  Session<kinds::FormRCEdit> s(editorBank());
  int i = 0;
  for (auto _ : st) s.editor->lstQuestion.setListIndex(++i % 2);
}

void BM_PSGo_99Questions(benchmark::State& st) {
  Session<kinds::FormPSEdit> s(editorBank());
  for (auto _ : st) s.editor->cmdGo->Press();
}

void BM_AddPoolMode_100k(benchmark::State& st) {
  Session<> s(bench_support::largeBank());
  for (auto _ : st) {
    s.editor->cmbEdit.setListIndex(1);  // "Add Pool": the free-number search
    s.editor->cmbEdit.setListIndex(0);
  }
}

void BM_UsedPrefixes_SingleScan_100k(benchmark::State& st) {
  auto db = openOurFile(schema::bankPath(bench_support::largeBank()).string(), schema::kBankKey, true, ErrorStyle::Ado);
  for (auto _ : st) benchmark::DoNotOptimize(bench_support::usedPoolNumbers(*db).size());
}

BENCHMARK(BM_SwitchQuestion_Typical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead_Typical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchQuestion_20KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead_20KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Go_99Questions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadWrite_99Questions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RCSwitch_20KBPassage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSGo_99Questions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddPoolMode_100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UsedPrefixes_SingleScan_100k)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  return bench_support::runWithRatios(argc, argv,
                                      {{"BM_SwitchQuestion_Typical", "BM_PlainRead_Typical"},
                                       {"BM_SwitchQuestion_20KB", "BM_PlainRead_20KB"},
                                       {"BM_Go_99Questions", "BM_PlainReadWrite_99Questions"},
                                       {"BM_RCSwitch_20KBPassage", "BM_SwitchQuestion_20KB"},
                                       {"BM_PSGo_99Questions", "BM_Go_99Questions"},
                                       {"BM_AddPoolMode_100k", "BM_UsedPrefixes_SingleScan_100k"}});
}
