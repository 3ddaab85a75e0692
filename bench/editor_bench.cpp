// The editors as a user meets them, offscreen: switching questions, "GO" over a full pool,
// and choosing "Add Pool" on a large bank, each beside the plain read of the same records;
// the switches also beside one RTF read and write of the stems they show; the RC switch
// with a 20 KB passage and the PS "GO" beside the same work in the SC editor.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTextDocument>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bench_main.h"
#include "synthetic_bank.h"
#include "connections.h"
#include "controls/form.h"
#include "controls/scripted_dialogs.h"
#include "recordset.h"
#include "ps/form_ps_edit.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"
#include "rc/form_rc_edit.h"
#include "sc/form_sc_edit.h"
#include "schema.h"
#include "session.h"

using namespace store;
using namespace bank;
namespace fs = std::filesystem;

namespace {

using bench_support::Holds;
using bench_support::Kind;
using bench_support::Row;
using bench_support::SizeOf;
using bench_support::stemOf;

// Pool X012 with 99 typical questions; pool X013 with one 20 KB stem.
const fs::path& editorBank() {
  static fs::path dir = [] {
    fs::path d = bench_support::freshBank("zorbex-bench-editor");
    Connection c;
    c.open(schema::bankPath(d).string(), schema::kBankKey);
    auto add = [&](const std::string& numQ, const std::string& pool, const std::string& stem) {
      Row row{{"numQ", numQ}, {Holds::Pool, pool}, {Holds::Stem, stem}, {Holds::Answer, std::string("C")},
              {SizeOf::QuestionHeight, 2.0}};
      for (size_t i = 0; i < 5; ++i) row[schema::choiceAt(i)] = std::string("a choice");
      bench_support::addThroughRecordset(c, Kind::SC, row);
    };
    for (int i = 1; i <= 99; ++i) add(bench_support::questionNumber(12, i), "X012", stemOf(2000));
    add("01301", "X013", stemOf(20000));
    add("01302", "X013", stemOf(20000));
    // RC: two questions on a 20 KB passage, typical stems. PS: 99 typical questions
    // whose choices are short rich texts.
    for (const char* n : {"03001", "03002"})
      bench_support::addThroughRecordset(
          c, Kind::RC,
          {{"numQ", std::string(n)}, {Holds::Pool, std::string("X030")}, {Holds::Stem, stemOf(2000)},
           {Holds::Passage, stemOf(20000)}, {Holds::PassageNumber, std::string("301")},
           {Holds::PassageCount, std::string("00002")}, {Holds::ChoiceA, std::string("a choice")},
           {Holds::ChoiceE, std::string("a choice")}, {Holds::Answer, std::string("C")},
           {SizeOf::QuestionHeight, 2.0}});
    const std::string choice = "{\\rtf1\\ansi{\\fonttbl{\\f0 CBT;}}\\pard\\f0 2\\super 3\\nosupersub  ~n\\par}";
    for (int i = 1; i <= 99; ++i) {
      Row row{{"numQ", bench_support::questionNumber(50, i)}, {Holds::Pool, std::string("X050")},
              {Holds::Stem, stemOf(2000)}, {Holds::Answer, std::string("C")}, {SizeOf::QuestionHeight, 2.0}};
      for (size_t k = 0; k < 5; ++k) row[schema::choiceAt(k)] = choice;
      bench_support::addThroughRecordset(c, Kind::PS, row);
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
  rs.open(std::string("select * from ") + bench_support::tableOf(Kind::SC) + " where numQ='" + numQ + "';", c,
          adOpenDynamic, adLockReadOnly);
  benchmark::DoNotOptimize(rs.value(bench_support::fieldName(Kind::SC, Holds::Stem)).toString().size());
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

// One RTF read and write of each of the two stems a switch alternates between: what a switch
// cannot do without (the box reads the stem; leaving compares what it shows).
void rtfRoundTrip(benchmark::State& st, const char* first, const char* second) {
  Connection c;
  c.open(schema::bankPath(editorBank()).string(), schema::kBankKey);
  std::vector<QByteArray> stems;
  for (const char* n : {first, second}) {
    Recordset rs;
    rs.open(std::string("select * from ") + bench_support::tableOf(Kind::SC) + " where numQ='" + n + "';", c,
            adOpenDynamic, adLockReadOnly);
    stems.push_back(QByteArray::fromStdString(rs.value(bench_support::fieldName(Kind::SC, Holds::Stem)).toString()));
    rs.close();
  }
  int i = 0;
  for (auto _ : st) {
    QTextDocument doc;
    ui::rtf::readRtf(stems[static_cast<size_t>(++i % 2)], doc);
    benchmark::DoNotOptimize(ui::rtf::writeRtf(doc).size());
  }
}

void BM_RtfReadWrite_Typical(benchmark::State& st) { rtfRoundTrip(st, "01201", "01202"); }
void BM_RtfReadWrite_20KB(benchmark::State& st) { rtfRoundTrip(st, "01301", "01302"); }

void BM_Go_99Questions(benchmark::State& st) {
  Session<> s(editorBank());
  for (auto _ : st) s.editor->cmdGo->Press();
}

void BM_PlainReadWrite_99Questions(benchmark::State& st) {
  Connection c;
  c.open(schema::bankPath(editorBank()).string(), schema::kBankKey);
  const std::string stem = bench_support::fieldName(Kind::SC, Holds::Stem);
  const std::string height = bench_support::fieldName(Kind::SC, SizeOf::QuestionHeight);
  for (auto _ : st) {
    for (int i = 1; i <= 99; ++i) {
      char n[8];
      std::snprintf(n, sizeof n, "012%02d", i);
      Recordset rs;
      rs.open(std::string(bench_support::tableOf(Kind::SC)) + " where numQ='" + n + "'", c, adOpenKeyset,
              adLockOptimistic, adCmdTable);
      rs.setValue(stem, rs.value(stem));
      rs.setValue(height, 0.0);
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
  auto db = bench_support::openBankFile(schema::bankPath(bench_support::largeBank()), true);
  for (auto _ : st) benchmark::DoNotOptimize(bench_support::usedPoolNumbers(*db).size());
}

BENCHMARK(BM_SwitchQuestion_Typical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead_Typical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchQuestion_20KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead_20KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RtfReadWrite_Typical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RtfReadWrite_20KB)->Unit(benchmark::kMillisecond);
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
                                       {"BM_SwitchQuestion_Typical", "BM_RtfReadWrite_Typical"},
                                       {"BM_SwitchQuestion_20KB", "BM_RtfReadWrite_20KB"},
                                       {"BM_Go_99Questions", "BM_PlainReadWrite_99Questions"},
                                       {"BM_RCSwitch_20KBPassage", "BM_SwitchQuestion_20KB"},
                                       {"BM_PSGo_99Questions", "BM_Go_99Questions"},
                                       {"BM_AddPoolMode_100k", "BM_UsedPrefixes_SingleScan_100k"}});
}
