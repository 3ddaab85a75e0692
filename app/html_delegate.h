#pragma once
// The lists of Find and Replace show text with words marked: a column painted as rich text.

#include <QStyledItemDelegate>

namespace app {

// Paints a column's text as rich text (the snippets, with the found words marked).
class HtmlDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace app
