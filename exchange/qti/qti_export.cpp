#include "qti_export.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTextDocument>
#include <QXmlStreamWriter>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "question_record.h"
#include "recordset.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_xhtml.h"
#include "statements.h"
#include "zip_package.h"

namespace exchange::qti {

namespace fs = std::filesystem;
namespace schema = bank::schema;
using schema::FieldType;
using schema::Holds;
using schema::Kind;

namespace {

const QString kLetters[5] = {"A", "B", "C", "D", "E"};

QString text(const store::Value& v) { return v.isNull() ? QString() : QString::fromStdString(v.toString()); }

// An identifier that QTI and the manifest accept: letters, digits, '-', '_' and '.', after a letter.
QString identifierFor(const QString& lead, const std::string& raw) {
  QString id = lead;
  for (QChar c : QString::fromStdString(raw)) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '_' || c == '.';
    id += ok ? c : QChar('_');
  }
  return id;
}

// What a manifest resource lists for one item or stimulus.
struct Resource {
  QString identifier;
  QString href;
  std::vector<QString> files;
  QString dependency;
  QByteArray metadata;  // the zx:question element, written by its own writer
};

class PackageExporter {
 public:
  PackageExporter(store::Connection& conn, const fs::path& zipPath, const ExportOptions& options)
      : conn_(conn), zip_(zipPath), options_(options), v_(options.version) {}

  ExportSummary run(const Progress& progress) {
    struct Pool {
      Kind kind;
      std::string name;
      std::vector<std::string> numbers;
    };
    std::vector<Pool> pools;
    long total = 0;
    const std::vector<Kind> kinds =
        options_.kinds.empty() ? std::vector<Kind>(schema::kAllKinds.begin(), schema::kAllKinds.end()) : options_.kinds;
    for (Kind k : kinds) {
      for (auto& [pool, numbers] : poolsOf(k)) {
        if (!options_.pool.empty() && pool != options_.pool) continue;
        Pool p{k, pool, {}};
        for (const std::string& n : numbers)
          if (n.rfind(options_.numberPrefix, 0) == 0) p.numbers.push_back(n);
        if (p.numbers.empty()) continue;
        total += static_cast<long>(p.numbers.size());
        pools.push_back(std::move(p));
      }
    }

    startManifest();
    startTest();
    long done = 0;
    for (const Pool& p : pools) {
      test_.writeStartElement(QStringLiteral("assessmentSection"));
      test_.writeAttribute(QStringLiteral("identifier"), QStringLiteral("section-%1").arg(++summary_.sections));
      test_.writeAttribute(QStringLiteral("title"),
                           QString::fromLatin1(schema::kindEntry(p.kind).name) + ' ' + QString::fromStdString(p.name));
      test_.writeAttribute(QStringLiteral("visible"), QStringLiteral("true"));
      for (const std::string& n : p.numbers) {
        const std::optional<bank::Record> record = bank::readRecord(conn_, bank::wholeRecordFields(p.kind), n);
        if (record) writeItem(p.kind, n, *record);
        if (progress) progress(++done, total);
      }
      test_.writeEndElement();
    }
    finishTest();
    finishManifest();
    zip_.finish();
    return summary_;
  }

 private:
  // The kind's pools in order, each with its question numbers in order. An essay topic's
  // type stands where a pool would: its few rows are read at once.
  std::vector<std::pair<std::string, std::vector<std::string>>> poolsOf(Kind k) {
    const char* table = schema::kindEntry(k).table;
    const char* poolField = schema::fieldFor(k, Holds::Pool);
    std::vector<std::pair<std::string, std::vector<std::string>>> out;
    if (std::string(poolField) != "src") {
      std::map<std::string, std::vector<std::string>> byType;
      store::Recordset rs;
      rs.open(store::statements::everyRowOf(table), conn_, store::adOpenForwardOnly, store::adLockReadOnly);
      for (; !rs.eof(); rs.moveNext()) byType[rs.value(poolField).toString()].push_back(rs.value("numQ").toString());
      rs.close();
      for (auto& [type, numbers] : byType) {
        std::sort(numbers.begin(), numbers.end());
        out.emplace_back(type, std::move(numbers));
      }
      return out;
    }
    for (const std::string& pool : column(store::statements::poolsInOrder(table), poolField))
      out.emplace_back(pool, column(store::statements::questionsOfPool(table, pool), "numQ"));
    return out;
  }

  std::vector<std::string> column(const std::string& statement, const char* field) {
    store::Recordset rs;
    rs.open(statement, conn_, store::adOpenForwardOnly, store::adLockReadOnly);
    std::vector<std::string> out;
    for (; !rs.eof(); rs.moveNext()) out.push_back(rs.value(field).toString());
    rs.close();
    return out;
  }

  // ---- the manifest and the test, written as the items come

  void openStaged(QFile& file, QXmlStreamWriter& xml, const std::string& name) {
    file.setFileName(QString::fromStdString(zip_.addStaged(name).string()));
    if (!file.open(QIODevice::WriteOnly)) throw PackageError("The package could not be staged: " + file.errorString().toStdString());
    xml.setDevice(&file);
    xml.writeStartDocument();
  }

  void closeStaged(QFile& file, QXmlStreamWriter& xml) {
    xml.writeEndDocument();
    file.close();
    if (xml.hasError() || file.error() != QFileDevice::NoError)
      throw PackageError("The package could not be staged: the disk may be full.");
  }

  void startManifest() {
    openStaged(manifestFile_, manifest_, kManifestName);
    manifest_.writeDefaultNamespace(kCpNamespace);
    manifest_.writeNamespace(kOwnNamespace, QStringLiteral("zx"));
    manifest_.writeStartElement(kCpNamespace, QStringLiteral("manifest"));
    manifest_.writeAttribute(QStringLiteral("identifier"), QStringLiteral("zorbex-export"));
    manifest_.writeStartElement(kCpNamespace, QStringLiteral("metadata"));
    manifest_.writeTextElement(kCpNamespace, QStringLiteral("schema"), QStringLiteral("QTIv2.1 Package"));
    manifest_.writeTextElement(kCpNamespace, QStringLiteral("schemaversion"),
                               v_ == Version::V2p1 ? QStringLiteral("1.0.0") : QStringLiteral("2.2.0"));
    manifest_.writeEndElement();
    manifest_.writeEmptyElement(kCpNamespace, QStringLiteral("organizations"));
    manifest_.writeStartElement(kCpNamespace, QStringLiteral("resources"));
  }

  void writeResource(const Resource& r, const QString& type) {
    manifest_.writeStartElement(kCpNamespace, QStringLiteral("resource"));
    manifest_.writeAttribute(QStringLiteral("identifier"), r.identifier);
    manifest_.writeAttribute(QStringLiteral("type"), type);
    manifest_.writeAttribute(QStringLiteral("href"), r.href);
    if (!r.metadata.isEmpty()) {
      manifest_.writeStartElement(kCpNamespace, QStringLiteral("metadata"));
      manifest_.writeCharacters(QString());  // closes the start tag before the bytes that follow it
      manifest_.device()->write(r.metadata);
      manifest_.writeEndElement();
    }
    for (const QString& f : r.files) {
      manifest_.writeEmptyElement(kCpNamespace, QStringLiteral("file"));
      manifest_.writeAttribute(QStringLiteral("href"), f);
    }
    if (!r.dependency.isEmpty()) {
      manifest_.writeEmptyElement(kCpNamespace, QStringLiteral("dependency"));
      manifest_.writeAttribute(QStringLiteral("identifierref"), r.dependency);
    }
    manifest_.writeEndElement();
  }

  void finishManifest() {
    Resource test{QStringLiteral("test"), QStringLiteral("test.xml"), {QStringLiteral("test.xml")}, {}, {}};
    writeResource(test, testResourceType(v_));
    manifest_.writeEndElement();  // resources
    manifest_.writeEndElement();  // manifest
    closeStaged(manifestFile_, manifest_);
  }

  void startQti(QXmlStreamWriter& xml, const QString& element) {
    xml.writeDefaultNamespace(qtiNamespace(v_));
    xml.writeNamespace(kXsiNamespace, QStringLiteral("xsi"));
    xml.writeStartElement(qtiNamespace(v_), element);
    xml.writeAttribute(kXsiNamespace, QStringLiteral("schemaLocation"), qtiNamespace(v_) + ' ' + qtiSchemaLocation(v_));
  }

  void startTest() {
    openStaged(testFile_, test_, "test.xml");
    startQti(test_, QStringLiteral("assessmentTest"));
    test_.writeAttribute(QStringLiteral("identifier"), QStringLiteral("test"));
    test_.writeAttribute(QStringLiteral("title"), QStringLiteral("ZORBEX Editor questions"));
    test_.writeStartElement(QStringLiteral("testPart"));
    test_.writeAttribute(QStringLiteral("identifier"), QStringLiteral("part"));
    test_.writeAttribute(QStringLiteral("navigationMode"), QStringLiteral("linear"));
    test_.writeAttribute(QStringLiteral("submissionMode"), QStringLiteral("individual"));
  }

  void finishTest() {
    // A test part holds at least one section, also when nothing was chosen.
    if (summary_.sections == 0) {
      test_.writeEmptyElement(QStringLiteral("assessmentSection"));
      test_.writeAttribute(QStringLiteral("identifier"), QStringLiteral("section-0"));
      test_.writeAttribute(QStringLiteral("title"), QStringLiteral("empty"));
      test_.writeAttribute(QStringLiteral("visible"), QStringLiteral("true"));
    }
    test_.writeEndElement();  // testPart
    test_.writeEndElement();  // assessmentTest
    closeStaged(testFile_, test_);
  }

  // ---- rich text

  // Writes a field's rich text as XHTML; its pictures join the package beside the item, and
  // its fonts and sizes go to the metadata.
  void writeRich(QXmlStreamWriter& xml, const char* field, const store::Value& value, Resource& r,
                 const QString& fileStem, QXmlStreamWriter& meta, const QString& label = {}) {
    doc_.clear();
    ui::rtf::readRtf(QByteArray::fromStdString(value.isNull() ? std::string() : value.toString()), doc_);
    if (!label.isEmpty()) {
      // The label goes before the first paragraph's text, in a span of its own.
      xml.writeStartElement(QStringLiteral("p"));
      xml.writeAttribute(QStringLiteral("class"), kLabelClass);
      xml.writeCharacters(label);
      xml.writeEndElement();
    }
    ui::rtf::writeXhtml(doc_, xml, [&](const QByteArray& data, const QString& suffix) {
      const QString name = QStringLiteral("pictures/%1-%2.%3").arg(fileStem).arg(++picturesOfFile_).arg(suffix);
      zip_.add(("items/" + name).toStdString(), data);
      r.files.push_back(QStringLiteral("items/") + name);
      ++summary_.pictures;
      return name;
    });
    meta.writeStartElement(kOwnNamespace, QStringLiteral("fonts"));
    meta.writeAttribute(QStringLiteral("field"), QString::fromLatin1(field));
    for (const ui::rtf::FontRun& run : ui::rtf::fontRuns(doc_)) {
      meta.writeEmptyElement(kOwnNamespace, QStringLiteral("run"));
      meta.writeAttribute(QStringLiteral("at"), QString::number(run.at));
      meta.writeAttribute(QStringLiteral("length"), QString::number(run.length));
      meta.writeAttribute(QStringLiteral("font"), run.font);
      meta.writeAttribute(QStringLiteral("size"), QString::number(run.halfPoints));
      if (run.charset >= 0) meta.writeAttribute(QStringLiteral("charset"), QString::number(run.charset));
    }
    meta.writeEndElement();
  }

  // Writes a field that stays in the metadata: its value, or that it is Null.
  static void writeMetaField(QXmlStreamWriter& meta, const char* name, const store::Value& v) {
    meta.writeStartElement(kOwnNamespace, QStringLiteral("field"));
    meta.writeAttribute(QStringLiteral("name"), QString::fromLatin1(name));
    if (v.isNull())
      meta.writeAttribute(QStringLiteral("null"), QStringLiteral("true"));
    else if (v.isInteger())
      meta.writeAttribute(QStringLiteral("type"), QStringLiteral("integer"));
    else if (v.isDouble())
      meta.writeAttribute(QStringLiteral("type"), QStringLiteral("double"));
    if (!v.isNull()) meta.writeCharacters(QString::fromStdString(v.toString()));
    meta.writeEndElement();
  }

  // ---- items

  // The passage of a reading question as a stimulus of its own (QTI 2.2), written once for
  // every question that shares its text; returns its identifier and file.
  std::pair<QString, QString> stimulus(const store::Value& passage) {
    const QByteArray rtf = QByteArray::fromStdString(passage.isNull() ? std::string() : passage.toString());
    const QString id = QStringLiteral("passage-") +
                       QString::fromLatin1(QCryptographicHash::hash(rtf, QCryptographicHash::Sha1).toHex().left(16));
    const QString href = QStringLiteral("items/") + id + QStringLiteral(".xml");
    if (!stimuli_.insert(id).second) return {id, href};
    Resource r{id, href, {href}, {}, {}};
    QByteArray metaBytes;
    QXmlStreamWriter meta(&metaBytes);
    meta.writeNamespace(kOwnNamespace, QStringLiteral("zx"));
    meta.writeStartElement(kOwnNamespace, QStringLiteral("passage"));
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    startQti(xml, QStringLiteral("assessmentStimulus"));
    xml.writeAttribute(QStringLiteral("identifier"), id);
    xml.writeAttribute(QStringLiteral("title"), QStringLiteral("Passage"));
    xml.writeStartElement(QStringLiteral("stimulusBody"));
    xml.writeStartElement(QStringLiteral("div"));
    xml.writeAttribute(QStringLiteral("class"), kPassageClass);
    picturesOfFile_ = 0;
    writeRich(xml, schema::fieldFor(Kind::RC, Holds::Passage), passage, r, id, meta);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    meta.writeEndElement();
    r.metadata = metaBytes;
    zip_.add(href.toStdString(), body);
    writeResource(r, kStimulusResourceType);
    ++summary_.stimuli;
    return {id, href};
  }

  void writeItem(Kind kind, const std::string& numQ, const bank::Record& record) {
    const schema::KindEntry& entry = schema::kindEntry(kind);
    QString id = identifierFor(QString::fromLatin1(entry.name) + '-', numQ);
    while (!identifiers_.insert(id).second) id += QStringLiteral("_");
    const QString href = QStringLiteral("items/") + id + QStringLiteral(".xml");
    Resource r{id, href, {href}, {}, {}};
    auto value = [&](Holds h) -> store::Value {
      const char* f = schema::fieldFor(kind, h);
      auto it = f ? record.find(f) : record.end();
      return it == record.end() ? store::Value() : it->second;
    };

    QByteArray metaBytes;
    QXmlStreamWriter meta(&metaBytes);
    meta.writeNamespace(kOwnNamespace, QStringLiteral("zx"));
    meta.writeStartElement(kOwnNamespace, QStringLiteral("question"));
    meta.writeAttribute(QStringLiteral("kind"), QString::fromLatin1(entry.name));
    meta.writeAttribute(QStringLiteral("number"), QString::fromStdString(numQ));

    // What the body carries: the texts, the choices, an answer that is one of them.
    const QString answer = text(value(Holds::Answer)).trimmed().toUpper();
    int answerIndex = -1;
    for (int i = 0; i < 5; ++i)
      if (answer == kLetters[i] && text(value(Holds::Answer)) == kLetters[i]) answerIndex = i;
    std::set<std::string> inBody;
    for (Holds h : {Holds::Stem, Holds::Passage, Holds::Statement1, Holds::Statement2, Holds::ChoiceA, Holds::ChoiceB,
                    Holds::ChoiceC, Holds::ChoiceD, Holds::ChoiceE})
      if (const char* f = schema::fieldFor(kind, h)) inBody.insert(f);
    if (const char* f = schema::fieldFor(kind, Holds::Answer)) {
      inBody.insert(f);
      if (answerIndex < 0 && options_.withKey) writeMetaField(meta, f, value(Holds::Answer));
    }
    for (const schema::Field& f : entry.fields) {
      if (inBody.count(f.name)) {
        // Null is not empty: a choice never given stays so.
        auto it = record.find(f.name);
        if (it != record.end() && it->second.isNull()) writeMetaField(meta, f.name, it->second);
        continue;
      }
      auto it = record.find(f.name);
      writeMetaField(meta, f.name, it == record.end() ? store::Value() : it->second);
    }

    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    startQti(xml, QStringLiteral("assessmentItem"));
    xml.writeAttribute(QStringLiteral("identifier"), id);
    xml.writeAttribute(QStringLiteral("title"), QString::fromLatin1(entry.name) + ' ' + QString::fromStdString(numQ));
    xml.writeAttribute(QStringLiteral("adaptive"), QStringLiteral("false"));
    xml.writeAttribute(QStringLiteral("timeDependent"), QStringLiteral("false"));

    const bool essay = kind == Kind::AWA;
    const bool keyed = !essay && options_.withKey && answerIndex >= 0;
    xml.writeStartElement(QStringLiteral("responseDeclaration"));
    xml.writeAttribute(QStringLiteral("identifier"), QStringLiteral("RESPONSE"));
    xml.writeAttribute(QStringLiteral("cardinality"), QStringLiteral("single"));
    xml.writeAttribute(QStringLiteral("baseType"), essay ? QStringLiteral("string") : QStringLiteral("identifier"));
    if (keyed) {
      xml.writeStartElement(QStringLiteral("correctResponse"));
      xml.writeTextElement(QStringLiteral("value"), kLetters[answerIndex]);
      xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEmptyElement(QStringLiteral("outcomeDeclaration"));
    xml.writeAttribute(QStringLiteral("identifier"), QStringLiteral("SCORE"));
    xml.writeAttribute(QStringLiteral("cardinality"), QStringLiteral("single"));
    xml.writeAttribute(QStringLiteral("baseType"), QStringLiteral("float"));

    picturesOfFile_ = 0;
    const char* passageField = schema::fieldFor(kind, Holds::Passage);
    if (passageField && v_ == Version::V2p2) {
      const auto [sid, shref] = stimulus(value(Holds::Passage));
      xml.writeEmptyElement(QStringLiteral("assessmentStimulusRef"));
      xml.writeAttribute(QStringLiteral("identifier"), sid);
      xml.writeAttribute(QStringLiteral("href"), shref.mid(QStringLiteral("items/").size()));
      r.dependency = sid;
      picturesOfFile_ = 0;
    }

    xml.writeStartElement(QStringLiteral("itemBody"));
    auto division = [&](const QString& cls, Holds h, const QString& label = {}) {
      xml.writeStartElement(QStringLiteral("div"));
      xml.writeAttribute(QStringLiteral("class"), cls);
      writeRich(xml, schema::fieldFor(kind, h), value(h), r, id, meta, label);
      xml.writeEndElement();
    };
    if (passageField && v_ == Version::V2p1) division(kPassageClass, Holds::Passage);
    division(kStemClass, Holds::Stem);
    if (schema::fieldFor(kind, Holds::Statement1)) {
      division(kStatementClass[0], Holds::Statement1, QStringLiteral("(1)"));
      division(kStatementClass[1], Holds::Statement2, QStringLiteral("(2)"));
    }
    if (essay) {
      xml.writeEmptyElement(QStringLiteral("extendedTextInteraction"));
      xml.writeAttribute(QStringLiteral("responseIdentifier"), QStringLiteral("RESPONSE"));
    } else {
      xml.writeStartElement(QStringLiteral("choiceInteraction"));
      xml.writeAttribute(QStringLiteral("responseIdentifier"), QStringLiteral("RESPONSE"));
      xml.writeAttribute(QStringLiteral("shuffle"), QStringLiteral("false"));
      xml.writeAttribute(QStringLiteral("maxChoices"), QStringLiteral("1"));
      for (int i = 0; i < 5; ++i) {
        xml.writeStartElement(QStringLiteral("simpleChoice"));
        xml.writeAttribute(QStringLiteral("identifier"), kLetters[i]);
        const char* field = schema::fieldFor(kind, schema::choiceAt(static_cast<size_t>(i)));
        if (!field) {
          xml.writeCharacters(QString::fromLatin1(schema::kDataSufficiencyChoices[i]));
        } else if (schema::findField(kind, field)->type == FieldType::Rtf) {
          writeRich(xml, field, value(schema::choiceAt(static_cast<size_t>(i))), r, id, meta);
        } else {
          xml.writeCharacters(text(value(schema::choiceAt(static_cast<size_t>(i)))));
        }
        xml.writeEndElement();
      }
      xml.writeEndElement();
    }
    xml.writeEndElement();  // itemBody
    if (keyed) {
      xml.writeEmptyElement(QStringLiteral("responseProcessing"));
      xml.writeAttribute(QStringLiteral("template"), matchCorrect(v_));
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    meta.writeEndElement();
    r.metadata = metaBytes;

    zip_.add(href.toStdString(), body);
    writeResource(r, itemResourceType(v_));
    test_.writeEmptyElement(QStringLiteral("assessmentItemRef"));
    test_.writeAttribute(QStringLiteral("identifier"), id);
    test_.writeAttribute(QStringLiteral("href"), href);
    ++summary_.items;
  }

  store::Connection& conn_;
  ZipWriter zip_;
  const ExportOptions& options_;
  Version v_;
  ExportSummary summary_;
  QFile manifestFile_, testFile_;
  QXmlStreamWriter manifest_, test_;
  QTextDocument doc_;
  std::set<QString> identifiers_, stimuli_;
  int picturesOfFile_ = 0;
};

}  // namespace

ExportSummary exportPackage(store::Connection& conn, const fs::path& zipPath, const ExportOptions& options,
                            const Progress& progress) {
  return PackageExporter(conn, zipPath, options).run(progress);
}

std::string exportReport(const ExportSummary& s, const fs::path& zipPath) {
  std::string out = std::to_string(s.items) + " question" + (s.items == 1 ? "" : "s") + " in " +
                    std::to_string(s.sections) + " section" + (s.sections == 1 ? "" : "s");
  if (s.stimuli) out += ", " + std::to_string(s.stimuli) + " passage" + (s.stimuli == 1 ? "" : "s");
  if (s.pictures) out += ", " + std::to_string(s.pictures) + " picture" + (s.pictures == 1 ? "" : "s");
  return out + " written to " + zipPath.string() + ".";
}

}  // namespace exchange::qti
