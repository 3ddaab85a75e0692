#include "print_job.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextTable>

#include <utility>

#include "page_writer.h"
#include "question_document.h"

namespace exchange::print {

namespace {

// The answer key at the end: numbers and answers, four pairs to a row, in parts of a few rows
// so that the table runs over pages like the questions do.
constexpr int kKeyColumns = 4;
constexpr int kKeyRowsPerPart = 12;

void keyPart(const std::vector<std::pair<QString, QString>>& key, size_t first, bool heading, QTextDocument& doc) {
  doc.setUndoRedoEnabled(false);
  doc.clear();
  doc.setDocumentMargin(0);
  doc.setUseDesignMetrics(true);
  QTextCursor c(&doc);
  c.beginEditBlock();  // laid out once, at its end
  QTextCharFormat text;
  text.setFontFamilies({QStringLiteral("Verdana")});
  text.setFontPointSize(9.5);
  if (heading) {
    QTextCharFormat h = text;
    h.setFontPointSize(12);
    h.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("Answer key"), h);
    c.insertBlock();
  }
  const size_t count = std::min(key.size() - first, size_t{kKeyColumns * kKeyRowsPerPart});
  const int rows = static_cast<int>((count + kKeyColumns - 1) / kKeyColumns);
  QTextTableFormat tf;
  tf.setBorder(0.5);
  tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
  tf.setCellSpacing(0);
  tf.setCellPadding(3);
  tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
  QTextTable* table = c.insertTable(rows, kKeyColumns * 2, tf);
  for (size_t i = 0; i < count; ++i) {
    const int row = static_cast<int>(i / kKeyColumns), col = static_cast<int>(i % kKeyColumns) * 2;
    table->cellAt(row, col).firstCursorPosition().insertText(key[first + i].first, text);
    table->cellAt(row, col + 1).firstCursorPosition().insertText(key[first + i].second, text);
  }
  c.endEditBlock();
}

}  // namespace

void setPage(QPagedPaintDevice& device, PageSize size) {
  device.setPageSize(QPageSize(size == PageSize::A4 ? QPageSize::A4 : QPageSize::Letter));
  device.setPageOrientation(QPageLayout::Portrait);
  device.setPageMargins(QMarginsF(18, 15, 18, 15), QPageLayout::Millimeter);
}

Outcome printQuestions(store::Connection& conn, const std::vector<QuestionRef>& questions, const PrintOptions& options,
                       QPagedPaintDevice& device, const Progress& progress) {
  PageWriter pages(device, options.bankName + QStringLiteral("  \u2014  ") + options.selection,
                   options.withKey ? QStringLiteral("with answer key") : QString());
  if (!pages.active()) return Outcome::Failed;
  QuestionDocuments documents(options.withKey);
  std::vector<std::pair<QString, QString>> key;
  std::string passageShown;
  const int total = static_cast<int>(questions.size());
  for (int i = 0; i < total; ++i) {
    if (progress && !progress(i, total)) {
      pages.finish();
      return Outcome::Cancelled;
    }
    const QuestionRef& q = questions[static_cast<size_t>(i)];
    const std::optional<bank::Record> record = bank::readRecord(conn, bank::wholeRecordFields(q.kind), q.numQ);
    if (!record) continue;
    QTextDocument doc;
    pages.prepare(doc);
    documents.question(q, *record, doc);
    // A passage once, before the first of its questions in a row, on the same page as that.
    const std::string passage = QuestionDocuments::passageOf(q.kind, *record);
    if (!passage.empty() && passage != passageShown) {
      QTextDocument text;
      documents.passage(q.kind, *record, text);
      const double scale = pages.prepareUnwrapped(text);
      pages.keepTogether(text.size().height() * scale + pages.gap() + doc.size().height());
      pages.place(text, scale);
    }
    passageShown = passage;
    pages.place(doc);
    if (options.withKey && QuestionDocuments::hasAnswer(q.kind))
      key.emplace_back(QString::fromStdString(q.numQ), QuestionDocuments::answerOf(q, *record));
  }
  if (progress && !progress(total, total)) {
    pages.finish();
    return Outcome::Cancelled;
  }
  for (size_t first = 0; first < key.size(); first += kKeyColumns * kKeyRowsPerPart) {
    QTextDocument doc;
    pages.prepare(doc);
    keyPart(key, first, first == 0, doc);
    pages.place(doc);
  }
  return pages.finish() ? Outcome::Printed : Outcome::Failed;
}

Outcome writePdf(store::Connection& conn, const std::vector<QuestionRef>& questions, const PrintOptions& options,
                 PageSize size, const QString& path, const Progress& progress, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error) *error = file.errorString();
    return Outcome::Failed;
  }
  Outcome outcome;
  {
    QPdfWriter writer(&file);
    writer.setResolution(600);
    writer.setTitle(options.bankName + QStringLiteral(" \u2014 ") + options.selection);
    writer.setCreator(QStringLiteral("ZORBEX Editor"));
    setPage(writer, size);
    outcome = printQuestions(conn, questions, options, writer, progress);
  }
  if (outcome != Outcome::Printed) {
    file.cancelWriting();
    if (error && outcome == Outcome::Failed) *error = QStringLiteral("the PDF could not be written");
    return outcome;
  }
  if (!file.commit()) {
    if (error) *error = file.errorString();
    return Outcome::Failed;
  }
  return Outcome::Printed;
}

}  // namespace exchange::print
