#include "form_find.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTextEdit>

#include "controls/dialogs.h"
#include "db_error.h"
#include "awa/form_awa_edit.h"
#include "kind_windows.h"
#include "question_editor.h"
#include "shown_question.h"

namespace app {

namespace {

using store::schema::Kind;

constexpr int kHtmlColumn = 4;

// Paints a column's text as rich text (the snippets, with the found words marked).
class HtmlDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString html = opt.text;
    opt.text.clear();
    opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    QTextDocument doc;
    doc.setDefaultFont(opt.font);
    doc.setDocumentMargin(0);
    doc.setHtml(html);
    painter->save();
    painter->translate(opt.rect.left() + 3, opt.rect.top() + (opt.rect.height() - doc.size().height()) / 2);
    painter->setClipRect(QRect(QPoint(0, 0), opt.rect.size()));
    doc.drawContents(painter);
    painter->restore();
  }
};

QString snippetHtml(const search::Result& r) {
  QString html;
  for (const search::SnippetPart& p : search::snippet(r.plain, r.ranges))
    html += p.marked ? "<b style=\"background-color:#ffe27a\">" + p.text.toHtmlEscaped() + "</b>" : p.text.toHtmlEscaped();
  return html;
}

QTreeWidget* makeList(QWidget* parent, const QStringList& headers) {
  auto* list = new QTreeWidget(parent);
  list->setHeaderLabels(headers);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAlternatingRowColors(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  return list;
}

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

// The editor window of a kind that is on screen, if any; and whether any editor is.
ui::Form* shownEditor(Kind* kind) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible()) continue;
    if (auto* e = dynamic_cast<editor::QuestionEditor*>(w)) {
      *kind = e->kind().kind;
      return e;
    }
    if (auto* e = dynamic_cast<kinds::FormAWAEdit*>(w)) {
      *kind = Kind::AWA;
      return e;
    }
  }
  return nullptr;
}

template <class List>
int entryIndex(const List& list, const std::string& text) {
  for (int i = 0; i < list.ListCount(); ++i)
    if (store::equalsIgnoringCase(list.List(i), text)) return i;
  return -1;
}

// Chooses the pool and then the question in the editor's lists, as the user would.
template <class Editor>
void goToQuestion(Editor& w, const std::string& pool, const std::string& numQ) {
  const int p = entryIndex(w.cmbPool, pool);
  if (p < 0) throw store::DbError(store::err::Generic, "The pool '" + pool + "' is not in the editor's list.");
  if (w.cmbPool.ListIndex() != p) w.cmbPool.setListIndex(p);
  const int q = entryIndex(w.lstQuestion, numQ);
  if (q < 0) throw store::DbError(store::err::Generic, "Question " + numQ + " is not in the editor's list.");
  if (w.lstQuestion.ListIndex() != q) w.lstQuestion.setListIndex(q);
}

// The box of the editor that shows a field.
QWidget* boxOf(ui::Form& editor, Kind kind, const std::string& field) {
  if (kind == Kind::AWA) return &static_cast<kinds::FormAWAEdit&>(editor).rtxtQuestion;
  QString name;
  if (field == "question") name = "rtxtQuestion";
  else if (field == "reading") name = "rtxtPassage";
  else if (field.starts_with("statement")) name = QString("rtxtState%1").arg(std::stoi(field.substr(9)) - 1);
  else if (field.starts_with("choice")) {
    const int i = field.back() - 'A';
    QWidget* rich = editor.findChild<QWidget*>(QString("rtxtAnswer%1").arg(i));
    return rich ? rich : editor.findChild<QWidget*>(QString("txtAnswer%1").arg(i));
  }
  return editor.findChild<QWidget*>(name);
}

void selectIn(QWidget* box, const search::Range& range) {
  auto select = [&](QTextDocument* doc, auto* edit) {
    QTextCursor c(doc);
    c.setPosition(std::min(range.start, doc->characterCount() - 1));
    c.setPosition(std::min(range.start + range.length, doc->characterCount() - 1), QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
    edit->ensureCursorVisible();
  };
  if (auto* rich = qobject_cast<QTextEdit*>(box)) select(rich->document(), rich);
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) select(plain->document(), plain);
  else return;
  box->setFocus(Qt::OtherFocusReason);
}

QPointer<FormFind> g_find;

}  // namespace

// ----- The list of hits

void HitList::reset(std::vector<search::Result> hits) {
  beginResetModel();
  hits_ = std::move(hits);
  shown_ = 0;
  failed_ = false;
  endResetModel();
  if (canFetchMore({})) fetchMore({});
}

QVariant HitList::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const search::Result& r = hits_[static_cast<size_t>(index.row())];
  switch (index.column()) {
    case 0: return QString(store::schema::kindName(r.kind));
    case 1: return QString::fromStdString(r.numQ);
    case 2: return search::poolShown(r.kind, r.pool);
    case 3: return search::whereOf(r.kind, r.field);
    default: return snippetHtml(r);
  }
}

QVariant HitList::headerData(int section, Qt::Orientation orientation, int role) const {
  static const char* const kHeaders[] = {"Kind", "Number", "Pool", "Where", "Text"};
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= 5) return {};
  return QString(kHeaders[section]);
}

bool HitList::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !failed_ && shown_ < hits_.size();
}

void HitList::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  const size_t end = std::min(hits_.size(), shown_ + (shown_ == 0 ? search::kFirstBatch : search::kBatch));
  if (!mark_(hits_, shown_, end)) {
    failed_ = true;
    return;
  }
  beginInsertRows({}, static_cast<int>(shown_), static_cast<int>(end) - 1);
  shown_ = end;
  endInsertRows();
}

// ----- Find

FormFind::FormFind(store::ProgramState& state, ui::Form& formInit)
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
  for (Kind k : store::schema::kAllKinds) {
    const int i = static_cast<int>(k);
    auto& box = chkKind.add(new ui::CheckBox(&frameLimits, store::schema::kindName(k), i));
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
  lstHits->setObjectName("lstHits");

  cmdFind.Click = [this] { cmdFind_Click(); };
  cmdReplace.Click = [this] { cmdReplace_Click(); };
  // Enter or a double click on a hit.
  connect(lstHits, &QAbstractItemView::activated, this,
          [this](const QModelIndex& index) { ui::runEvent([&] { OpenHit(index.row()); }); });
  connect(&txtWords, &QLineEdit::returnPressed, this, [this] { ui::runEvent([&] { cmdFind_Click(); }); });
  setDeleteOnUnload(true);
}

FormFind::~FormFind() { delete replace_.data(); }

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
  store::search_index::Filter filter;
  for (Kind k : store::schema::kAllKinds)
    if (chkKind[static_cast<int>(k)].Value()) filter.kinds.push_back(k);
  if (filter.kinds.size() == store::schema::kAllKinds.size()) filter.kinds.clear();
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
  lblStatus.setCaption(total == 0 ? std::string("No question holds these words.")
                                  : std::to_string(total) + (total == 1 ? " hit" : " hits"));
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
  ui::Form* editor = showEditorOf(hit.kind, state_, formInit_);
  if (!editor) return;
  if (hit.kind == Kind::AWA)
    goToQuestion(static_cast<kinds::FormAWAEdit&>(*editor), search::poolShown(hit.kind, hit.pool).toStdString(), hit.numQ);
  else
    goToQuestion(static_cast<editor::QuestionEditor&>(*editor), hit.pool, hit.numQ);
  editor->raise();
  editor->activateWindow();
  if (!hit.ranges.empty())
    if (QWidget* box = boxOf(*editor, hit.kind, hit.field)) selectIn(box, hit.ranges.front());
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

// ----- Replace

FormReplace::FormReplace(store::ProgramState& state, FormFind& find, search::ReplacePlan plan, const QString& with)
    : lblPlaces(this),
      lstPlaces(makeList(this, {"", "Kind", "Number", "Where", "In its context"})),
      cmdAccept(this, "Accept"),
      cmdSkip(this, "Skip"),
      cmdApply(this, "Replace"),
      cmdCancel(this, "Cancel"),
      state_(state),
      find_(find),
      plan_(std::move(plan)),
      with_(with) {
  setCaption("Replace");
  setOwnWindow();
  setWindowIcon(ui::Bitmap("app_icon"));
  setWidth(13500);
  setHeight(7200);
  lblPlaces.setCaption(std::to_string(plan_.occurrences.size()) + " places; each accepted place becomes \"" +
                       with.toStdString() + "\".");
  lblPlaces.Move(120, 150, 13200, 300);
  lstPlaces->setGeometry(8, 34, 884, 390);
  lstPlaces->setItemDelegateForColumn(4, new HtmlDelegate(lstPlaces));
  lstPlaces->setColumnWidth(0, 30);
  lstPlaces->setColumnWidth(1, 50);
  lstPlaces->setColumnWidth(2, 70);
  lstPlaces->setColumnWidth(3, 80);
  lstPlaces->setObjectName("lstPlaces");
  for (const search::Occurrence& o : plan_.occurrences) {
    const QString context = o.before.toHtmlEscaped() + "<s>" + o.found.toHtmlEscaped() + "</s><b style=\"background-color:#c6f0c2\">" +
                            with.toHtmlEscaped() + "</b>" + o.after.toHtmlEscaped();
    auto* item = new QTreeWidgetItem({"", store::schema::kindName(o.kind), QString::fromStdString(o.numQ),
                                      search::whereOf(o.kind, o.field), context});
    item->setCheckState(0, Qt::Checked);
    lstPlaces->addTopLevelItem(item);
  }
  lstPlaces->setCurrentItem(lstPlaces->topLevelItem(0));
  cmdAccept.Move(120, 6600, 1300, 420);
  cmdSkip.Move(1560, 6600, 1300, 420);
  cmdApply.Move(10500, 6600, 1350, 420);
  cmdCancel.Move(12000, 6600, 1350, 420);
  cmdAccept.Click = [this] { cmdAccept_Click(); };
  cmdSkip.Click = [this] { cmdSkip_Click(); };
  cmdApply.Click = [this] { cmdApply_Click(); };
  cmdCancel.Click = [this] { cmdCancel_Click(); };
  setDeleteOnUnload(true);
}

void FormReplace::decide(bool accept) {
  QTreeWidgetItem* item = lstPlaces->currentItem();
  if (!item) return;
  item->setCheckState(0, accept ? Qt::Checked : Qt::Unchecked);
  const int next = lstPlaces->indexOfTopLevelItem(item) + 1;
  if (next < lstPlaces->topLevelItemCount()) lstPlaces->setCurrentItem(lstPlaces->topLevelItem(next));
}

std::vector<bool> FormReplace::accepted() const {
  std::vector<bool> out;
  for (int i = 0; i < lstPlaces->topLevelItemCount(); ++i)
    out.push_back(lstPlaces->topLevelItem(i)->checkState(0) == Qt::Checked);
  return out;
}

void FormReplace::cmdApply_Click() {
  const std::vector<bool> chosen = accepted();
  if (std::find(chosen.begin(), chosen.end(), true) == chosen.end()) {
    ui::MsgBox("No place is accepted: nothing to replace.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Replace");
    return;
  }
  int written = 0;
  try {
    written = search::applyReplace(state_.pConn(), plan_, chosen, with_);
  } catch (const store::DbError& e) {
    ui::MsgBox(e.description, ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Replace");
    return;
  }
  // An editor that shows a replaced question without edits shows it again; one with edits
  // merges the replacement when they are saved.
  for (size_t i = 0; i < chosen.size(); ++i)
    if (chosen[i])
      for (editor::ShownQuestion* e : editor::editorsShowing(plan_.occurrences[i].kind, plan_.occurrences[i].numQ))
        e->storedChanged(plan_.occurrences[i].numQ);
  ui::MsgBox(std::to_string(written) + (written == 1 ? " place was" : " places were") + " replaced.",
             ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Replace");
  FormFind& find = find_;
  Unload();
  find.cmdFind_Click();  // the hits as they now stand
}

ui::Form* showEditorOf(Kind kind, store::ProgramState& state, ui::Form& formInit) {
  Kind shownKind{};
  ui::Form* editor = shownEditor(&shownKind);
  if (editor && shownKind != kind) {
    editor->Unload();  // saves or asks as closing it does; the section window comes back
    editor = nullptr;
  }
  if (editor) return editor;
  KindWindowFactory make = kindWindow(kind);
  if (!make) return nullptr;
  editor = make(state, formInit);
  addFindShortcut(*editor, state, formInit);
  try {
    editor->Show();
  } catch (...) {
    if (!editor->Loaded()) delete editor;
    throw;
  }
  formInit.Hide();
  return editor;
}

FormFind& showFindWindow(store::ProgramState& state, ui::Form& formInit) {
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

void addFindShortcut(QWidget& window, store::ProgramState& state, ui::Form& formInit) {
  auto* shortcut = new QShortcut(QKeySequence::Find, &window);
  QObject::connect(shortcut, &QShortcut::activated, &window,
                   [&state, &formInit] { ui::runEvent([&] { showFindWindow(state, formInit); }); });
}

}  // namespace app
