#include "print_preview.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QToolBar>

#include "schema.h"

namespace editor {

namespace print = exchange::print;

namespace {

std::function<void(const PrintRequest&)>& standIn() {
  static std::function<void(const PrintRequest&)> f;
  return f;
}

// Pages for the preview or the printer, with a progress bar whose Cancel ends the printout
// where it stands.
void paint(QWidget* parent, store::Connection& conn, const PrintRequest& request, QPrinter& printer) {
  QProgressDialog progress(QStringLiteral("Laying out the pages..."), QStringLiteral("Cancel"), 0,
                           static_cast<int>(request.questions.size()), parent);
  progress.setWindowTitle(QStringLiteral("Print"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  print::printQuestions(conn, request.questions, request.options, printer, [&](int done, int total) {
    progress.setMaximum(total);
    progress.setValue(done);
    return !progress.wasCanceled();
  });
}

}  // namespace

void setPrintPreviewStandIn(std::function<void(const PrintRequest&)> f) { standIn() = std::move(f); }

QString bankLabel(const store::Connection& conn) {
  if (conn.onServer()) return QString::fromStdString(conn.path());
  const QFileInfo file(QString::fromStdString(conn.path()));
  const QString folder = file.absoluteDir().dirName();
  return folder.isEmpty() ? file.fileName() : folder;
}

void showPrintPreview(QWidget* parent, store::Connection& conn, PrintRequest request) {
  if (request.questions.empty()) return;
  if (standIn()) {
    standIn()(request);
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  print::setPage(printer, print::PageSize::A4);
  printer.setDocName(request.options.bankName + QStringLiteral(" \u2014 ") + request.options.selection);
  QPrintPreviewDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("Print Preview"));
  dialog.resize(1000, 720);
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [&](QPrinter* target) { paint(&dialog, conn, request, *target); });
  // The key is the reader's choice, shown at once.
  if (auto* bar = dialog.findChild<QToolBar*>()) {
    bar->addSeparator();
    QAction* key = bar->addAction(QStringLiteral("Answer key"));
    key->setCheckable(true);
    key->setChecked(request.options.withKey);
    key->setToolTip(QStringLiteral("Each question's stored answer under it, and a table of answers at the end"));
    QObject::connect(key, &QAction::toggled, &dialog, [&](bool on) {
      request.options.withKey = on;
      if (auto* preview = dialog.findChild<QPrintPreviewWidget*>()) preview->updatePreview();
    });
  }
  dialog.exec();
}

PrintRequest shownRequest(store::Connection& conn, bank::schema::Kind kind, const std::string& numQ,
                          const std::string& pool, bool wholePool) {
  PrintRequest r;
  r.options.bankName = bankLabel(conn);
  const QString kindName = QString::fromLatin1(bank::schema::kindName(kind));
  if (wholePool) {
    r.questions = print::selectedQuestions(conn, {.kinds = {kind}, .pool = pool});
    r.options.selection = kindName + QStringLiteral(": pool ") + QString::fromStdString(pool);
  } else if (!numQ.empty()) {
    r.questions = {{kind, numQ}};
    r.options.selection = kindName + QStringLiteral(" ") + QString::fromStdString(numQ);
  }
  return r;
}

void printFromEditor(QWidget& button, store::Connection& conn, bank::schema::Kind kind, const std::string& numQ,
                     const std::string& pool) {
  QMenu menu(&button);
  QAction* question = menu.addAction(QStringLiteral("This question (%1)").arg(QString::fromStdString(numQ)));
  question->setEnabled(!numQ.empty());
  QAction* wholePool = menu.addAction(QStringLiteral("Pool %1").arg(QString::fromStdString(pool)));
  wholePool->setEnabled(!pool.empty());
  QAction* chosen = menu.exec(button.mapToGlobal(QPoint(0, button.height())));
  if (!chosen) return;
  showPrintPreview(button.window(), conn, shownRequest(conn, kind, numQ, pool, chosen == wholePool));
}

}  // namespace editor
