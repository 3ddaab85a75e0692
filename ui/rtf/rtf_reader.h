#pragma once
// Reads RTF into a QTextDocument: text, fonts, sizes, bold, italic, underline,
// strike-out, super/subscript, colours, paragraphs and pictures.

#include <QByteArray>

class QTextDocument;

namespace ui::rtf {

// Replaces the content of `document` with what `rtf` holds. Malformed input (unbalanced
// braces, truncation, stray bytes) never fails: the document gets what could be read.
// Text that is not RTF at all is read as plain text.
void readRtf(const QByteArray& rtf, QTextDocument& document);

}  // namespace ui::rtf
