#include "hit_list.h"

#include "schema.h"

namespace app {

namespace {

QString snippetHtml(const search::Result& r) {
  QString html;
  for (const search::SnippetPart& p : search::snippet(r.plain, r.ranges))
    html += p.marked ? "<b style=\"background-color:#ffe27a\">" + p.text.toHtmlEscaped() + "</b>" : p.text.toHtmlEscaped();
  return html;
}

}  // namespace

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
    case 0: return QString(bank::schema::kindName(r.kind));
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

}  // namespace app
