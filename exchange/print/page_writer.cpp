#include "page_writer.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>

namespace exchange::print {

namespace {

QFont frameFont() {
  QFont f(QStringLiteral("Verdana"));
  f.setPointSizeF(8);
  return f;
}

}  // namespace

PageWriter::PageWriter(QPagedPaintDevice& device, QString headerLeft, QString headerRight)
    : device_(device), headerLeft_(std::move(headerLeft)), headerRight_(std::move(headerRight)) {
  if (!painter_.begin(&device_)) return;
  width_ = device_.width();
  const QFontMetricsF metrics(frameFont(), &device_);
  const double line = metrics.lineSpacing();
  bodyTop_ = line * 2;
  footerTop_ = device_.height() - line;
  bodyHeight_ = footerTop_ - line - bodyTop_;
  gap_ = line * 1.5;
  startPage();
}

PageWriter::~PageWriter() {
  if (painter_.isActive()) painter_.end();
}

void PageWriter::prepare(QTextDocument& doc) const {
  doc.documentLayout()->setPaintDevice(&device_);
  doc.setTextWidth(width_);
}

void PageWriter::startPage() {
  if (page_ > 0) device_.newPage();
  ++page_;
  y_ = 0;
  drawFrame();
}

void PageWriter::drawFrame() {
  painter_.save();
  painter_.setFont(frameFont());
  painter_.setPen(QColor(0x50, 0x50, 0x50));
  const QFontMetricsF metrics(frameFont(), &device_);
  const double line = metrics.lineSpacing();
  const QRectF header(0, 0, width_, line);
  painter_.drawText(header, Qt::AlignLeft | Qt::AlignVCenter, headerLeft_);
  painter_.drawText(header, Qt::AlignRight | Qt::AlignVCenter, headerRight_);
  painter_.drawLine(QPointF(0, line * 1.3), QPointF(width_, line * 1.3));
  painter_.drawText(QRectF(0, footerTop_, width_, line), Qt::AlignHCenter | Qt::AlignVCenter,
                    QStringLiteral("Page %1").arg(page_));
  painter_.restore();
}

void PageWriter::draw(QTextDocument& doc, double at, double scale) {
  painter_.save();
  painter_.translate(0, bodyTop_ + at);
  painter_.scale(scale, scale);
  doc.drawContents(&painter_);
  painter_.restore();
}

namespace {

// Where a block's lines stand in the document: its layout's position within the frames.
QPointF linesOrigin(QAbstractTextDocumentLayout& layout, const QTextBlock& b) {
  return layout.blockBoundingRect(b).topLeft() - b.layout()->boundingRect().topLeft();
}

}  // namespace

void PageWriter::drawLines(QTextDocument& doc, double from, double to, double at, double scale) {
  // Line by line: the document's own drawing puts every line near a clip into the page, where
  // a line clipped away would still stand in the page's text.
  painter_.save();
  painter_.translate(0, bodyTop_ + at);
  painter_.scale(scale, scale);
  painter_.translate(0, -from);
  painter_.setPen(Qt::black);
  QAbstractTextDocumentLayout* layout = doc.documentLayout();
  const double slack = 0.5;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    if (!b.layout()) continue;
    const QPointF origin = linesOrigin(*layout, b);
    for (int i = 0; i < b.layout()->lineCount(); ++i) {
      const QTextLine l = b.layout()->lineAt(i);
      const double top = origin.y() + l.y();
      if (top >= from - slack && top + l.height() <= to + slack) l.draw(&painter_, origin);
    }
  }
  painter_.restore();
}

std::vector<double> PageWriter::lineBottoms(QTextDocument& doc) {
  std::vector<double> bottoms;
  QAbstractTextDocumentLayout* layout = doc.documentLayout();
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    const QTextLayout* lines = b.layout();
    if (!lines) continue;
    const double origin = linesOrigin(*layout, b).y();
    for (int i = 0; i < lines->lineCount(); ++i) {
      const QTextLine l = lines->lineAt(i);
      bottoms.push_back(origin + l.y() + l.height());
    }
  }
  std::sort(bottoms.begin(), bottoms.end());
  return bottoms;
}

double PageWriter::prepareUnwrapped(QTextDocument& doc) const {
  prepare(doc);
  QTextOption option = doc.defaultTextOption();
  option.setWrapMode(QTextOption::NoWrap);
  doc.setDefaultTextOption(option);
  doc.setTextWidth(-1);
  const double ideal = doc.idealWidth();
  doc.setTextWidth(std::max(ideal, width_));
  return ideal <= width_ ? 1 : width_ / ideal;
}

void PageWriter::keepTogether(double height) {
  if (painter_.isActive() && y_ > 0 && y_ + height > bodyHeight_ && height <= bodyHeight_) startPage();
}

void PageWriter::place(QTextDocument& doc, double scale) {
  if (!painter_.isActive()) return;
  // Heights on the page; the cuts in the document's own coordinates.
  const double height = doc.size().height() * scale;
  if (y_ > 0 && y_ + height > bodyHeight_) startPage();
  if (height <= bodyHeight_) {
    draw(doc, y_, scale);
    y_ += height + gap_;
    return;
  }
  // Longer than a page: as much as fits, cut below the last whole line, then the rest.
  const std::vector<double> bottoms = lineBottoms(doc);
  const double docHeight = doc.size().height(), page = bodyHeight_ / scale;
  double from = 0;
  while (from < docHeight) {
    double to = std::min(docHeight, from + page);
    if (to < docHeight) {
      const auto last = std::upper_bound(bottoms.begin(), bottoms.end(), to);
      if (last != bottoms.begin() && *(last - 1) > from) to = *(last - 1);
    }
    drawLines(doc, from, to, y_, scale);
    y_ += (to - from) * scale;
    from = to;
    if (from < docHeight) startPage();
  }
  y_ += gap_;
}

bool PageWriter::finish() {
  if (!painter_.isActive()) return false;
  return painter_.end();
}

}  // namespace exchange::print
