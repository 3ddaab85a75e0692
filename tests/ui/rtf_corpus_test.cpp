// Every RTF file of the shared corpus and of our fixtures: read, write, read again.
#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "corpus.h"
#include "rtf/rtf_format.h"
#include "rtf/rtf_writer.h"
#include "rtf_test_util.h"

using namespace rtf_test;
namespace fs = std::filesystem;

namespace {

bool isRtf(const fs::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".rtf";
}

const fs::path kCorpus = fs::path(ZORBEX_CORPUS_DIR) / "rtf";
const fs::path kReference = fs::path(ZORBEX_CORPUS_DIR) / "rtf-text";

std::vector<fs::path> rtfFiles(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file() && isRtf(e.path())) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<fs::path> allFiles() {
  std::vector<fs::path> files = rtfFiles(fs::path(ZORBEX_FIXTURES_DIR) / "rtf");
  for (const fs::path& p : rtfFiles(kCorpus)) files.push_back(p);
  return files;
}

// Files whose LibreOffice text is no reference: it read them as plain text (no RTF
// header where it looks for one), or gave nothing or a fragment for malformed tables
// and list overrides.
const std::set<std::string> kNoReference = {
    "rtf-parse-js/extractedNonshppict.rtf",       // fragment without {\rtf
    "rtf-parser-rs/RTF-test.rtf",                 // "{ \rtf1": read as plain text
    "rtfpipe/RtfParserTest_fail_0.rtf",           // leading garbage: read as plain text
    "rtfpipe/RtfParserTest_fail_6.rtf",           // read as plain text
    "unrtf/tests/sl.rtf",                         // leading quote: read as plain text
    "pandoc/rtf/table_simple.rtf",                // one \cellx for four cells: "A", "E" only
    "pandoc/rtf/table_nested_malformed_itap.rtf", // empty output
    "tika/testRTFListOverride.rtf",               // list override: text lost
};

// Files where LibreOffice's text is not the text the file holds; we keep the file's.
const std::set<std::string> kLibreOfficeRewrites = {
    // List labels: LibreOffice drops the file's \pntext/\listtext or draws its own.
    "pandoc/rtf/list_legacy.rtf", "pandoc/rtf/list_multiparagraph.rtf", "rtfpipe/ListGoogle.rtf",
    "rtfpipe/phprtflite/lists.rtf", "striprtf-py/issue_63.rtf", "tika/testRTFListLibreOffice.rtf",
    "tika/testRTFListMicrosoftWord.rtf", "striprtf-r/tests/testthat/special-chars.rtf",
    // Symbol-font text: LibreOffice gives private-use code points or nothing.
    "rtfpipe/rtf2xml/symbol.rtf", "rtfpipe/rtf2xml/ted_mixed_faces.rtf", "unrtf/tests/font_styles.rtf",
    "unrtf/tests/unicode4.rtf",
    // Fields: LibreOffice recomputes results from their switches or prints equation code.
    "rtfpipe/rtf2xml/fields_simple_format_switch.rtf", "rtfpipe/phprtflite/formfields.rtf",
    "rtf2latex2e/moreEqns.rtf", "rtf2latex2e/twoEqn.rtf", "rtfpipe/Issue50-2.rtf",
    // Invalid \u surrogates: '?' there, U+FFFD here.
    "tika/testRTFInvalidUnicode.rtf",
};

TEST(RtfCorpus, RoundTripKeepsTextAndFormattingAndIsStable) {
  testing_support::corpusHas(kCorpus);  // without it the fixtures alone
  const std::vector<fs::path> files = allFiles();
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    auto first = read(readFile(file));
    const QByteArray written = ui::rtf::writeRtf(*first);
    EXPECT_TRUE(balanced(written));
    auto second = read(written);
    EXPECT_EQ(ui::rtf::boxText(*second), ui::rtf::boxText(*first));
    EXPECT_TRUE(looks(*second) == looks(*first));
    EXPECT_EQ(ui::rtf::writeRtf(*second), written);
  }
}

TEST(RtfCorpus, PlainTextAgreesWithLibreOffice) {
  SKIP_WITHOUT_CORPUS(kReference);
  SKIP_WITHOUT_CORPUS(kCorpus);
  int compared = 0, similar = 0, rewritten = 0, rewrittenSimilar = 0;
  std::string report;
  for (const fs::path& file : rtfFiles(kCorpus)) {
    const std::string rel = fs::relative(file, kCorpus).generic_string();
    fs::path ref = kReference / (rel + ".txt");
    if (!fs::exists(ref)) ref = kReference / (fs::path(rel).replace_extension(".rtf").generic_string() + ".txt");
    if (!fs::exists(ref) || kNoReference.count(rel)) continue;
    QString expected = collapsed(QString::fromUtf8(readFile(ref)).remove(QChar(0xFEFF)));
    QString actual = collapsed(ui::rtf::boxText(*read(readFile(file))).remove(QChar::ObjectReplacementCharacter));
    const bool close = similarAtLeast(actual, expected, 0.98);
    if (kLibreOfficeRewrites.count(rel)) {
      ++rewritten;
      rewrittenSimilar += close;
      continue;
    }
    ++compared;
    if (close)
      ++similar;
    else
      report += "  " + rel + "\n";
  }
  std::printf("plain text similar (>= 0.98) for %d of %d files, and for %d of the %d files that LibreOffice "
              "rewrites; below:\n%s",
              similar, compared, rewrittenSimilar, rewritten, report.c_str());
  EXPECT_GE(similar, compared * 95 / 100 + (compared * 95 % 100 ? 1 : 0));
}

}  // namespace
