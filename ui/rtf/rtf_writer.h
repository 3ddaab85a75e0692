#pragma once
// Writes a QTextDocument as RTF of the shape the RichEdit control writes (RichEdit 3.0,
// which the 1.0-emulating control of the old clients reads as well).

#include <QByteArray>

class QTextDocument;

namespace ui::rtf {

// The same document always gives the same bytes. Pictures and objects that were read
// from RTF are written back as the groups they were read from.
QByteArray writeRtf(const QTextDocument& document);

}  // namespace ui::rtf
