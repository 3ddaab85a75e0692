#pragma once
// "Print...": Qt's print preview of questions of the bank, from which the user prints or saves
// a PDF, with a tool-bar switch for the answer key; the pages are made with a progress bar that
// has Cancel. Every window that prints comes through here.

#include <QWidget>

#include <functional>
#include <vector>

#include "connection.h"
#include "print_job.h"

namespace editor {

struct PrintRequest {
  std::vector<exchange::print::QuestionRef> questions;
  exchange::print::PrintOptions options;
};

// Shows the preview of the request (modal). A request without questions shows nothing.
void showPrintPreview(QWidget* parent, store::Connection& conn, PrintRequest request);

// For tests: receives each request instead of the preview (an empty function: the preview again).
void setPrintPreviewStandIn(std::function<void(const PrintRequest&)> standIn);

// What an editor's "Print..." previews: the question shown, or every question of its pool.
PrintRequest shownRequest(store::Connection& conn, bank::schema::Kind kind, const std::string& numQ,
                          const std::string& pool, bool wholePool);
// An editor's "Print...": a menu under the button offers the question shown and its pool, and
// previews the one chosen. What is printed is what the bank holds (the last save).
void printFromEditor(QWidget& button, store::Connection& conn, bank::schema::Kind kind, const std::string& numQ,
                     const std::string& pool);

// The header's name of the bank conn is open on: its folder, or the server database.
QString bankLabel(const store::Connection& conn);

}  // namespace editor
