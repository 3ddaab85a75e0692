#include "form_replace.h"

#include <algorithm>

#include "controls/dialogs.h"
#include "db_error.h"
#include "form_find.h"
#include "html_delegate.h"
#include "shown_question.h"

namespace app {

namespace {

QTreeWidget* makeList(QWidget* parent, const QStringList& headers) {
  auto* list = new QTreeWidget(parent);
  list->setHeaderLabels(headers);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setAlternatingRowColors(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  return list;
}

}  // namespace

FormReplace::FormReplace(bank::ProgramState& state, FormFind& find, search::ReplacePlan plan, const QString& with)
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
    auto* item = new QTreeWidgetItem({"", bank::schema::kindName(o.kind), QString::fromStdString(o.numQ),
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

}  // namespace app
