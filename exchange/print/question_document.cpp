#include "question_document.h"

#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextTable>

#include "rtf/rtf_reader.h"
#include "schema.h"

namespace exchange::print {

namespace schema = bank::schema;
using schema::Holds;

namespace {

// The heading and the key are ours, not the question's: small, and apart from its text.
QTextCharFormat headingFormat() {
  QTextCharFormat f;
  f.setFontFamilies({QStringLiteral("Verdana")});
  f.setFontPointSize(8.5);
  f.setFontWeight(QFont::Bold);
  f.setForeground(QColor(0x40, 0x40, 0x40));
  return f;
}

// The plain choice boxes and the choice letters: Verdana, as the editors' text boxes.
QTextCharFormat choiceFormat() {
  QTextCharFormat f;
  f.setFontFamilies({QStringLiteral("Verdana")});
  f.setFontPointSize(10);
  return f;
}

QTextBlockFormat spacedBlock(double before) {
  QTextBlockFormat b;
  b.setTopMargin(before);
  return b;
}

const store::Value* fieldValue(const bank::Record& record, Kind kind, Holds what) {
  const char* name = schema::fieldFor(kind, what);
  if (!name) return nullptr;
  const auto it = record.find(name);
  return it == record.end() ? nullptr : &it->second;
}

std::string textOf(const bank::Record& record, Kind kind, Holds what) {
  const store::Value* v = fieldValue(record, kind, what);
  return v && !v->isNull() ? v->toString() : std::string();
}

QString qtext(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

QFont defaultTextFont() {
  QFont font(QStringLiteral("Verdana"));
  font.setPointSizeF(11.5);
  return font;
}

bool QuestionDocuments::hasAnswer(Kind kind) { return schema::fieldFor(kind, Holds::Answer) != nullptr; }

QString QuestionDocuments::answerOf(const QuestionRef& q, const bank::Record& record) {
  const QString answer = qtext(textOf(record, q.kind, Holds::Answer)).trimmed();
  return answer.isEmpty() ? kNoAnswer : answer;
}

namespace {

// Reads a rich-text field into `scratch` as the rich-text box would; empty for Null.
void readRich(const store::Value* value, QTextDocument& scratch) {
  scratch.clear();
  scratch.setDefaultFont(defaultTextFont());
  if (!value || value->isNull()) return;
  const std::string raw = value->toString();
  ui::rtf::readRtf(QByteArray(raw.data(), static_cast<qsizetype>(raw.size())), scratch);
}

// Appends what readRich read at the cursor; its first paragraph continues the cursor's.
void appendRead(QTextCursor& cursor, QTextDocument& scratch) {
  if (!scratch.isEmpty()) cursor.insertFragment(QTextDocumentFragment(&scratch));
}

void appendRich(QTextCursor& cursor, const store::Value* value, QTextDocument& scratch) {
  readRich(value, scratch);
  appendRead(cursor, scratch);
}

void appendPlain(QTextCursor& cursor, const std::string& text) {
  cursor.insertText(qtext(text).replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator)), choiceFormat());
}

QString letter(size_t i) { return QStringLiteral("(%1) ").arg(QChar(u'A' + static_cast<char16_t>(i))); }

void startDocument(QTextDocument& doc) {
  doc.setUndoRedoEnabled(false);
  doc.clear();
  doc.setDefaultFont(defaultTextFont());
  doc.setDocumentMargin(0);
  doc.setUseDesignMetrics(true);
}

// The document is filled as one edit: a document already laid out for the page is laid out
// once at its end, not after every insertion.
class OneEdit {
 public:
  explicit OneEdit(QTextDocument& doc) : cursor_(&doc) { cursor_.beginEditBlock(); }
  ~OneEdit() { cursor_.endEditBlock(); }
  OneEdit(const OneEdit&) = delete;
  OneEdit& operator=(const OneEdit&) = delete;

 private:
  QTextCursor cursor_;
};

}  // namespace

void QuestionDocuments::question(const QuestionRef& q, const bank::Record& record, QTextDocument& doc) {
  startDocument(doc);
  OneEdit edit(doc);
  QTextCursor c(&doc);
  std::string pool = textOf(record, q.kind, Holds::Pool);
  // An essay topic's type stands where a pool would: named as its editor lists it.
  const bool topic = !schema::kindEntry(q.kind).edition;
  if (topic) pool = pool == "A" ? "Argument" : pool == "I" ? "Issue" : pool;
  c.setBlockFormat(spacedBlock(0));
  c.insertText(qtext(std::string(schema::kindName(q.kind)) + "  " + q.numQ +
                     (pool.empty() ? "" : (topic ? "  \u00b7  " : "  \u00b7  pool ") + pool)),
               headingFormat());

  c.insertBlock(spacedBlock(3), QTextCharFormat());
  appendRich(c, fieldValue(record, q.kind, Holds::Stem), rich_);

  // DS: the two statements, numbered as the editor labels them (unless the text starts with
  // its number already, as many do), then the choices every DS question shares.
  for (const auto& [what, label] : {std::pair{Holds::Statement1, "(1)"}, std::pair{Holds::Statement2, "(2)"}}) {
    const store::Value* statement = fieldValue(record, q.kind, what);
    if (!statement) continue;
    c.insertBlock(spacedBlock(4), QTextCharFormat());
    readRich(statement, rich_);
    if (!rich_.toPlainText().trimmed().startsWith(QLatin1String(label)))
      c.insertText(QString::fromLatin1(label) + ' ', choiceFormat());
    appendRead(c, rich_);
  }
  if (fieldValue(record, q.kind, Holds::Statement1)) {
    for (size_t i = 0; i < 5; ++i) {
      c.insertBlock(spacedBlock(i == 0 ? 8 : 3), QTextCharFormat());
      c.insertText(letter(i) + QString::fromLatin1(schema::kDataSufficiencyChoices[i]), choiceFormat());
    }
  }

  // Lettered choices, plain or rich; in one row where the question says so (PS "Arrange").
  if (const char* first = schema::fieldFor(q.kind, Holds::ChoiceA)) {
    const schema::Field* field = schema::findField(q.kind, first);
    const bool rich = field && field->type == schema::FieldType::Rtf;
    const store::Value* arrange = fieldValue(record, q.kind, Holds::ChoiceArrangement);
    const bool inRow = arrange && !arrange->isNull() && arrange->toDouble() != 0;
    QTextTable* row = nullptr;
    if (inRow) {
      c.insertBlock(spacedBlock(8), QTextCharFormat());
      QTextTableFormat tf;
      tf.setBorder(0);
      tf.setCellPadding(2);
      tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
      row = c.insertTable(1, 5, tf);
    }
    for (size_t i = 0; i < 5; ++i) {
      if (row) {
        c = row->cellAt(0, static_cast<int>(i)).firstCursorPosition();
      } else {
        c.insertBlock(spacedBlock(i == 0 ? 8 : 3), QTextCharFormat());
      }
      c.insertText(letter(i), choiceFormat());
      const store::Value* choice = fieldValue(record, q.kind, schema::choiceAt(i));
      if (rich) {
        appendRich(c, choice, rich_);
      } else if (choice && !choice->isNull()) {
        appendPlain(c, choice->toString());
      }
    }
    if (row) c.movePosition(QTextCursor::End);
  }

  if (withKey_ && hasAnswer(q.kind)) {
    c.insertBlock(spacedBlock(6), QTextCharFormat());
    QTextCharFormat key = headingFormat();
    key.setFontPointSize(10);
    key.setForeground(QColor(0x80, 0, 0));
    c.insertText(QStringLiteral("Answer: ") + answerOf(q, record), key);
  }
}

std::string QuestionDocuments::passageOf(Kind kind, const bank::Record& record) {
  if (!schema::fieldFor(kind, Holds::Passage)) return {};
  const std::string number = textOf(record, kind, Holds::PassageNumber);
  return number.empty() ? textOf(record, kind, Holds::Passage) : number;
}

void QuestionDocuments::passage(Kind kind, const bank::Record& record, QTextDocument& doc) {
  startDocument(doc);
  OneEdit edit(doc);
  QTextCursor c(&doc);
  const std::string number = textOf(record, kind, Holds::PassageNumber);
  c.insertText(qtext("Passage" + (number.empty() ? std::string() : " " + number)), headingFormat());
  c.insertBlock(spacedBlock(3), QTextCharFormat());
  appendRich(c, fieldValue(record, kind, Holds::Passage), rich_);
}

}  // namespace exchange::print
