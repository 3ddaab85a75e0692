#pragma once
// Puts laid-out documents on pages one after another: a header with the bank and the
// selection, the page number in the footer. A document that fits a page is never split: it
// goes to the next page when the rest of this one is too short. One longer than a page starts
// on a page of its own and runs on, cut between its lines (drawn line by line: the
// text alone, without table borders or backgrounds).

#include <QPagedPaintDevice>
#include <QPainter>
#include <QString>
#include <QTextDocument>

#include <vector>

namespace exchange::print {

class PageWriter {
 public:
  // Paints on device from its first page; the painter is begun here and ended by finish().
  PageWriter(QPagedPaintDevice& device, QString headerLeft, QString headerRight);
  PageWriter(const PageWriter&) = delete;
  PageWriter& operator=(const PageWriter&) = delete;
  ~PageWriter();

  // Readies doc to be laid out for the page: its fonts measured on the device, its width the page's.
  void prepare(QTextDocument& doc) const;
  // Places a document prepared for the page below what stands on the page already.
  // Readies a document whose line breaks are its own (a passage with numbered lines): its lines
  // are not wrapped again. The scale at which it fits the page's width (1 where it does).
  double prepareUnwrapped(QTextDocument& doc) const;
  // Places a document prepared for the page below what stands on the page already.
  void place(QTextDocument& doc, double scale = 1);
  // Starts the next page unless `height` fits below what stands on this one (or fits no page):
  // what must stay together (a passage and its first question).
  void keepTogether(double height);
  double gap() const { return gap_; }
  // Ends the last page. False when the device could not be painted on (an unwritable file).
  bool finish();

  bool active() const { return painter_.isActive(); }
  int pages() const { return page_; }
  double bodyHeight() const { return bodyHeight_; }

  // Where a document longer than a page is cut, in its coordinates: the bottom of every line.
  static std::vector<double> lineBottoms(QTextDocument& doc);

 private:
  void startPage();
  void drawFrame();
  void draw(QTextDocument& doc, double at, double scale);
  // The lines of doc that stand wholly between from and to (its coordinates), at `at` in the body.
  void drawLines(QTextDocument& doc, double from, double to, double at, double scale);

  QPagedPaintDevice& device_;
  QPainter painter_;
  QString headerLeft_, headerRight_;
  double width_ = 0, bodyTop_ = 0, bodyHeight_ = 0, footerTop_ = 0;
  double y_ = 0;  // in the body, from its top
  double gap_ = 0;
  int page_ = 0;
};

}  // namespace exchange::print
