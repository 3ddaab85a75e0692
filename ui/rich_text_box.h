#pragma once
// The rich-text box: a QTextEdit whose content is read and written as RTF and whose
// text and selection are addressed the way the windows' logic expects: positions count
// the characters of Text, where a paragraph break is CR LF.

#include <QByteArray>
#include <QString>
#include <QTextCharFormat>
#include <QTextEdit>

#include <optional>
#include <vector>

#include "controls/controls.h"

namespace ui {

// A control like the others: twips geometry, and Click run through the event gate.
class RichTextBox : public Control<QTextEdit> {
 public:
  explicit RichTextBox(QWidget* parent = nullptr);

  // The whole content as RTF. Setting an empty value empties the box; the caret goes to
  // the start.
  QByteArray TextRTF() const;
  void setTextRTF(const QByteArray& rtf);

  // Plain text: paragraphs separated by CR LF, no break after the last one.
  QString Text() const;
  // Replaces the content with plain text in the box's default font; formatting is lost.
  void setText(const QString& text);
  int TextLength() const;

  // The selection, in positions of Text (0-based). Setting the start clears the length;
  // values are clamped to the text.
  int SelStart() const;
  void setSelStart(int start);
  int SelLength() const;
  void setSelLength(int length);
  QString SelText() const;
  // Replaces the selection, in the formatting of its first character; the caret ends
  // after the new text.
  void setSelText(const QString& text);

  // Formatting of the selection (of the caret when nothing is selected). The name is
  // empty and the size and underline are absent where the selection mixes them.
  QString SelFontName() const;
  void setSelFontName(const QString& name);
  std::optional<double> SelFontSize() const;
  void setSelFontSize(double points);
  std::optional<bool> SelUnderline() const;
  void setSelUnderline(bool on);

  // Searches Text for `text` from position `start`; selects the match and returns its
  // position, or -1.
  int Find(const QString& text, int start = 0, bool matchCase = false);

  // Selection work in a row (a whole-pool conversion): the text is laid out and the caret
  // shown once, when the last Batch ends, instead of after every step. Within a batch the
  // box may also be given new content (setTextRTF) several times.
  class Batch {
   public:
    explicit Batch(RichTextBox& box);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    RichTextBox& box_;
  };

  bool Border() const;
  void setBorder(bool on);

  // The font of text set with setText and of an emptied box.
  void setDefaultFont(const QString& name, double points);
  void Refresh() { viewport()->update(); }
  // Shows the text from its first line (a box lower than a line would otherwise show the
  // caret's line cut at the top).
  void ScrollToTop();

  // Raises Click as a user's click does.
  void Press();
  Handler Click;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // Typed and pasted text takes the formatting of the text around it.
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  int docPosition(int textPosition) const;
  int textPosition(int docPosition) const;
  void select(int textStart, int textLength);
  // Calls `visit` with the format of every character in document range [from, to).
  template <class Visit>
  void forEachFormat(int from, int to, Visit visit) const;
  template <class T, class Get>
  std::optional<T> selectionValue(Get get) const;
  // The formatting that text put in at `cursor` gets: that of the first selected
  // character, of the character before the caret, or (at the start of a paragraph) of the
  // paragraph's first character; in an empty paragraph, the text before it. Anything the
  // formatting leaves unnamed comes from the box's default.
  QTextCharFormat typingFormat(const QTextCursor& cursor) const;
  // Replaces the selection, if any, and makes typingFormat the caret's formatting.
  void prepareTyping();
  void insertPlain(QTextCursor& cursor, const QString& text, const QTextCharFormat& format);
  void resetToDefault();
  // Text and the Text position of every document position, made again only after the
  // content changed: selection work goes character by character over long texts.
  void buildPositions() const;
  // Whether putting `text` in makes or removes a paragraph or line break.
  static bool breaksParagraph(const QString& text);
  // The positions after `removed` characters at document position docFrom (Text position
  // textFrom, no break among them) were replaced by `inserted` (no break in it either).
  void movePositions(int docFrom, int removed, int textFrom, const QString& inserted);
  // The document that operations work on: a batch's copy, or the one shown.
  QTextDocument* doc() const;
  QTextCursor selection() const;
  void setSelection(const QTextCursor& c);
  void mergeSelectionFormat(const QTextCharFormat& f);
  void adoptDocument(QTextDocument* doc);
  // Whatever changes in `doc` makes the positions and the written RTF be made again.
  void watch(QTextDocument* doc);
  void contentChanged();

  QTextCharFormat defaultFormat_;
  mutable bool positionsValid_ = false;
  // TextRTF as last written, until the content changes: leaving a question compares what
  // the boxes show with what was loaded, and a long text is written once, not on every look.
  mutable QByteArray rtf_;
  mutable bool rtfValid_ = false;
  int batchDepth_ = 0;
  QTextDocument* batchDoc_ = nullptr;  // owned by the box while a batch runs
  QTextCursor batchCursor_;
  QTextCursor batchEdit_;  // holds the batch document's edit block open
  void setBatchDocument(QTextDocument* doc);
  mutable QString text_;
  mutable std::vector<int> textAt_;  // by document position, 0 .. characterCount - 1
};

}  // namespace ui
