#include "html_delegate.h"

#include <QPainter>
#include <QTextDocument>

namespace app {

void HtmlDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
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

}  // namespace app
