// Printing: 1,000 questions to PDF beside converting their rich text into documents once, in
// the same run; and the resident size after printing 1,000 and then 10,000 questions, which
// stays flat because each question is laid out, drawn and dropped in turn.
#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>
#include <fstream>
#include <unistd.h>

#include "bench_main.h"
#include "print_job.h"
#include "question_record.h"
#include "rtf/rtf_reader.h"
#include "synthetic_bank.h"

namespace {

namespace print = exchange::print;
using bench_support::Holds;
using bench_support::Kind;

constexpr int kQuestions = 10000;

double residentMb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// 10,000 SC questions in 100 pools, each with a typical stem of about 600 bytes and five choices.
const std::filesystem::path& printBank() {
  static const std::filesystem::path folder = [] {
    const auto dir = bench_support::freshBank("zorbex-bench-print");
    auto db = bench_support::openBankFile(bank::schema::bankPath(dir), false);
    db->exec("BEGIN");
    bench_support::RowWriter w(*db);
    for (int i = 0; i < kQuestions; ++i) {
      const int pool = 100 + i / 100;
      w.add(Kind::SC, {{"numQ", store::Value(bench_support::questionNumber(pool, i % 100))},
                       {Holds::Pool, store::Value(bench_support::poolName(pool))},
                       {Holds::Stem, store::Value(bench_support::stemOf(600, "Question " + std::to_string(i) + ". "))},
                       {Holds::ChoiceA, store::Value("was released")},
                       {Holds::ChoiceB, store::Value("were released")},
                       {Holds::ChoiceC, store::Value("had been released")},
                       {Holds::ChoiceD, store::Value("releasing")},
                       {Holds::ChoiceE, store::Value("being released")},
                       {Holds::Answer, store::Value("B")}});
    }
    db->exec("COMMIT");
    return dir;
  }();
  return folder;
}

struct Opened {
  store::Connection conn;
  std::vector<print::QuestionRef> all;
  Opened() {
    conn.open(bank::schema::bankPath(printBank()).string(), bank::schema::kBankKey);
    all = print::selectedQuestions(conn, {.kinds = {Kind::SC}});
  }
  std::vector<print::QuestionRef> first(size_t n) const { return {all.begin(), all.begin() + static_cast<long>(n)}; }
};

Opened& opened() {
  static Opened o;
  return o;
}

const QString kPdf = QStringLiteral("/tmp/zorbex-bench-print.pdf");

void BM_Print1000ToPdf(benchmark::State& state) {
  const auto questions = opened().first(1000);
  for (auto _ : state)
    print::writePdf(opened().conn, questions, {.withKey = true, .bankName = "bench", .selection = "SC"},
                    print::PageSize::A4, kPdf);
}

// The baseline: each of the same questions read from the bank and its stem converted into a
// document once, as the rich-text box does.
void BM_Convert1000Stems(benchmark::State& state) {
  const auto questions = opened().first(1000);
  for (auto _ : state) {
    QTextDocument doc;
    for (const auto& q : questions) {
      const auto record = bank::readRecord(opened().conn, bank::wholeRecordFields(q.kind), q.numQ);
      const std::string rtf = record->at("question").toString();
      ui::rtf::readRtf(QByteArray(rtf.data(), static_cast<qsizetype>(rtf.size())), doc);
      benchmark::DoNotOptimize(doc.characterCount());
    }
  }
}

// A second baseline, to show where the time goes: the same stems converted and laid out once at
// the page's width, as a printout must before it draws anything.
void BM_Convert1000StemsAndLayOut(benchmark::State& state) {
  const auto questions = opened().first(1000);
  QPdfWriter writer(QStringLiteral("/tmp/zorbex-bench-print-layout.pdf"));
  writer.setResolution(600);
  print::setPage(writer, print::PageSize::A4);
  for (auto _ : state) {
    for (const auto& q : questions) {
      const auto record = bank::readRecord(opened().conn, bank::wholeRecordFields(q.kind), q.numQ);
      const std::string rtf = record->at("question").toString();
      QTextDocument doc;
      ui::rtf::readRtf(QByteArray(rtf.data(), static_cast<qsizetype>(rtf.size())), doc);
      doc.documentLayout()->setPaintDevice(&writer);
      doc.setTextWidth(writer.width());
      benchmark::DoNotOptimize(doc.size());
    }
  }
}

BENCHMARK(BM_Print1000ToPdf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Convert1000Stems)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Convert1000StemsAndLayOut)->Unit(benchmark::kMillisecond)->Iterations(3);

void memoryFigures() {
  const auto thousand = opened().first(1000);
  print::writePdf(opened().conn, thousand, {.withKey = true}, print::PageSize::A4, kPdf);
  const double after1000 = residentMb();
  print::writePdf(opened().conn, opened().all, {.withKey = true}, print::PageSize::A4, kPdf);
  const double after10000 = residentMb();
  std::printf("resident after printing  1,000 questions: %8.1f MB (baseline)\n", after1000);
  std::printf("resident after printing 10,000 questions: %8.1f MB   growth %.1f MB\n", after10000,
              after10000 - after1000);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  store::registerExtension(history::extension());
  store::registerExtension(search::index::extension());
  memoryFigures();
  return bench_support::runWithRatios(argc, argv, {{"BM_Print1000ToPdf", "BM_Convert1000Stems"}, {"BM_Print1000ToPdf", "BM_Convert1000StemsAndLayOut"}});
}
