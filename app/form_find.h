#pragma once
// "Find": words or a "quoted phrase" searched in every question of the bank, optionally
// limited to kinds, a pool or a question-number prefix; the hits best first, each with its
// kind, number, pool, where it is and a snippet with the words marked, taken into the list
// batch after batch as it is scrolled. Enter or a double click opens the kind's editor at
// that question with the words selected. "Replace" goes through the places of the hits in
// view, each to accept or skip. One window for the program, reached from the section window
// and every editor (Ctrl+F).

#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "bank_search.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "program_state.h"

namespace app {

class FormReplace;

// The hits of a search, best first, as the Find window lists them. Only the rows fetched so far
// are in the list: the first batch at once, the next whenever the list is scrolled to its end
// (the view asks), each batch's places marked as it comes in. A frequent word has hundreds of
// thousands of hits: all of them at once kept the window waiting for seconds.
class HitList : public QAbstractTableModel {
 public:
  // Marks results [from, to); false when it could not (it has told the user why).
  using Marker = std::function<bool(std::vector<search::Result>& results, size_t from, size_t to)>;
  HitList(QObject* parent, Marker mark) : QAbstractTableModel(parent), mark_(std::move(mark)) {}

  // Lists new hits, with their first batch fetched.
  void reset(std::vector<search::Result> hits);
  // The hits fetched into the list so far.
  std::vector<search::Result> inView() const { return {hits_.begin(), hits_.begin() + static_cast<long>(shown_)}; }
  const search::Result& at(size_t row) const { return hits_[row]; }

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : static_cast<int>(shown_); }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 5; }
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  Marker mark_;
  std::vector<search::Result> hits_;
  size_t shown_ = 0;
  bool failed_ = false;  // a batch could not be marked: no more are fetched for this search
};

class FormFind : public ui::Form {
 public:
  FormFind(store::ProgramState& state, ui::Form& formInit);
  ~FormFind() override;

  ui::Label lblWords;
  ui::TextBox txtWords;
  ui::CommandButton cmdFind;
  ui::Frame frameLimits;
  ui::ControlArray<ui::CheckBox> chkKind;  // by schema::Kind: checked kinds are searched
  ui::Label lblPool;
  ui::TextBox txtPool;
  ui::Label lblPrefix;
  ui::TextBox txtPrefix;
  ui::Label lblStatus;
  ui::ProgressBar PgrBar;
  QTableView* lstHits;  // kind, number, pool, where, snippet (a HitList)
  ui::Label lblReplaceWith;
  ui::TextBox txtReplaceWith;
  ui::CommandButton cmdReplace;

  void cmdFind_Click();
  // Opens the editor of hit `row` at its question with the words selected.
  void OpenHit(int row);
  void cmdReplace_Click();

  FormReplace* replaceWindow() const { return replace_.data(); }

 private:
  bool markBatch(std::vector<search::Result>& results, size_t from, size_t to);

  store::ProgramState& state_;
  ui::Form& formInit_;
  search::Query query_;
  HitList* hits_;
  QPointer<FormReplace> replace_;
};

// "Replace": every place of the query in the hits in view, with its context; each is
// accepted (the default) or skipped, then the accepted ones are written at once.
class FormReplace : public ui::Form {
 public:
  FormReplace(store::ProgramState& state, FormFind& find, search::ReplacePlan plan, const QString& with);

  ui::Label lblPlaces;
  QTreeWidget* lstPlaces;  // accept box, kind, number, where, the place in its context
  ui::CommandButton cmdAccept;
  ui::CommandButton cmdSkip;
  ui::CommandButton cmdApply;
  ui::CommandButton cmdCancel;

  // Accepts or skips the current place and moves to the next.
  void cmdAccept_Click() { decide(true); }
  void cmdSkip_Click() { decide(false); }
  // Writes the accepted replacements in one transaction.
  void cmdApply_Click();
  void cmdCancel_Click() { Unload(); }

  std::vector<bool> accepted() const;

 private:
  void decide(bool accept);

  store::ProgramState& state_;
  FormFind& find_;
  search::ReplacePlan plan_;
  QString with_;
};

// The editor of kind, open and shown: the one on screen when it is of that kind, otherwise
// a new one (an editor of another kind is closed first, as its close box would); nothing
// when no editor is registered for the kind.
ui::Form* showEditorOf(store::schema::Kind kind, store::ProgramState& state, ui::Form& formInit);

// Shows the program's Find window, making it on first use.
FormFind& showFindWindow(store::ProgramState& state, ui::Form& formInit);
// Unloads the Find window and its Replace window, if they are loaded (the program is ending).
void closeFindWindow();
// Ctrl+F on window opens Find.
void addFindShortcut(QWidget& window, store::ProgramState& state, ui::Form& formInit);

}  // namespace app
