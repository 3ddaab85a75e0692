#include "qti_import.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>
#include <QXmlStreamReader>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "connection.h"
#include "db_error.h"
#include "numbering.h"
#include "operation.h"
#include "pool_operations.h"
#include "qti_format.h"
#include "recordset.h"
#include "rtf/rtf_format.h"
#include "rtf/rtf_writer.h"
#include "rtf/rtf_xhtml.h"
#include "statements.h"
#include "zip_package.h"

namespace exchange::qti {

namespace fs = std::filesystem;
namespace schema = bank::schema;
using schema::FieldType;
using schema::Holds;
using schema::Kind;

ImportRefused::ImportRefused(const std::string& why, std::vector<LeftOut> left) : std::runtime_error(why), items(std::move(left)) {}

namespace {

// What one field may hold at most: far above any question, far below what would hurt.
constexpr qsizetype kMostFieldBytes = 16 << 20;
constexpr qint64 kMostItemFileBytes = 32 << 20;

// An item that cannot be represented; the reason as the user reads it.
struct Unrepresentable {
  std::string reason;
};

// The files of what is imported: a package's, or the folder of a single item file (nothing
// above it).
class Files {
 public:
  virtual ~Files() = default;
  virtual std::optional<QByteArray> read(const std::string& path) = 0;
};

class ZipFiles : public Files {
 public:
  explicit ZipFiles(const fs::path& zip) : zip_(zip) {}
  std::optional<QByteArray> read(const std::string& path) override {
    if (path.empty() || !zip_.has(path)) return std::nullopt;
    return zip_.read(path);
  }

 private:
  ZipReader zip_;
};

class FolderFiles : public Files {
 public:
  explicit FolderFiles(fs::path folder) : folder_(std::move(folder)) {}
  std::optional<QByteArray> read(const std::string& path) override {
    if (path.empty()) return std::nullopt;
    QFile f(QString::fromStdString((folder_ / path).string()));
    // A link could lead out of the item's folder: only plain files are read.
    const QFileInfo info(f);
    if (info.isSymLink() || !info.isFile() || f.size() > kMostItemFileBytes || !f.open(QIODevice::ReadOnly))
      return std::nullopt;
    return f.read(kMostItemFileBytes);
  }

 private:
  fs::path folder_;
};

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Reads the next token, refusing what a hostile file would use: a document type declaration
// (where entities are declared) and any entity that is not XML's own.
QXmlStreamReader::TokenType next(QXmlStreamReader& xml) {
  const QXmlStreamReader::TokenType t = xml.readNext();
  if (t == QXmlStreamReader::DTD) throw Unrepresentable{"it declares a document type, which is not read"};
  if (t == QXmlStreamReader::EntityReference)
    throw Unrepresentable{"it refers to the entity '" + xml.name().toString().toStdString() + "'"};
  if (t == QXmlStreamReader::Invalid) throw Unrepresentable{"its XML is not well formed: " + xml.errorString().toStdString()};
  return t;
}

// Moves to the root element.
void toRoot(QXmlStreamReader& xml) {
  while (!xml.atEnd() && next(xml) != QXmlStreamReader::StartElement) {
  }
  if (!xml.isStartElement()) throw Unrepresentable{"it holds no XML element"};
}

bool isQtiNamespace(QStringView ns) { return ns.startsWith(u"http://www.imsglobal.org/xsd/imsqti_v2p"); }

// What this program's own export kept of a question beside the item.
struct OwnMetadata {
  std::optional<Kind> kind;
  std::string number;
  std::map<std::string, store::Value> fields;
  std::map<std::string, std::vector<ui::rtf::FontRun>> fonts;
};

void readFonts(QXmlStreamReader& xml, std::map<std::string, std::vector<ui::rtf::FontRun>>& fonts) {
  std::vector<ui::rtf::FontRun>& runs = fonts[xml.attributes().value(QStringLiteral("field")).toString().toStdString()];
  while (!xml.atEnd()) {
    const auto t = next(xml);
    if (t == QXmlStreamReader::EndElement) return;
    if (t != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes a = xml.attributes();
    runs.push_back({a.value(QStringLiteral("at")).toInt(), a.value(QStringLiteral("length")).toInt(),
                    a.value(QStringLiteral("font")).toString(), a.value(QStringLiteral("size")).toInt(),
                    a.hasAttribute(QStringLiteral("charset")) ? a.value(QStringLiteral("charset")).toInt() : -1});
    xml.skipCurrentElement();
  }
}

void readOwnMetadata(QXmlStreamReader& xml, OwnMetadata& meta) {
  if (xml.name() == u"question") {
    const std::string kind = xml.attributes().value(QStringLiteral("kind")).toString().toStdString();
    for (Kind k : schema::kAllKinds)
      if (kind == schema::kindEntry(k).name) meta.kind = k;
    meta.number = xml.attributes().value(QStringLiteral("number")).toString().toStdString();
  }
  while (!xml.atEnd()) {
    const auto t = next(xml);
    if (t == QXmlStreamReader::EndElement) return;
    if (t != QXmlStreamReader::StartElement) continue;
    if (xml.name() == u"fonts") {
      readFonts(xml, meta.fonts);
    } else if (xml.name() == u"field") {
      const QXmlStreamAttributes a = xml.attributes();
      const std::string name = a.value(QStringLiteral("name")).toString().toStdString();
      const QString type = a.value(QStringLiteral("type")).toString();
      const bool null = a.value(QStringLiteral("null")) == u"true";
      const QString text = xml.readElementText();
      store::Value v;
      if (null)
        v = store::Value();
      else if (type == u"integer")
        v = store::Value(static_cast<long long>(text.toLongLong()));
      else if (type == u"double")
        v = store::Value(text.toDouble());
      else
        v = store::Value(text.toStdString());
      meta.fields[name] = v;
    } else {
      xml.skipCurrentElement();
    }
  }
}

struct ItemRef {
  std::string href;
  OwnMetadata meta;
};

// The items of a package in the manifest's order, with what this program kept of each; the
// fonts of its passages by their file.
struct Manifest {
  std::vector<ItemRef> items;
  std::map<std::string, OwnMetadata> stimuli;
};

Manifest readManifest(const QByteArray& bytes) {
  Manifest m;
  QXmlStreamReader xml(bytes);
  toRoot(xml);
  if (xml.name() != u"manifest") throw Unrepresentable{"its root is not a manifest"};
  while (!xml.atEnd()) {
    if (next(xml) != QXmlStreamReader::StartElement || xml.name() != u"resource") continue;
    const QString type = xml.attributes().value(QStringLiteral("type")).toString();
    const std::string href = packagePath("", xml.attributes().value(QStringLiteral("href")).toString().toStdString());
    const bool item = type.startsWith(QStringLiteral("imsqti_item_xmlv2p"));
    const bool stimulus = type.startsWith(QStringLiteral("imsqti_stimulus_xmlv2p"));
    OwnMetadata meta;
    // The resource's metadata, files and dependencies: only this program's metadata matters.
    int depth = 1;
    while (!xml.atEnd() && depth > 0) {
      const auto t = next(xml);
      if (t == QXmlStreamReader::EndElement) --depth;
      if (t != QXmlStreamReader::StartElement) continue;
      if (xml.namespaceUri() == kOwnNamespace)
        readOwnMetadata(xml, meta);
      else
        ++depth;
    }
    if (item) m.items.push_back({href, std::move(meta)});
    if (stimulus) m.stimuli[href] = std::move(meta);
  }
  if (xml.hasError()) throw Unrepresentable{"its XML is not well formed: " + xml.errorString().toStdString()};
  return m;
}

// An item read: the texts of the question's parts, its choices, its answer.
struct ParsedItem {
  bool essay = false;
  std::map<Holds, std::unique_ptr<QTextDocument>> docs;  // stem, passage, statements, choices
  int choices = 0;
  std::string answer;  // the letter of the correct choice; empty for none
  bool hasAnswer = false;
};

const std::vector<QString>& interactionNames() {
  static const std::vector<QString> names = {
      "choiceInteraction", "orderInteraction", "associateInteraction", "matchInteraction", "gapMatchInteraction",
      "inlineChoiceInteraction", "textEntryInteraction", "extendedTextInteraction", "hottextInteraction",
      "hotspotInteraction", "selectPointInteraction", "graphicOrderInteraction", "graphicAssociateInteraction",
      "graphicGapMatchInteraction", "positionObjectInteraction", "sliderInteraction", "drawingInteraction",
      "uploadInteraction", "mediaInteraction", "customInteraction", "endAttemptInteraction", "portableCustomInteraction"};
  return names;
}

class ItemParser {
 public:
  ItemParser(Files& files, Kind target, const Manifest& manifest)
      : files_(files), target_(target), manifest_(manifest) {}

  ParsedItem parse(const std::string& href) {
    const std::optional<QByteArray> bytes = files_.read(href);
    if (!bytes) throw Unrepresentable{"its file '" + href + "' is not in the package"};
    base_ = folderOf(href);
    bytes_ = *bytes;
    QXmlStreamReader xml(*bytes);
    toRoot(xml);
    if (xml.name() != u"assessmentItem" || !isQtiNamespace(xml.namespaceUri()))
      throw Unrepresentable{"it is not a QTI 2 assessment item"};
    ParsedItem item;
    int responses = 0;
    std::vector<QString> correct;
    QString responseId;
    while (!xml.atEnd()) {
      const auto t = next(xml);
      if (t != QXmlStreamReader::StartElement) continue;
      const QStringView name = xml.name();
      if (name == u"responseDeclaration") {
        ++responses;
        responseId = xml.attributes().value(QStringLiteral("identifier")).toString();
        if (xml.attributes().value(QStringLiteral("cardinality")) != u"single")
          throw Unrepresentable{"its response takes more than one answer"};
      } else if (name == u"correctResponse") {
        correct.clear();
        while (!xml.atEnd() && next(xml) != QXmlStreamReader::EndElement)
          if (xml.isStartElement()) correct.push_back(xml.readElementText().trimmed());
      } else if (name == u"assessmentStimulusRef") {
        stimulus(item, xml.attributes().value(QStringLiteral("href")).toString().toStdString());
      } else if (name == u"itemBody") {
        body(item, xml);
      } else if (name == u"responseProcessing" || name == u"modalFeedback" || name == u"outcomeDeclaration" ||
                 name == u"templateDeclaration" || name == u"templateProcessing" || name == u"stylesheet") {
        xml.skipCurrentElement();
      }
    }
    if (xml.hasError()) throw Unrepresentable{"its XML is not well formed: " + xml.errorString().toStdString()};
    if (responses > 1) throw Unrepresentable{"it has more than one response"};
    if (interactions_ == 0) throw Unrepresentable{"it has no choice or extended-text interaction"};
    if (!item.essay && correct.size() == 1) {
      for (size_t i = 0; i < choiceIds_.size(); ++i)
        if (choiceIds_[i] == correct[0]) item.answer = std::string(1, static_cast<char>('A' + i));
      item.hasAnswer = !item.answer.empty();
    }
    return item;
  }

 private:
  QTextDocument& doc(ParsedItem& item, Holds h) {
    auto& d = item.docs[h];
    if (!d) d = std::make_unique<QTextDocument>();
    return *d;
  }

  ui::rtf::PictureIn pictures() {
    return [this](const QString& src) -> std::optional<QByteArray> {
      const std::string path = packagePath(base_, src.toStdString());
      if (path.empty()) return std::nullopt;  // outside the package: never read
      return files_.read(path);
    };
  }

  bool read(QTextDocument& d, QXmlStreamReader& xml, bool content) {
    ui::rtf::XhtmlReader reader(d, pictures());
    reader.refuse(interactionNames());
    reader.skipClass(kLabelClass);
    const bool ok = content ? reader.readContent(xml) : reader.readElement(xml);
    if (!ok && xml.hasError()) throw Unrepresentable{"its XML is not well formed: " + xml.errorString().toStdString()};
    if (!ok) throw Unrepresentable{reader.error().toStdString()};
    return ok;
  }

  // The part of the target kind that a division of this program's export holds; the stem
  // where the kind has no such part.
  Holds partOf(const QString& cls) const {
    Holds h = Holds::Stem;
    if (cls == kPassageClass) h = Holds::Passage;
    if (cls == kStatementClass[0]) h = Holds::Statement1;
    if (cls == kStatementClass[1]) h = Holds::Statement2;
    return schema::fieldFor(target_, h) ? h : Holds::Stem;
  }

  void stimulus(ParsedItem& item, const std::string& href) {
    const std::string path = packagePath(base_, href);
    const std::optional<QByteArray> bytes = files_.read(path);
    if (!bytes) throw Unrepresentable{"its passage '" + href + "' is not in the package"};
    const std::string itemBase = base_;
    base_ = folderOf(path);
    QXmlStreamReader xml(*bytes);
    toRoot(xml);
    if (xml.name() != u"assessmentStimulus") throw Unrepresentable{"its passage '" + href + "' is not a QTI stimulus"};
    while (!xml.atEnd()) {
      if (next(xml) == QXmlStreamReader::StartElement && xml.name() == u"stimulusBody") {
        Holds part = schema::fieldFor(target_, Holds::Passage) ? Holds::Passage : Holds::Stem;
        read(doc(item, part), xml, true);
        if (auto it = manifest_.stimuli.find(path); it != manifest_.stimuli.end() && part == Holds::Passage)
          stimulusFonts_ = it->second.fonts;
        break;
      }
    }
    base_ = itemBase;
  }

  void body(ParsedItem& item, QXmlStreamReader& xml) {
    while (!xml.atEnd()) {
      const auto t = next(xml);
      if (t == QXmlStreamReader::EndElement) return;
      if (t != QXmlStreamReader::StartElement) continue;
      const QString name = xml.name().toString();
      const QString cls = xml.attributes().value(QStringLiteral("class")).toString();
      if (name == u"div" && cls.startsWith(QStringLiteral("zx-"))) {
        read(doc(item, partOf(cls)), xml, true);
      } else if (name == u"div" && holdsInteraction(xml)) {
        body(item, xml);  // another tool's division around the interaction: its parts as the body's
      } else if (name == u"choiceInteraction") {
        choice(item, xml);
      } else if (name == u"extendedTextInteraction") {
        ++interactions_;
        item.essay = true;
        essay(item, xml);
      } else if (std::find(interactionNames().begin(), interactionNames().end(), name) != interactionNames().end()) {
        throw Unrepresentable{"it holds a " + name.toStdString() + ", which this bank has no question for"};
      } else {
        read(doc(item, Holds::Stem), xml, false);
      }
      if (interactions_ > 1) throw Unrepresentable{"it has more than one interaction"};
    }
  }

  // Whether the division the reader stands on holds an interaction: read ahead on a copy of
  // the item's bytes, as the stream reader cannot go back.
  bool holdsInteraction(const QXmlStreamReader& xml) const {
    const qint64 from = xml.characterOffset();
    QXmlStreamReader ahead(bytes_);
    int depth = 0;
    while (!ahead.atEnd()) {
      ahead.readNext();
      if (ahead.characterOffset() < from) continue;
      if (ahead.isStartElement()) {
        if (depth > 0 && std::find(interactionNames().begin(), interactionNames().end(), ahead.name().toString()) !=
                             interactionNames().end())
          return true;
        ++depth;
      } else if (ahead.isEndElement() && --depth == 0) {
        return false;
      }
    }
    return false;
  }

  void choice(ParsedItem& item, QXmlStreamReader& xml) {
    ++interactions_;
    const QXmlStreamAttributes a = xml.attributes();
    if (a.hasAttribute(QStringLiteral("maxChoices")) && a.value(QStringLiteral("maxChoices")) != u"1")
      throw Unrepresentable{"its choice interaction takes more than one answer"};
    while (!xml.atEnd()) {
      const auto t = next(xml);
      if (t == QXmlStreamReader::EndElement) return;
      if (t != QXmlStreamReader::StartElement) continue;
      if (xml.name() == u"prompt") {
        read(doc(item, Holds::Stem), xml, true);
      } else if (xml.name() == u"simpleChoice") {
        if (item.choices == 5) throw Unrepresentable{"it has more than five choices"};
        choiceIds_.push_back(xml.attributes().value(QStringLiteral("identifier")).toString());
        read(doc(item, schema::choiceAt(static_cast<size_t>(item.choices++))), xml, true);
      } else {
        xml.skipCurrentElement();
      }
    }
  }

  void essay(ParsedItem& item, QXmlStreamReader& xml) {
    while (!xml.atEnd()) {
      const auto t = next(xml);
      if (t == QXmlStreamReader::EndElement) return;
      if (t == QXmlStreamReader::StartElement) {
        if (xml.name() == u"prompt")
          read(doc(item, Holds::Stem), xml, true);
        else
          xml.skipCurrentElement();
      }
    }
  }

 public:
  std::map<std::string, std::vector<ui::rtf::FontRun>> stimulusFonts_;

 private:
  Files& files_;
  Kind target_;
  const Manifest& manifest_;
  std::string base_;
  QByteArray bytes_;  // the item's, for reading ahead
  int interactions_ = 0;
  std::vector<QString> choiceIds_;
};

// A field's value checked against what the field holds.
store::Value checked(const schema::Field& f, const store::Value& v) {
  if (v.isNull()) return v;
  const std::string s = v.toString();
  if (static_cast<qsizetype>(s.size()) > kMostFieldBytes)
    throw Unrepresentable{std::string("its ") + f.name + " is larger than a question's field can hold"};
  if (s.find('\0') != std::string::npos) throw Unrepresentable{std::string("its ") + f.name + " holds a NUL character"};
  switch (f.type) {
    case FieldType::Flag:
      if (v.toString() != "0" && v.toString() != "1" && v.toString() != "-1")
        throw Unrepresentable{std::string("its ") + f.name + " is not a flag (0 or 1)"};
      break;
    case FieldType::Size:
    case FieldType::Single:
    case FieldType::Number:
      if (v.isText() && !v.text().empty()) {
        bool ok = false;
        QString::fromStdString(v.text()).toDouble(&ok);
        if (!ok) throw Unrepresentable{std::string("its ") + f.name + " is not a number"};
      }
      break;
    default:
      break;
  }
  return v;
}

// The question an item becomes: every field of the kind that the item or the metadata gives.
struct Question {
  Kind kind;
  std::string number;    // the number it had where it was exported from; empty when unknown
  std::string fromPool;  // the pool it was exported from
  std::vector<std::pair<std::string, store::Value>> fields;
};

Question questionOf(Kind target, ParsedItem& item, const OwnMetadata& meta,
                    const std::map<std::string, std::vector<ui::rtf::FontRun>>& stimulusFonts, const std::string& pool) {
  const char* poolField = schema::fieldFor(target, Holds::Pool);
  auto from = meta.fields.find(poolField);
  Question q{target, meta.number, from == meta.fields.end() ? std::string() : from->second.toString(), {}};
  std::map<std::string, store::Value> values;
  for (auto& [holds, d] : item.docs) {
    const char* field = schema::fieldFor(target, holds);
    if (!field) continue;  // a choice that the kind has no place for (DS)
    const schema::Field* f = schema::findField(target, field);
    if (f->type == FieldType::Rtf) {
      auto runs = meta.fonts.find(field);
      if (runs != meta.fonts.end()) ui::rtf::applyFontRuns(*d, runs->second);
      if (auto s = stimulusFonts.find(field); s != stimulusFonts.end()) ui::rtf::applyFontRuns(*d, s->second);
      values[field] = ui::rtf::writeRtf(*d).toStdString();
    } else {
      values[field] = ui::rtf::documentText(*d, QStringLiteral("\r\n")).toStdString();
    }
  }
  if (const char* answer = schema::fieldFor(target, Holds::Answer)) {
    if (item.hasAnswer) values[answer] = item.answer;
  }
  for (const auto& [name, v] : meta.fields)
    if (schema::findField(target, name)) values[name] = v;
  values[schema::fieldFor(target, Holds::Pool)] = pool;
  for (const schema::Field& f : schema::kindEntry(target).fields) {
    auto it = values.find(f.name);
    if (it != values.end()) q.fields.emplace_back(f.name, checked(f, it->second));
  }
  return q;
}

// The numbers the new questions of the pool take. Questions that this program exported from
// the same pool keep their numbers, where every one is free and they keep the package's order;
// otherwise they take those after the numbers the pool's number already has, at most
// kMostQuestionsInPool (an essay type's topics: the type and three digits).
std::vector<std::string> newNumbers(store::Connection& conn, Kind kind, const std::string& pool,
                                    const std::vector<Question>& questions) {
  const bool essay = kind == Kind::AWA;
  const std::string prefix = essay ? pool : pools::poolNumberOf(pool);
  const char* table = schema::kindEntry(kind).table;
  auto taken = [&](const std::string& n) { return pools::countOf(conn, store::statements::countQuestionNumber(table, n)) != 0; };
  std::vector<std::string> out;
  for (const Question& q : questions) {
    if (q.number.empty() || q.fromPool != pool || taken(q.number) || (!out.empty() && q.number <= out.back())) break;
    out.push_back(q.number);
  }
  if (out.size() == questions.size()) return out;
  out.clear();
  const long most = essay ? 999 : pools::kMostQuestionsInPool;
  for (long i = 1; out.size() < questions.size() && i <= most; ++i) {
    const std::string n = essay ? prefix + pools::format000(i) : pools::ordinaryQuestionNumber(prefix, i);
    if (!taken(n)) out.push_back(n);
  }
  if (out.size() < questions.size())
    throw ImportRefused("The pool " + pool + " has room for " + std::to_string(out.size()) + " more questions, not " +
                        std::to_string(questions.size()) + "; nothing was imported.");
  return out;
}

std::string listOf(const std::vector<LeftOut>& items) {
  std::string out;
  for (const LeftOut& l : items) out += "\n  " + l.item + ": " + l.reason;
  return out;
}

}  // namespace

ImportResult importPackage(store::Connection& conn, const fs::path& source, const ImportOptions& options,
                           const ImportProgress& progress) {
  if (options.pool.empty()) throw ImportRefused("No pool was given; nothing was imported.");
  QFile file(QString::fromStdString(source.string()));
  if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
    throw ImportRefused("The file " + source.string() + " cannot be read; nothing was imported.");
  const bool zip = file.peek(4) == QByteArray("PK\x03\x04", 4) || file.peek(4) == QByteArray("PK\x05\x06", 4);
  file.close();

  std::unique_ptr<Files> files;
  Manifest manifest;
  try {
    if (zip) {
      files = std::make_unique<ZipFiles>(source);
      const std::optional<QByteArray> m = files->read(kManifestName);
      if (!m) throw ImportRefused("The package has no imsmanifest.xml; nothing was imported.");
      manifest = readManifest(*m);
    } else {
      files = std::make_unique<FolderFiles>(source.parent_path());
      manifest.items.push_back({source.filename().string(), {}});
    }
  } catch (const PackageError& e) {
    throw ImportRefused(std::string(e.what()) + " Nothing was imported.");
  } catch (const Unrepresentable& u) {
    throw ImportRefused("The package's manifest cannot be read: " + u.reason + ". Nothing was imported.");
  }
  if (manifest.items.empty()) throw ImportRefused("The package holds no items; nothing was imported.");

  std::vector<Question> questions;
  std::vector<LeftOut> leftOut;
  const long total = static_cast<long>(manifest.items.size());
  for (const ItemRef& ref : manifest.items) {
    try {
      // A data-sufficiency or essay question of this program's export comes back as one.
      Kind target = options.kind;
      if (ref.meta.kind == Kind::DS || ref.meta.kind == Kind::AWA) target = *ref.meta.kind;
      ItemParser parser(*files, target, manifest);
      ParsedItem item = parser.parse(ref.href);
      if (item.essay) {
        target = Kind::AWA;
      } else if (target == Kind::AWA) {
        throw Unrepresentable{"it is a choice item, which cannot be an essay topic"};
      }
      if (target == Kind::AWA && options.kind != Kind::AWA)
        throw Unrepresentable{"it is an extended-text item, which can only be imported as AWA"};
      if (target != options.kind && target != Kind::DS)
        throw Unrepresentable{"it is not a question of the kind chosen"};
      questions.push_back(questionOf(target, item, ref.meta, parser.stimulusFonts_, options.pool));
    } catch (const Unrepresentable& u) {
      leftOut.push_back({ref.href, u.reason});
    } catch (const PackageError& e) {
      leftOut.push_back({ref.href, e.what()});
    }
    if (progress) progress(static_cast<long>(questions.size() + leftOut.size()), total * 2);
  }
  if (!leftOut.empty() && !options.skip)
    throw ImportRefused("These items cannot be imported; nothing was imported:" + listOf(leftOut), leftOut);
  // A DS question goes to the DS table, whatever was chosen for the others.
  for (const Question& q : questions)
    if (q.kind != questions.front().kind)
      throw ImportRefused("The package mixes data-sufficiency questions with others; import them as DS. Nothing was imported.");

  ImportResult result;
  result.leftOut = std::move(leftOut);
  if (questions.empty()) return result;
  const Kind kind = questions.front().kind;
  const char* table = schema::kindEntry(kind).table;
  bank::OperationTag tag(conn, bank::Operation::Import);
  store::Transaction tx(conn);
  const std::vector<std::string> numbers = newNumbers(conn, kind, options.pool, questions);
  store::Recordset rs;
  rs.open(table, conn, store::adOpenKeyset, store::adLockOptimistic, store::adCmdTable);
  for (size_t i = 0; i < questions.size(); ++i) {
    rs.addNew();
    rs.setValue("numQ", numbers[i]);
    for (const auto& [name, v] : questions[i].fields) rs.setValue(name, v);
    rs.update();
    if (progress) progress(total + static_cast<long>(i + 1), total * 2);
  }
  rs.close();
  tx.commit();
  tag.commit();
  result.imported = static_cast<long>(questions.size());
  result.numbers = numbers;
  return result;
}

std::vector<std::pair<Kind, std::string>> poolsInPackage(const fs::path& source) {
  std::vector<std::pair<Kind, std::string>> out;
  QFile file(QString::fromStdString(source.string()));
  if (!file.open(QIODevice::ReadOnly) || file.peek(2) != "PK") return out;
  file.close();
  try {
    ZipFiles files(source);
    const std::optional<QByteArray> m = files.read(kManifestName);
    if (!m) return out;
    for (const ItemRef& ref : readManifest(*m).items) {
      if (!ref.meta.kind) continue;
      auto pool = ref.meta.fields.find(schema::fieldFor(*ref.meta.kind, Holds::Pool));
      if (pool == ref.meta.fields.end()) continue;
      const std::pair<Kind, std::string> entry{*ref.meta.kind, pool->second.toString()};
      if (std::find(out.begin(), out.end(), entry) == out.end()) out.push_back(entry);
    }
  } catch (const PackageError& e) {
    throw ImportRefused(std::string(e.what()) + " Nothing was imported.");
  } catch (const Unrepresentable& u) {
    throw ImportRefused("The package's manifest cannot be read: " + u.reason + ". Nothing was imported.");
  }
  return out;
}

std::string importReport(const ImportResult& r) {
  std::string out = std::to_string(r.imported) + " question" + (r.imported == 1 ? "" : "s") + " imported";
  if (!r.numbers.empty()) out += " (" + r.numbers.front() + (r.numbers.size() > 1 ? " to " + r.numbers.back() : "") + ")";
  out += ".";
  if (!r.leftOut.empty()) out += " Left out:" + listOf(r.leftOut);
  return out;
}

}  // namespace exchange::qti
