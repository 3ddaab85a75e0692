#pragma once
// A rich-text document as the XHTML that QTI items carry, and back: paragraphs, line breaks,
// bold, italic, underline, subscript, superscript and pictures. What XHTML cannot hold of a
// run (its font and size) is given as runs beside it, for a package's metadata.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QTextDocument;
class QXmlStreamReader;
class QXmlStreamWriter;

namespace ui::rtf {

// Where a picture of the document goes: given its bytes and a file suffix ("png", "jpg", or
// "rtf" for a picture group that only RTF can show), returns the address written as its src.
using PictureOut = std::function<QString(const QByteArray& data, const QString& suffix)>;
// The bytes of the picture at src; nothing when there is none.
using PictureIn = std::function<std::optional<QByteArray>(const QString& src)>;

// Writes every paragraph of the document as a <p> element in the writer's default namespace.
void writeXhtml(const QTextDocument& document, QXmlStreamWriter& xml, const PictureOut& picture);

// The font and size of a stretch of the document, by its positions in the document.
struct FontRun {
  int at = 0;
  int length = 0;
  QString font;
  int halfPoints = 0;
  int charset = -1;  // -1: none recorded
};
std::vector<FontRun> fontRuns(const QTextDocument& document);
// Gives the stretches their fonts and sizes again. False (and nothing changed) when a run lies
// outside the document, as when its text was changed elsewhere.
bool applyFontRuns(QTextDocument& document, const std::vector<FontRun>& runs);

// Reads XHTML into a document, appending. The text of an element that XHTML does not know is
// read as it stands; elements in `refused` stop the reading with an error that names them.
class XhtmlReader {
 public:
  XhtmlReader(QTextDocument& document, PictureIn picture);
  ~XhtmlReader();
  XhtmlReader(const XhtmlReader&) = delete;
  XhtmlReader& operator=(const XhtmlReader&) = delete;

  // Element names (local) that end the reading with an error when met.
  void refuse(std::vector<QString> names);
  // Elements of this class are passed over with all they hold (labels that are shown, not stored).
  void skipClass(QString name);
  // Reads the start element the reader stands on and all it holds, through its end.
  bool readElement(QXmlStreamReader& xml);
  // Reads what the element the reader stands on holds, up to and including its end.
  bool readContent(QXmlStreamReader& xml);
  // Why the reading stopped; empty while it has not.
  const QString& error() const;

 private:
  struct State;
  State* s_;
};

// The RTF picture group for a PNG or JPEG file, width and height in pixels (0: the picture's
// own); empty for bytes of another kind.
QByteArray pictureGroup(const QByteArray& data, double width, double height);

}  // namespace ui::rtf
