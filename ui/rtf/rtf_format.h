#pragma once
// What the RTF reader stores in a QTextDocument beyond Qt's own formatting, so that the
// writer can give back what it read; and the plain-text view of a document.

#include <QString>
#include <QTextFormat>

class QTextDocument;
class QTextCharFormat;

namespace ui::rtf {

enum Property : int {
  // Character formats.
  kCharset = QTextFormat::UserProperty + 1,         // int: \fcharset of the run's font entry
  kUnderlineWord = QTextFormat::UserProperty + 2,   // QString: "ul", "uld", "uldb", ...
  kOffset = QTextFormat::UserProperty + 3,          // int: \up (> 0) or \dn (< 0) in half-points
  kRawGroup = QTextFormat::UserProperty + 4,        // QByteArray: a picture or object group as read
  // Block formats.
  kLineSpacing = QTextFormat::UserProperty + 5,     // int: \sl in twips
  kLineMultiple = QTextFormat::UserProperty + 6,    // int: \slmult
};

// Sets underlining from an RTF underline control word ("" or "ulnone" for none), keeping
// the word for the writer and the nearest Qt style for display.
void setUnderline(QTextCharFormat& format, const QString& word);
// The underline control word a format is written with ("" when not underlined).
QString underlineWord(const QTextCharFormat& format);
// True for every kind of underline, not only the single line.
bool isUnderlined(const QTextCharFormat& format);

// The family name a run was given, not the font the system would substitute.
// The font of text whose format names none: the document's default font, or the font
// RichEdit starts with where the document's default has no name.
QString defaultFontName(const QTextDocument& document);
QString fontName(const QTextCharFormat& format);

// The document's text with each break between paragraphs and each line break in one written
// as lineBreak; none after the last paragraph.
QString documentText(const QTextDocument& document, const QString& lineBreak);
// The document as the rich-text box's Text gives it: paragraphs and line breaks as CR LF.
QString boxText(const QTextDocument& document);

}  // namespace ui::rtf
