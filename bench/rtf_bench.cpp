// Reading and writing RTF: the shared corpus, a 20 KB passage and a 2 KB question, each
// beside a plain copy of the same bytes measured in the same run.
#include <benchmark/benchmark.h>

#include <QTextCursor>
#include <QTextDocument>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"

namespace fs = std::filesystem;

namespace {

bool isRtf(const fs::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".rtf";
}

std::vector<QByteArray> loadCorpus() {
  std::vector<QByteArray> files;
  for (const fs::path& dir : {fs::path(ZORBEX_CORPUS_DIR) / "rtf", fs::path(ZORBEX_FIXTURES_DIR) / "rtf"}) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) continue;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      if (!e.is_regular_file() || !isRtf(e.path())) continue;
      std::ifstream in(e.path(), std::ios::binary);
      std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      files.emplace_back(s.data(), static_cast<qsizetype>(s.size()));
    }
    if (!files.empty()) break;  // the corpus when there is one, else our fixtures
  }
  return files;
}

const std::vector<QByteArray>& corpus() {
  static const std::vector<QByteArray> files = loadCorpus();
  return files;
}

int64_t totalBytes(const std::vector<QByteArray>& files) {
  int64_t n = 0;
  for (const QByteArray& f : files) n += f.size();
  return n;
}

// A question or passage as the editor saves it: paragraphs of Verdana 11.5 with some
// bold, italic and underlined words, a CBTLINE run and a little Japanese.
QByteArray questionOfSize(int bytes) {
  QTextDocument doc;
  QTextCursor c(&doc);
  QTextCharFormat plain;
  plain.setFontFamilies(QStringList{"Verdana"});
  plain.setFontPointSize(11.5);
  QTextCharFormat bold = plain;
  bold.setFontWeight(QFont::Bold);
  QTextCharFormat line = plain;
  line.setFontFamilies(QStringList{"CBTLINE"});
  QByteArray rtf;
  for (int i = 0; rtf.size() < bytes; ++i) {
    if (i > 0 && i % 6 == 0) c.insertBlock();
    c.insertText("The committee's report, which was released on Tuesday, ", plain);
    c.insertText("argues", bold);
    c.insertText(" that the proposed plan ", plain);
    c.insertText("would reduce", line);
    c.insertText(QString::fromUtf8(" costs (費用) by a third. "), plain);
    if (i % 4 == 3) rtf = ui::rtf::writeRtf(doc);
  }
  return ui::rtf::writeRtf(doc);
}

void copyAll(benchmark::State& state, const std::vector<QByteArray>& files) {
  for (auto _ : state) {
    for (const QByteArray& f : files) {
      QByteArray copy(f.size(), Qt::Uninitialized);
      std::memcpy(copy.data(), f.constData(), static_cast<size_t>(f.size()));
      benchmark::DoNotOptimize(copy.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * totalBytes(files));
}

void readAll(benchmark::State& state, const std::vector<QByteArray>& files) {
  for (auto _ : state) {
    for (const QByteArray& f : files) {
      QTextDocument doc;
      ui::rtf::readRtf(f, doc);
      benchmark::DoNotOptimize(doc.characterCount());
    }
  }
  state.SetBytesProcessed(state.iterations() * totalBytes(files));
  state.counters["ms_per_file"] = benchmark::Counter(
      static_cast<double>(files.size()) * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void writeAll(benchmark::State& state, const std::vector<QByteArray>& files) {
  std::vector<std::unique_ptr<QTextDocument>> docs;
  for (const QByteArray& f : files) {
    docs.push_back(std::make_unique<QTextDocument>());
    ui::rtf::readRtf(f, *docs.back());
  }
  for (auto _ : state)
    for (const auto& doc : docs) benchmark::DoNotOptimize(ui::rtf::writeRtf(*doc).size());
  state.SetBytesProcessed(state.iterations() * totalBytes(files));
  state.counters["ms_per_file"] = benchmark::Counter(
      static_cast<double>(files.size()) * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void readWriteAll(benchmark::State& state, const std::vector<QByteArray>& files) {
  for (auto _ : state) {
    for (const QByteArray& f : files) {
      QTextDocument doc;
      ui::rtf::readRtf(f, doc);
      benchmark::DoNotOptimize(ui::rtf::writeRtf(doc).size());
    }
  }
  state.SetBytesProcessed(state.iterations() * totalBytes(files));
  state.counters["ms_per_file"] = benchmark::Counter(
      static_cast<double>(files.size()) * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_CorpusCopy(benchmark::State& s) { copyAll(s, corpus()); }
void BM_CorpusRead(benchmark::State& s) { readAll(s, corpus()); }
void BM_CorpusWrite(benchmark::State& s) { writeAll(s, corpus()); }
void BM_CorpusReadWrite(benchmark::State& s) { readWriteAll(s, corpus()); }

const std::vector<QByteArray>& passage() {
  static const std::vector<QByteArray> p{questionOfSize(20 * 1024)};
  return p;
}
const std::vector<QByteArray>& question() {
  static const std::vector<QByteArray> q{questionOfSize(2 * 1024)};
  return q;
}

void BM_Passage20KCopy(benchmark::State& s) { copyAll(s, passage()); }
void BM_Passage20KReadWrite(benchmark::State& s) { readWriteAll(s, passage()); }
void BM_Question2KCopy(benchmark::State& s) { copyAll(s, question()); }
void BM_Question2KReadWrite(benchmark::State& s) { readWriteAll(s, question()); }

}  // namespace

BENCHMARK(BM_CorpusCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorpusRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorpusWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorpusReadWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Passage20KCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Passage20KReadWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Question2KCopy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Question2KReadWrite)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
