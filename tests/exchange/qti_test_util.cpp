#include "qti_test_util.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdio>
#include <fstream>

#include "commands.h"
#include "question_record.h"
#include "recordset.h"
#include "rtf/rtf_format.h"
#include "rtf/rtf_reader.h"
#include "schema.h"
#include "statements.h"
#include "temp_dir.h"
#include "tool_run.h"
#include "zip_package.h"

namespace qti_test {

namespace schema = bank::schema;
using schema::Kind;

void makeEmptyBank(const fs::path& dir) {
  fs::create_directories(dir);
  schema::createBank(dir);
}

void makeDemoBank(const fs::path& dir) {
  // Made once per run and copied: filling it takes a while under the sanitizers.
  static const testing_support::TempDir made;
  static const bool filled = [] {
    makeEmptyBank(made / "demo");
    bank_tool::writeDemoContent(made / "demo");
    return true;
  }();
  (void)filled;
  fs::create_directories(dir);
  fs::copy(made / "demo", dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

void openBank(store::Connection& conn, const fs::path& dir) { conn.open(schema::bankPath(dir).string(), schema::kBankKey); }

std::vector<fs::path> unpack(const fs::path& zip, const fs::path& dir) {
  exchange::qti::ZipReader reader(zip);
  std::vector<fs::path> out;
  for (const std::string& name : reader.names()) {
    const fs::path p = dir / name;
    fs::create_directories(p.parent_path());
    const QByteArray data = reader.read(name);
    std::ofstream(p, std::ios::binary).write(data.constData(), data.size());
    out.push_back(p);
  }
  return out;
}

std::string schemaProblems(const std::string& schemaFile, const std::vector<fs::path>& files) {
  std::string cmd = "xmllint --nonet --noout --schema " +
                    testing_support::quoteArg((fs::weakly_canonical(ZORBEX_QTI_SCHEMAS) / schemaFile).string());
  for (const fs::path& f : files) cmd += " " + testing_support::quoteArg(f.string());
  cmd += " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out, problems;
  char line[4096];
  while (fgets(line, sizeof line, p)) {
    const std::string l = line;
    if (l.find(" validates") == std::string::npos) problems += l;
  }
  const int status = pclose(p);
  if (status != 0 && problems.empty()) problems = "xmllint failed";
  return problems;
}

std::vector<std::pair<std::string, std::vector<std::string>>> poolsOf(store::Connection& conn, Kind kind) {
  const char* table = schema::kindEntry(kind).table;
  const std::string poolField = schema::fieldFor(kind, schema::Holds::Pool);
  std::map<std::string, std::vector<std::string>> pools;
  store::Recordset rs;
  rs.open(store::statements::everyRowOf(table), conn, store::adOpenForwardOnly, store::adLockReadOnly);
  for (; !rs.eof(); rs.moveNext()) pools[rs.value(poolField).toString()].push_back(rs.value("numQ").toString());
  rs.close();
  std::vector<std::pair<std::string, std::vector<std::string>>> out(pools.begin(), pools.end());
  for (auto& [pool, numbers] : out) std::sort(numbers.begin(), numbers.end());
  return out;
}

namespace {

// A run of characters that look the same, as the comparison sees it.
struct Run {
  QString text;
  QString font;
  double size;
  bool bold, italic, underline;
  int vertical;
  bool operator==(const Run&) const = default;
};

std::vector<Run> runsOf(const std::string& rtf) {
  QTextDocument doc;
  ui::rtf::readRtf(QByteArray::fromStdString(rtf), doc);
  std::vector<Run> runs;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    if (b != doc.begin()) runs.push_back({"\n", {}, 0, false, false, false, 0});
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat f = it.fragment().charFormat();
      const int offset = f.intProperty(ui::rtf::kOffset);
      const int vertical = offset > 0 ? 1 : offset < 0 ? 2
                           : f.verticalAlignment() == QTextCharFormat::AlignSuperScript ? 1
                           : f.verticalAlignment() == QTextCharFormat::AlignSubScript   ? 2 : 0;
      Run r{it.fragment().text(), ui::rtf::fontName(f), f.fontPointSize(), f.fontWeight() > QFont::Medium,
            f.fontItalic(), ui::rtf::isUnderlined(f), vertical};
      if (!runs.empty()) {
        Run& last = runs.back();
        Run probe = r;
        probe.text = last.text;
        if (probe == last) {
          last.text += r.text;
          continue;
        }
      }
      runs.push_back(r);
    }
  }
  return runs;
}

std::string describe(const std::vector<Run>& runs) {
  std::string out;
  for (const Run& r : runs)
    out += "[" + r.text.toStdString() + "|" + r.font.toStdString() + " " + std::to_string(r.size) + (r.bold ? " b" : "") +
           (r.italic ? " i" : "") + (r.underline ? " u" : "") + (r.vertical ? " v" + std::to_string(r.vertical) : "") + "]";
  return out;
}

}  // namespace

std::string differences(store::Connection& a, store::Connection& b, Kind kind, const std::string& numQ) {
  const auto& def = bank::wholeRecordFields(kind);
  const auto ra = bank::readRecord(a, def, numQ);
  const auto rb = bank::readRecord(b, def, numQ);
  if (!ra || !rb) return numQ + ": " + (ra ? "missing after the round trip" : "missing before") + "\n";
  std::string out;
  for (const bank::FieldDef& f : def.fields) {
    const store::Value& va = ra->at(f.name);
    const store::Value& vb = rb->at(f.name);
    if (f.type == schema::FieldType::Rtf && !va.isNull() && !vb.isNull()) {
      const auto runsA = runsOf(va.toString()), runsB = runsOf(vb.toString());
      if (runsA != runsB) out += numQ + " " + f.name + ": " + describe(runsA) + " became " + describe(runsB) + "\n";
    } else if (!(va == vb)) {
      out += numQ + " " + f.name + ": '" + va.toString() + "'" + (va.isNull() ? " (Null)" : "") + " became '" +
             vb.toString() + "'" + (vb.isNull() ? " (Null)" : "") + "\n";
    }
  }
  return out;
}

void roundTrip(store::Connection& from, store::Connection& to, const fs::path& scratch, exchange::qti::Version v) {
  namespace qti = exchange::qti;
  for (Kind kind : schema::kAllKinds) {
    for (const auto& [pool, numbers] : poolsOf(from, kind)) {
      const fs::path zip = scratch / "pool.zip";
      qti::ExportOptions options;
      options.kinds = {kind};
      options.pool = pool;
      options.version = v;
      const qti::ExportSummary s = qti::exportPackage(from, zip, options);
      ASSERT_EQ(s.items, static_cast<long>(numbers.size())) << pool;
      qti::ImportOptions in;
      in.kind = kind;
      in.pool = pool;
      const qti::ImportResult r = qti::importPackage(to, zip, in);
      ASSERT_EQ(r.numbers, numbers) << schema::kindEntry(kind).name << " " << pool;
      for (const std::string& n : numbers) EXPECT_EQ(differences(from, to, kind, n), "");
    }
  }
}

QByteArray itemWithBody(const std::string& declarations, const std::string& body) {
  return QByteArray::fromStdString(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<assessmentItem xmlns=\"http://www.imsglobal.org/xsd/imsqti_v2p1\" identifier=\"q1\" title=\"q\" "
      "adaptive=\"false\" timeDependent=\"false\">\n" +
      declarations + "\n<itemBody>\n" + body + "\n</itemBody>\n</assessmentItem>\n");
}

void writeZip(const fs::path& zip, const std::vector<std::pair<std::string, QByteArray>>& files) {
  int err = 0;
  zip_t* z = zip_open(zip.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(z, nullptr);
  std::vector<QByteArray> keep;
  keep.reserve(files.size());
  for (const auto& [name, data] : files) {
    keep.push_back(data);
    zip_source_t* src = zip_source_buffer(z, keep.back().constData(), static_cast<zip_uint64_t>(keep.back().size()), 0);
    ASSERT_GE(zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_UTF_8), 0) << name;
  }
  ASSERT_EQ(zip_close(z), 0);
}

QByteArray onePixelPng() {
  QImage image(1, 1, QImage::Format_RGB32);
  image.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

}  // namespace qti_test
