#include "rtf_xhtml.h"

#include <QBuffer>
#include <QImageReader>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>

#include "rtf_format.h"

namespace ui::rtf {

namespace {

// Characters that XML 1.0 cannot hold are left out, as the RTF writer leaves out control
// characters; a tab stays.
QString xmlSafe(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      out += c;
      out += text[++i];
      continue;
    }
    if (c.isSurrogate() || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF) continue;
    if (c.unicode() < 0x20 && c != '\t') continue;
    out += c;
  }
  return out;
}

bool isPng(const QByteArray& d) { return d.startsWith("\x89PNG\r\n\x1a\n"); }
bool isJpeg(const QByteArray& d) { return d.startsWith("\xff\xd8\xff"); }

// QTI takes whole pixels for a picture's size.
QString pixels(double v) { return QString::number(std::max(1L, std::lround(v))); }

void writeFragmentText(QXmlStreamWriter& xml, const QString& text) {
  const QStringList lines = text.split(QChar::LineSeparator);
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i > 0) xml.writeEmptyElement(QStringLiteral("br"));
    if (!lines[i].isEmpty()) xml.writeCharacters(xmlSafe(lines[i]));
  }
}

void writeFragment(const QTextDocument& doc, const QTextFragment& fragment, QXmlStreamWriter& xml,
                   const PictureOut& picture) {
  const QTextCharFormat fmt = fragment.charFormat();
  int open = 0;
  auto start = [&](const char* name, const char* cls = nullptr) {
    xml.writeStartElement(QLatin1String(name));
    if (cls) xml.writeAttribute(QStringLiteral("class"), QLatin1String(cls));
    ++open;
  };
  if (fmt.fontWeight() > QFont::Medium) start("b");
  if (fmt.fontItalic()) start("i");
  // XHTML in QTI has no underline element: a class says it.
  if (isUnderlined(fmt)) start("span", "underline");
  const int offset = fmt.intProperty(kOffset);
  if (offset > 0 || (offset == 0 && fmt.verticalAlignment() == QTextCharFormat::AlignSuperScript)) start("sup");
  if (offset < 0 || (offset == 0 && fmt.verticalAlignment() == QTextCharFormat::AlignSubScript)) start("sub");
  if (fmt.isImageFormat()) {
    const QTextImageFormat image = fmt.toImageFormat();
    const QByteArray data = doc.resource(QTextDocument::ImageResource, QUrl(image.name())).toByteArray();
    const QByteArray raw = fmt.property(kRawGroup).toByteArray();
    for (qsizetype i = 0; i < fragment.length(); ++i) {
      // A picture that only RTF can show (a metafile, an object) travels as its RTF group.
      QString src;
      if (isPng(data))
        src = picture(data, QStringLiteral("png"));
      else if (isJpeg(data))
        src = picture(data, QStringLiteral("jpg"));
      else if (!raw.isEmpty())
        src = picture(raw, QStringLiteral("rtf"));
      else
        continue;
      xml.writeEmptyElement(QStringLiteral("img"));
      xml.writeAttribute(QStringLiteral("src"), src);
      xml.writeAttribute(QStringLiteral("alt"), QString());
      if (image.width() > 0) xml.writeAttribute(QStringLiteral("width"), pixels(image.width()));
      if (image.height() > 0) xml.writeAttribute(QStringLiteral("height"), pixels(image.height()));
    }
  } else {
    writeFragmentText(xml, fragment.text());
  }
  while (open-- > 0) xml.writeEndElement();
}

}  // namespace

void writeXhtml(const QTextDocument& document, QXmlStreamWriter& xml, const PictureOut& picture) {
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    xml.writeStartElement(QStringLiteral("p"));
    for (auto it = block.begin(); !it.atEnd(); ++it) writeFragment(document, it.fragment(), xml, picture);
    xml.writeEndElement();
  }
}

std::vector<FontRun> fontRuns(const QTextDocument& document) {
  std::vector<FontRun> runs;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      const QTextCharFormat fmt = f.charFormat();
      FontRun run{f.position(), f.length(), fontName(fmt),
                  static_cast<int>(std::lround(fmt.fontPointSize() * 2)),
                  fmt.hasProperty(kCharset) ? fmt.intProperty(kCharset) : -1};
      if (!runs.empty()) {
        FontRun& last = runs.back();
        if (last.font == run.font && last.halfPoints == run.halfPoints && last.charset == run.charset) {
          last.length = run.at + run.length - last.at;
          continue;
        }
      }
      runs.push_back(run);
    }
  }
  return runs;
}

bool applyFontRuns(QTextDocument& document, const std::vector<FontRun>& runs) {
  const int end = document.characterCount() - 1;
  for (const FontRun& r : runs)
    if (r.at < 0 || r.length < 0 || r.at > end || r.length > end - r.at) return false;
  QTextCursor cursor(&document);
  for (const FontRun& r : runs) {
    cursor.setPosition(r.at);
    cursor.setPosition(r.at + r.length, QTextCursor::KeepAnchor);
    QTextCharFormat f;
    if (!r.font.isEmpty()) f.setFontFamilies(QStringList{r.font});
    if (r.halfPoints > 0) f.setFontPointSize(r.halfPoints / 2.0);
    if (r.charset >= 0) f.setProperty(kCharset, r.charset);
    cursor.mergeCharFormat(f);
  }
  return true;
}

QByteArray pictureGroup(const QByteArray& data, double width, double height) {
  const char* blip = isPng(data) ? "\\pngblip" : isJpeg(data) ? "\\jpegblip" : nullptr;
  if (!blip) return {};
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  const QSize size = QImageReader(&buffer).size();
  const double w = width > 0 ? width : size.width() > 0 ? size.width() : 1;
  const double h = height > 0 ? height : size.height() > 0 ? size.height() : 1;
  auto num = [](double v) { return QByteArray::number(static_cast<qlonglong>(std::lround(v))); };
  QByteArray group = QByteArray("{\\pict") + blip + "\\picw" + num(size.width() > 0 ? size.width() : w) + "\\pich" +
                     num(size.height() > 0 ? size.height() : h) + "\\picwgoal" + num(w * 15) + "\\pichgoal" +
                     num(h * 15) + "\r\n";
  group += data.toHex();
  group += '}';
  return group;
}

struct XhtmlReader::State {
  QTextDocument& doc;
  PictureIn picture;
  QTextCursor cursor;
  std::vector<QTextCharFormat> formats;
  std::vector<QString> refused;
  QString skipped;
  QString error;
  bool started = false;
  bool needBreak = false;
  int pictures = 0;

  State(QTextDocument& d, PictureIn p) : doc(d), picture(std::move(p)), cursor(&d) {
    cursor.movePosition(QTextCursor::End);
    started = !d.isEmpty();
    needBreak = started;
    formats.push_back(QTextCharFormat());
  }

  static bool isBlock(const QString& n) {
    static const QStringList blocks = {"p",  "div", "h1", "h2", "h3", "h4",   "h5",     "h6",    "li", "blockquote",
                                       "pre", "td", "th", "tr", "dt", "dd",   "address", "caption", "table", "ul",
                                       "ol",  "dl", "hr", "thead", "tbody", "tfoot"};
    return blocks.contains(n);
  }

  void blockStart() {
    if (started && (needBreak || !cursor.block().text().isEmpty())) cursor.insertBlock(QTextBlockFormat(), formats.back());
    started = true;
    needBreak = false;
  }

  void beforeInline() {
    if (needBreak) cursor.insertBlock(QTextBlockFormat(), formats.back());
    needBreak = false;
    started = true;
  }

  void text(QString t, bool betweenBlocks) {
    if (t.trimmed().isEmpty() && t.contains(QLatin1Char('\n')) && betweenBlocks) return;
    t.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (t.isEmpty()) return;
    beforeInline();
    cursor.insertText(t, formats.back());
  }

  bool image(const QXmlStreamAttributes& attrs) {
    const QString src = attrs.value(QStringLiteral("src")).toString();
    const std::optional<QByteArray> data = picture ? picture(src) : std::nullopt;
    if (!data) {
      error = QStringLiteral("the picture '%1' is not in the package").arg(src);
      return false;
    }
    const double w = attrs.value(QStringLiteral("width")).toDouble();
    const double h = attrs.value(QStringLiteral("height")).toDouble();
    QTextImageFormat image;
    image.merge(formats.back());
    QByteArray group;
    if (data->startsWith("{\\")) {
      group = *data;  // a picture group that came from RTF
    } else {
      group = pictureGroup(*data, w, h);
      if (group.isEmpty()) {
        error = QStringLiteral("the picture '%1' is neither PNG nor JPEG").arg(src);
        return false;
      }
      const QString name = QStringLiteral("qti-picture:%1").arg(++pictures);
      doc.addResource(QTextDocument::ImageResource, QUrl(name), *data);
      image.setName(name);
    }
    image.setProperty(kRawGroup, group);
    if (w > 0) image.setWidth(w);
    if (h > 0) image.setHeight(h);
    beforeInline();
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), image);
    return true;
  }

  QTextCharFormat inlineFormat(const QString& name, const QXmlStreamAttributes& attrs) const {
    QTextCharFormat f = formats.back();
    const QString cls = attrs.value(QStringLiteral("class")).toString();
    const QString style = attrs.value(QStringLiteral("style")).toString();
    if (name == "b" || name == "strong" || style.contains(QStringLiteral("bold"))) f.setFontWeight(QFont::Bold);
    if (name == "i" || name == "em" || style.contains(QStringLiteral("italic"))) f.setFontItalic(true);
    if (name == "u" || name == "ins" || cls.split(QLatin1Char(' ')).contains(QStringLiteral("underline")) ||
        style.contains(QStringLiteral("underline")))
      setUnderline(f, QStringLiteral("ul"));
    if (name == "sup") f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    if (name == "sub") f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (name == "s" || name == "strike" || name == "del") f.setFontStrikeOut(true);
    return f;
  }

  // Reads the element whose start the reader stands on.
  bool element(QXmlStreamReader& xml) {
    const QString name = xml.name().toString();
    for (const QString& r : refused)
      if (r == name) {
        error = QStringLiteral("it holds a %1, which cannot be read as a question's text").arg(name);
        return false;
      }
    if (!skipped.isEmpty() &&
        xml.attributes().value(QStringLiteral("class")).toString().split(QLatin1Char(' ')).contains(skipped)) {
      xml.skipCurrentElement();
      return !xml.hasError();
    }
    if (name == "br") {
      beforeInline();
      cursor.insertText(QString(QChar::LineSeparator), formats.back());
      xml.skipCurrentElement();
      return !xml.hasError();
    }
    if (name == "img") {
      if (!image(xml.attributes())) return false;
      xml.skipCurrentElement();
      return !xml.hasError();
    }
    const bool block = isBlock(name);
    if (block) blockStart();
    formats.push_back(inlineFormat(name, xml.attributes()));
    const bool ok = content(xml, block);
    formats.pop_back();
    if (block) needBreak = true;
    return ok;
  }

  bool content(QXmlStreamReader& xml, bool blockContainer) {
    while (!xml.atEnd()) {
      switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
          if (!element(xml)) return false;
          break;
        case QXmlStreamReader::EndElement:
          return true;
        case QXmlStreamReader::Characters:
          text(xml.text().toString(), blockContainer);
          break;
        case QXmlStreamReader::EntityReference:
          error = QStringLiteral("it refers to the entity '%1'").arg(xml.name());
          return false;
        default:
          break;
      }
    }
    if (xml.hasError()) error = xml.errorString();
    return false;
  }
};

XhtmlReader::XhtmlReader(QTextDocument& document, PictureIn picture) : s_(new State(document, std::move(picture))) {}
XhtmlReader::~XhtmlReader() { delete s_; }
void XhtmlReader::refuse(std::vector<QString> names) { s_->refused = std::move(names); }
void XhtmlReader::skipClass(QString name) { s_->skipped = std::move(name); }
bool XhtmlReader::readElement(QXmlStreamReader& xml) { return s_->element(xml); }
bool XhtmlReader::readContent(QXmlStreamReader& xml) { return s_->content(xml, true); }
const QString& XhtmlReader::error() const { return s_->error; }

}  // namespace ui::rtf
