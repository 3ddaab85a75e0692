#pragma once
// Printing questions of the bank: each is read, laid out and put on its page in turn, so that
// a large selection never holds more than one question in memory (the key keeps only numbers
// and letters). On any paged device: the printer or preview of a window, or a PDF file.

#include <QPagedPaintDevice>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "connection.h"
#include "print_selection.h"

namespace exchange::print {

enum class PageSize { A4, Letter };

struct PrintOptions {
  bool withKey = false;  // each question's stored answer under it, and a table of answers at the end
  QString bankName = {};  // the header's left: which bank
  QString selection = {};  // and what of it
};

// Called before each question with how many are done of how many; false stops the printout.
using Progress = std::function<bool(int done, int total)>;

enum class Outcome { Printed, Cancelled, Failed };

// The page size and margins every printout uses, on a PDF writer or a printer alike.
void setPage(QPagedPaintDevice& device, PageSize size);

// Prints the questions on device (its page as it is set). Questions that no longer exist are
// left out. Cancelled leaves the pages printed so far; Failed when the device cannot be painted.
// Throws store::DbError when the bank cannot be read.
Outcome printQuestions(store::Connection& conn, const std::vector<QuestionRef>& questions, const PrintOptions& options,
                       QPagedPaintDevice& device, const Progress& progress = {});

// Writes the printout as a PDF file. The file is replaced only by a whole printout: cancelled
// or failed, whatever stood at path stays. `error` receives why a write failed.
Outcome writePdf(store::Connection& conn, const std::vector<QuestionRef>& questions, const PrintOptions& options,
                 PageSize size, const QString& path, const Progress& progress = {}, QString* error = nullptr);

}  // namespace exchange::print
