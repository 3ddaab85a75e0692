// QTI export: every file of a package valid against the published schemas (both versions, the
// demo bank and a bank whose stems are the RTF corpus), and the shape of what each kind becomes.
#include <gtest/gtest.h>

#include <QFile>

#include <fstream>

#include "corpus.h"
#include "qti_test_util.h"
#include "recordset.h"
#include "schema.h"
#include "temp_dir.h"
#include "zip_package.h"

namespace {

namespace fs = std::filesystem;
namespace qti = exchange::qti;
using bank::schema::Kind;
using testing_support::TempDir;
using namespace qti_test;

std::string fileText(const fs::path& p) {
  QFile f(QString::fromStdString(p.string()));
  f.open(QIODevice::ReadOnly);
  return f.readAll().toStdString();
}

// The package's files for xmllint: the manifest apart from the QTI files, pictures left out.
struct Unpacked {
  fs::path manifest;
  std::vector<fs::path> qti;
  std::vector<fs::path> pictures;
};

Unpacked unpackFor(const fs::path& zip, const fs::path& dir) {
  Unpacked u;
  for (const fs::path& p : unpack(zip, dir)) {
    if (p.filename() == "imsmanifest.xml")
      u.manifest = p;
    else if (p.extension() == ".xml")
      u.qti.push_back(p);
    else
      u.pictures.push_back(p);
  }
  return u;
}

const char* qtiSchema(qti::Version v) {
  return v == qti::Version::V2p1 ? "qtiv2p1/imsqti_v2p1.xsd" : "qtiv2p2/imsqti_v2p2.xsd";
}

void expectValid(const fs::path& zip, const fs::path& dir, qti::Version v) {
  const Unpacked u = unpackFor(zip, dir);
  ASSERT_FALSE(u.manifest.empty());
  EXPECT_EQ(schemaProblems("imscp_v1p1.xsd", {u.manifest}), "");
  EXPECT_EQ(schemaProblems(qtiSchema(v), u.qti), "");
}

class QtiExport : public testing::TestWithParam<qti::Version> {};

TEST_P(QtiExport, EveryFileOfTheDemoBankValidates) {
  TempDir dir;
  makeDemoBank(dir / "bank");
  store::Connection conn;
  openBank(conn, dir / "bank");
  qti::ExportOptions options;
  options.version = GetParam();
  const qti::ExportSummary s = qti::exportPackage(conn, dir / "out.zip", options);
  EXPECT_EQ(s.items, 135);
  EXPECT_EQ(s.stimuli, GetParam() == qti::Version::V2p2 ? 2 : 0);
  expectValid(dir / "out.zip", dir / "x", GetParam());
}

// A bank with one SC and one PS question per corpus file, the file's RTF as the stem (and as
// a PS choice: rich text there too); made once for both versions. Its question count.
long makeCorpusBank(const fs::path& dir, const fs::path& corpus) {
  makeEmptyBank(dir);
  store::Connection conn;
  openBank(conn, dir);
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(corpus))
    if (e.is_regular_file() && e.path().extension() == ".rtf") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  long i = 0;
  store::Transaction tx(conn);
  for (const char* table : {"SCtbl", "PStbl"}) {
    store::Recordset rs;
    rs.open(table, conn, store::adOpenKeyset, store::adLockOptimistic, store::adCmdTable);
    i = 0;
    for (const fs::path& f : files) {
      const std::string rtf = fileText(f);
      char number[48];
      std::snprintf(number, sizeof number, "%03ld%02ld", 100 + i / 90, i % 90 + 1);
      rs.addNew();
      rs.setValue("numQ", number);
      rs.setValue("src", "X" + std::string(number).substr(0, 3));
      rs.setValue("question", rtf);
      rs.setValue("choiceB", std::string(table) == "PStbl" ? rtf : "two");
      rs.setValue("answer", "B");
      rs.update();
      ++i;
    }
    rs.close();
  }
  tx.commit();
  return 2 * i;
}

TEST_P(QtiExport, EveryFileOfABankOfCorpusStemsValidates) {
  const fs::path corpus = fs::path(ZORBEX_CORPUS_DIR) / "rtf";
  SKIP_WITHOUT_CORPUS(corpus);
  static const TempDir made;
  static const long questions = makeCorpusBank(made / "bank", corpus);
  ASSERT_GT(questions, 0);
  TempDir dir;
  store::Connection conn;
  openBank(conn, made / "bank");
  qti::ExportOptions options;
  options.version = GetParam();
  const qti::ExportSummary s = qti::exportPackage(conn, dir / "out.zip", options);
  EXPECT_EQ(s.items, questions);
  EXPECT_GT(s.pictures, 0);  // the corpus has PNG and JPEG pictures, and metafiles
  expectValid(dir / "out.zip", dir / "x", GetParam());
}

TEST(QtiRoundTrip, ABankOfCorpusStemsComesBackAsTextAndFormattingRuns) {
  const fs::path corpus = fs::path(ZORBEX_CORPUS_DIR) / "rtf";
  SKIP_WITHOUT_CORPUS(corpus);
  TempDir dir;
  makeCorpusBank(dir / "from", corpus);
  makeEmptyBank(dir / "to");
  store::Connection from, to;
  openBank(from, dir / "from");
  openBank(to, dir / "to");
  roundTrip(from, to, dir.path(), qti::Version::V2p1);
}

INSTANTIATE_TEST_SUITE_P(Versions, QtiExport, testing::Values(qti::Version::V2p1, qti::Version::V2p2),
                         [](const auto& info) { return info.param == qti::Version::V2p1 ? "Qti21" : "Qti22"; });

class QtiExportShape : public testing::Test {
 protected:
  void SetUp() override {
    makeDemoBank(dir / "bank");
    openBank(conn, dir / "bank");
  }
  // The package of the options, unpacked; the text of one of its files.
  std::string exported(qti::ExportOptions options, const std::string& file) {
    qti::exportPackage(conn, dir / "out.zip", options);
    return qti::ZipReader(dir / "out.zip").read(file).toStdString();
  }
  TempDir dir;
  store::Connection conn;
};

TEST_F(QtiExportShape, ADataSufficiencyItemHasItsLabelledStatementsAndTheFiveFixedAnswers) {
  qti::ExportOptions o;
  o.kinds = {Kind::DS};
  o.pool = "X040";
  const std::string item = exported(o, "items/DS-04001.xml");
  EXPECT_NE(item.find("<p class=\"zx-label\">(1)</p>"), std::string::npos);
  EXPECT_NE(item.find("<p class=\"zx-label\">(2)</p>"), std::string::npos);
  EXPECT_NE(item.find("<simpleChoice identifier=\"E\">Statement (1) and (2) TOGETHER are NOT sufficient.</simpleChoice>"),
            std::string::npos);
  EXPECT_NE(item.find("shuffle=\"false\" maxChoices=\"1\""), std::string::npos);
  EXPECT_NE(item.find("<correctResponse><value>"), std::string::npos);
  EXPECT_NE(item.find("rptemplates/match_correct"), std::string::npos);
  EXPECT_NE(item.find("<i>x</i>"), std::string::npos);  // the stem's italic
}

TEST_F(QtiExportShape, WithoutTheKeyNoAnswerLeavesTheBank) {
  qti::ExportOptions o;
  o.kinds = {Kind::SC};
  o.pool = "X012";
  o.withKey = false;
  const std::string item = exported(o, "items/SC-01201.xml");
  EXPECT_EQ(item.find("correctResponse"), std::string::npos);
  EXPECT_EQ(item.find("responseProcessing"), std::string::npos);
  const std::string manifest = qti::ZipReader(dir / "out.zip").read("imsmanifest.xml").toStdString();
  EXPECT_EQ(manifest.find("name=\"answer\""), std::string::npos);
}

TEST_F(QtiExportShape, InQti22APassageIsOneStimulusThatEachOfItsQuestionsRefersTo) {
  qti::ExportOptions o;
  o.kinds = {Kind::RC};
  o.pool = "X030";
  o.version = qti::Version::V2p2;
  const std::string manifest = exported(o, "imsmanifest.xml");
  size_t stimuli = 0;
  for (size_t at = 0; (at = manifest.find("type=\"imsqti_stimulus_xmlv2p2\"", at)) != std::string::npos; ++at) ++stimuli;
  EXPECT_EQ(stimuli, 1u);
  const std::string item = qti::ZipReader(dir / "out.zip").read("items/RC-03001.xml").toStdString();
  EXPECT_NE(item.find("<assessmentStimulusRef identifier=\"passage-"), std::string::npos);
  EXPECT_EQ(item.find("zx-passage"), std::string::npos);
}

TEST_F(QtiExportShape, TheTestHasASectionPerPoolWithItsQuestionsInNumberOrder) {
  qti::ExportOptions o;
  o.kinds = {Kind::SC};
  o.numberPrefix = "012";
  const std::string test = exported(o, "test.xml");
  const size_t first = test.find("SC-01201"), second = test.find("SC-01202"), fifth = test.find("SC-01205");
  EXPECT_LT(first, second);
  EXPECT_LT(second, fifth);
  EXPECT_EQ(test.find("SC-013"), std::string::npos);
  size_t sections = 0;
  for (size_t at = 0; (at = test.find("<assessmentSection ", at)) != std::string::npos; ++at) ++sections;
  EXPECT_EQ(sections, 1u);
}

TEST_F(QtiExportShape, AFailedExportLeavesTheFileItReplacesAsItWas) {
  {
    std::ofstream(dir / "old.zip") << "old";
  }
  qti::ExportOptions o;
  fs::create_directories(dir / "old.zip.partial");  // the package cannot be written there
  fs::create_directories(dir / "old.zip.partial" / "x");
  EXPECT_THROW(qti::exportPackage(conn, dir / "old.zip", o), qti::PackageError);
  EXPECT_EQ(fileText(dir / "old.zip"), "old");
}

}  // namespace
