#pragma once
// The hits of a Find: kind, number, pool, where and a snippet with the words marked.

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "bank_search.h"

namespace app {

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

}  // namespace app
