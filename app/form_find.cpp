#include "form_find.h"

#include <set>

#include <QHeaderView>
#include <QShortcut>

#include "app_log.h"
#include "controls/dialogs.h"
#include "db_error.h"
#include "extension.h"
#include "form_replace.h"
#include "html_delegate.h"
#include "kind_windows.h"
#include "print_preview.h"

namespace app {

namespace {

using bank::schema::Kind;

constexpr int kHtmlColumn = 4;

// A table dressed as the other lists. Not a tree view: that one fetches another batch at each
// layout, so that the first batch would never be shown alone.
QTableView* makeHitView(QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setShowGrid(false);
  view->setWordWrap(false);
  view->setAlternatingRowColors(true);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->verticalHeader()->setVisible(false);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->horizontalHeader()->setHighlightSections(false);
  view->horizontalHeader()->setStretchLastSection(true);
  return view;
}

QPointer<FormFind> g_find;

}  // namespace

FormFind::FormFind(bank::ProgramState& state, ui::Form& formInit)
    : lblWords(this, "Find what:"),
      txtWords(this),
      cmdFind(this, "Find"),
      frameLimits(this, "Search in"),
      lblPool(&frameLimits, "Pool:"),
      txtPool(&frameLimits),
      lblPrefix(&frameLimits, "Number prefix:"),
      txtPrefix(&frameLimits),
      lblStatus(this),
      PgrBar(this),
      lstHits(makeHitView(this)),
      lblReplaceWith(this, "Replace with:"),
      txtReplaceWith(this),
      cmdReplace(this, "Replace..."),
      cmdPrint(this, "Print..."),
      state_(state),
      formInit_(formInit),
      hits_(new HitList(this, [this](std::vector<search::Result>& r, size_t from, size_t to) {
        return markBatch(r, from, to);
      })) {
  setCaption("Find");
  setOwnWindow();
  lstHits->setModel(hits_);
  setWindowIcon(ui::Bitmap("app_icon"));
  setWidth(13500);
  setHeight(8700);
  lblWords.Move(120, 165, 1200, 300);
  txtWords.Move(1380, 120, 10500, 360);
  cmdFind.Move(12060, 90, 1260, 420);
  frameLimits.Move(120, 600, 13200, 780);
  for (Kind k : bank::schema::kAllKinds) {
    const int i = static_cast<int>(k);
    auto& box = chkKind.add(new ui::CheckBox(&frameLimits, bank::schema::kindName(k), i));
    box.Move(180 + i * 930, 330, 870, 330);
    box.setChecked(true);
  }
  lblPool.Move(6000, 360, 600, 300);
  txtPool.Move(6630, 300, 2100, 360);
  lblPrefix.Move(8940, 360, 1650, 300);
  txtPrefix.Move(10620, 300, 2400, 360);
  lblStatus.Move(120, 1500, 8100, 300);
  PgrBar.Move(8400, 1500, 4920, 300);
  PgrBar.setVisible(false);
  lstHits->setGeometry(8, 122, 884, 410);
  lstHits->setItemDelegateForColumn(kHtmlColumn, new HtmlDelegate(lstHits));
  lstHits->setColumnWidth(0, 50);
  lstHits->setColumnWidth(1, 70);
  lstHits->setColumnWidth(2, 70);
  lstHits->setColumnWidth(3, 80);
  lblReplaceWith.Move(120, 8175, 1500, 300);
  txtReplaceWith.Move(1680, 8130, 9000, 360);
  cmdReplace.Move(10860, 8100, 1500, 420);
  cmdPrint.Move(12420, 8100, 900, 420);
  cmdPrint.setObjectName("cmdPrint");
  lstHits->setObjectName("lstHits");

  cmdFind.Click = [this] { cmdFind_Click(); };
  cmdReplace.Click = [this] { cmdReplace_Click(); };
  cmdPrint.Click = [this] { cmdPrint_Click(); };
  // Enter or a double click on a hit.
  connect(lstHits, &QAbstractItemView::activated, this,
          [this](const QModelIndex& index) { ui::runEvent([&] { OpenHit(index.row()); }); });
  connect(&txtWords, &QLineEdit::returnPressed, this, [this] { ui::runEvent([&] { cmdFind_Click(); }); });
  setDeleteOnUnload(true);
}

FormFind::~FormFind() { delete replace_.data(); }

FormReplace* FormFind::replaceWindow() const { return replace_.data(); }

void FormFind::cmdFind_Click() {
  query_ = search::parseQuery(QString::fromStdString(txtWords.Text()));
  hits_->reset({});
  if (query_.empty()) {
    lblStatus.setCaption("Type the words to find.");
    return;
  }
  if (const std::string tooLong = search::tooLongQuery(query_); !tooLong.empty()) {
    lblStatus.setCaption(tooLong);
    return;
  }
  search::index::Filter filter;
  for (Kind k : bank::schema::kAllKinds)
    if (chkKind[static_cast<int>(k)].Value()) filter.kinds.push_back(k);
  if (filter.kinds.size() == bank::schema::kAllKinds.size()) filter.kinds.clear();
  if (filter.kinds.empty() && !chkKind[0].Value()) {  // no kind chosen: nothing to search
    lblStatus.setCaption("Choose at least one kind.");
    return;
  }
  filter.pool = txtPool.Text();
  filter.numberPrefix = txtPrefix.Text();
  lblStatus.setCaption("Searching...");
  lblStatus.Refresh();
  setMousePointer(ui::MousePointer::Hourglass);
  struct Restore {
    FormFind* f;
    ~Restore() {
      f->setMousePointer(ui::MousePointer::Default);
      f->PgrBar.setVisible(false);
    }
  } restore{this};
  std::vector<search::Result> ranked =
      search::rankedHits(state_.pConn(), query_, filter, [this](int percent) {  // the first search builds the index
        PgrBar.setVisible(true);
        lblStatus.setCaption("Building the search index (once)...");
        lblStatus.Refresh();
        PgrBar.setValue(percent);
      });
  const size_t total = ranked.size();
  // An index that another program broke was made again for this search: said here and logged.
  const std::vector<std::string> repairs = store::takeExtensionRepairs(state_.pConn());
  for (const std::string& r : repairs) WriteLog(state_, state_.pLogTag + " ZORBEXEditor made again: " + r + ".");
  lblStatus.setCaption((total == 0 ? std::string("No question holds these words.")
                                   : std::to_string(total) + (total == 1 ? " hit" : " hits")) +
                       (repairs.empty() ? "" : " (the search index, which another program had changed, was built again)"));
  hits_->reset(std::move(ranked));
  if (hits_->rowCount() > 0) lstHits->setCurrentIndex(hits_->index(0, 0));
}

bool FormFind::markBatch(std::vector<search::Result>& results, size_t from, size_t to) {
  try {
    search::markPlaces(state_.pConn(), results, from, to, query_);
    return true;
  } catch (const store::DbError& e) {
    // Asked by the list while it scrolls: told here, not thrown through the view.
    lblStatus.setCaption("The next hits could not be read: " + e.description);
    return false;
  }
}

void FormFind::OpenHit(int row) {
  if (row < 0 || row >= hits_->rowCount()) return;
  const search::Result hit = hits_->at(static_cast<size_t>(row));
  editor::ShownQuestion* editor = showEditorOf(hit.kind, state_, formInit_);
  if (!editor) return;
  std::optional<editor::TextRange> range;
  if (!hit.ranges.empty()) range = editor::TextRange{hit.ranges.front().start, hit.ranges.front().length};
  editor->showAt(search::poolShown(hit.kind, hit.pool).toStdString(), hit.numQ, hit.field, range);
}

void FormFind::cmdPrint_Click() {
  editor::PrintRequest request;
  request.options.bankName = editor::bankLabel(state_.pConn());
  request.options.selection = QStringLiteral("hits of \u201c%1\u201d").arg(QString::fromStdString(txtWords.Text()));
  // Each question once, where its first hit stands.
  std::set<std::pair<bank::schema::Kind, std::string>> listed;
  for (const search::Result& hit : hits_->inView())
    if (listed.insert({hit.kind, hit.numQ}).second) request.questions.push_back({hit.kind, hit.numQ});
  editor::showPrintPreview(this, state_.pConn(), std::move(request));
}

void FormFind::cmdReplace_Click() {
  if (hits_->rowCount() == 0) {
    ui::MsgBox("Find the words to replace first.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Replace");
    return;
  }
  search::ReplacePlan plan = search::prepareReplace(state_.pConn(), hits_->inView(), query_);
  if (plan.occurrences.empty()) {
    ui::MsgBox("The words are no longer in these questions.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Replace");
    return;
  }
  delete replace_.data();
  replace_ = new FormReplace(state_, *this, std::move(plan), QString::fromStdString(txtReplaceWith.Text()));
  replace_->Show();
}

FormFind& showFindWindow(bank::ProgramState& state, ui::Form& formInit) {
  if (!g_find) {
    g_find = new FormFind(state, formInit);
    addFindShortcut(*g_find, state, formInit);
    // It works for the section window's program: it goes with it.
    QObject::connect(&formInit, &QObject::destroyed, [] { delete g_find.data(); });
  }
  g_find->Show();
  g_find->raise();
  g_find->activateWindow();
  g_find->txtWords.setFocus(Qt::OtherFocusReason);
  return *g_find;
}

void closeFindWindow() {
  if (!g_find) return;
  if (FormReplace* r = g_find->replaceWindow()) r->Unload();
  g_find->Unload();
}

void addFindShortcut(QWidget& window, bank::ProgramState& state, ui::Form& formInit) {
  auto* shortcut = new QShortcut(QKeySequence::Find, &window);
  QObject::connect(shortcut, &QShortcut::activated, &window,
                   [&state, &formInit] { ui::runEvent([&] { showFindWindow(state, formInit); }); });
}

}  // namespace app
