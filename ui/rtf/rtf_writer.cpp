#include "rtf_writer.h"

#include <QColor>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <cmath>
#include <map>
#include <vector>

#include "code_page.h"
#include "rtf_format.h"

namespace ui::rtf {

namespace {

// Characters that the old clients can only hold in a Japanese font: when the run's own
// code page lacks one, the run switches to a \fcharset128 entry of the same font, as
// RichEdit does when Japanese text is typed.
bool isJapanese(char32_t c) {
  return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

int twips(double pixels) { return static_cast<int>(std::lround(pixels * 15.0)); }

struct RunFormat {
  int font = -1;
  int halfPoints = -1;
  bool bold = false;
  bool italic = false;
  QString underline;
  bool strike = false;
  int vertical = 0;  // 0 baseline, 1 super, 2 sub
  int offset = 0;
  int foreground = 0;
  int background = 0;
};

class Writer {
 public:
  explicit Writer(const QTextDocument& doc) : doc_(doc) {}

  QByteArray run() {
    body_ = "\\viewkind4\\uc1";
    QByteArray lastPara;
    bool first = true;
    for (QTextBlock block = doc_.begin(); block.isValid(); block = block.next()) {
      const QByteArray para = paragraphWords(block.blockFormat());
      if (first || para != lastPara) {
        body_ += "\\pard" + para;
        delimit_ = true;
      }
      first = false;
      lastPara = para;
      for (auto it = block.begin(); !it.atEnd(); ++it) fragment(it.fragment());
      body_ += "\r\n\\par";
      delimit_ = true;
    }
    body_ += " }\r\n";

    if (fonts_.empty()) fonts_.push_back({QStringLiteral("MS Sans Serif"), 0});
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl";
    for (size_t i = 0; i < fonts_.size(); ++i) {
      out += "{\\f" + QByteArray::number(static_cast<qulonglong>(i)) + "\\fnil\\fcharset" +
             QByteArray::number(fonts_[i].charset) + ' ';
      out += fontNameBytes(fonts_[i]);
      out += ";}";
    }
    out += "}\r\n";
    if (!colours_.empty()) {
      out += "{\\colortbl ;";
      for (const QColor& c : colours_)
        out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green()) + "\\blue" +
               QByteArray::number(c.blue()) + ';';
      out += "}\r\n";
    }
    return out + body_;
  }

 private:
  struct Font {
    QString name;
    int charset;
  };

  static QByteArray paragraphWords(const QTextBlockFormat& f) {
    QByteArray w;
    auto add = [&w](const char* word, int value) {
      if (value != 0) w += QByteArray("\\") + word + QByteArray::number(value);
    };
    add("fi", twips(f.textIndent()));
    add("li", twips(f.leftMargin()));
    add("ri", twips(f.rightMargin()));
    add("sb", twips(f.topMargin()));
    add("sa", twips(f.bottomMargin()));
    int sl = 0, mult = 0;
    if (f.hasProperty(kLineSpacing)) {
      sl = f.intProperty(kLineSpacing);
      mult = f.intProperty(kLineMultiple);
    } else if (f.lineHeightType() == QTextBlockFormat::ProportionalHeight && f.lineHeight() != 100.0) {
      sl = static_cast<int>(std::lround(f.lineHeight() * 240.0 / 100.0));
      mult = 1;
    } else if (f.lineHeightType() == QTextBlockFormat::MinimumHeight) {
      sl = twips(f.lineHeight());
    } else if (f.lineHeightType() == QTextBlockFormat::FixedHeight) {
      sl = -twips(f.lineHeight());
    }
    if (sl != 0) w += "\\sl" + QByteArray::number(sl) + "\\slmult" + QByteArray::number(mult);
    const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter)
      w += "\\qc";
    else if (align & Qt::AlignJustify)
      w += "\\qj";
    else if (align & Qt::AlignRight)
      w += "\\qr";
    for (const QTextOption::Tab& tab : f.tabPositions()) {
      if (tab.type == QTextOption::RightTab) w += "\\tqr";
      if (tab.type == QTextOption::CenterTab) w += "\\tqc";
      if (tab.type == QTextOption::DelimiterTab) w += "\\tqdec";
      w += "\\tx" + QByteArray::number(twips(tab.position));
    }
    return w;
  }

  void fragment(const QTextFragment& fragment) {
    const QTextCharFormat fmt = fragment.charFormat();
    const QString text = fragment.text();
    // Text without a font or size of its own is in the document's default ones: an entry
    // without a name would tell a reader nothing.
    QString name = fontName(fmt);
    if (name.trimmed().isEmpty()) name = defaultFontName(doc_);
    const int baseCharset = fmt.hasProperty(kCharset) ? fmt.intProperty(kCharset) : 0;
    const int baseCodePage = codePageOfFont(baseCharset, name, 1252);
    const QByteArray raw = fmt.property(kRawGroup).toByteArray();
    RunFormat run = runFormat(fmt);
    int runCharset = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
      char32_t c = text[i].unicode();
      if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        c = QChar::surrogateToUcs4(text[i], text[i + 1]);
        ++i;
      }
      if (c < 0x20 && c != '\t') continue;
      // An object that came from RTF is written as the group it was read from; a bare
      // U+FFFC (RTF can hold one as \u-4) is a character like any other.
      const bool object = c == QChar::ObjectReplacementCharacter && !raw.isEmpty();
      QByteArray bytes;
      int charset = baseCharset;
      if (!object) {
        bytes = encoder_.encode(baseCodePage, c);
        if (bytes.isEmpty() && isJapanese(c)) {
          bytes = encoder_.encode(932, c);
          if (!bytes.isEmpty()) charset = 128;
        }
      }
      if (charset != runCharset) {
        run.font = fontIndex(name, charset);
        runCharset = charset;
      }
      setFormat(run);
      if (object) {
        body_ += raw;
        delimit_ = false;
      } else {
        character(c, bytes);
      }
    }
  }

  // Writes one character: `bytes` are its bytes in the run's code page, empty when the
  // code page lacks it.
  void character(char32_t c, const QByteArray& bytes) {
    if (c == '\t') {
      controlWord("\\tab");
      return;
    }
    if (c == QChar::LineSeparator) {
      controlWord("\\line");
      return;
    }
    if (!bytes.isEmpty()) {
      // A double-byte character is written as two escapes even where its second byte
      // is ASCII, as RichEdit does.
      static const char hex[] = "0123456789abcdef";
      const bool single = bytes.size() == 1;
      for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (single && (u == '\\' || u == '{' || u == '}')) {
          body_ += '\\';
          body_ += b;
          delimit_ = false;
        } else if (single && u >= 0x20 && u < 0x7F) {
          if (delimit_) body_ += ' ';
          delimit_ = false;
          body_ += b;
        } else {
          body_ += "\\'";
          body_ += hex[u >> 4];
          body_ += hex[u & 15];
          delimit_ = false;
        }
      }
      return;
    }
    // Not in the font's code page: Unicode, with '?' for readers without it.
    char16_t units[2];
    int count = 1;
    if (c > 0xFFFF) {
      units[0] = QChar::highSurrogate(c);
      units[1] = QChar::lowSurrogate(c);
      count = 2;
    } else {
      units[0] = static_cast<char16_t>(c);
    }
    for (int k = 0; k < count; ++k) {
      body_ += "\\u" + QByteArray::number(static_cast<int16_t>(units[k])) + '?';
    }
    delimit_ = false;
  }

  void controlWord(const QByteArray& word) {
    body_ += word;
    delimit_ = true;
  }

  // The formatting of a run, but for its font entry, which depends on the characters.
  RunFormat runFormat(const QTextCharFormat& fmt) {
    RunFormat next;
    const double size = fmt.fontPointSize();
    const double defaultSize = doc_.defaultFont().pointSizeF();
    next.halfPoints = static_cast<int>(std::lround((size > 0 ? size : defaultSize > 0 ? defaultSize : 12) * 2));
    next.bold = fmt.fontWeight() > QFont::Medium;
    next.italic = fmt.fontItalic();
    next.underline = underlineWord(fmt);
    next.strike = fmt.fontStrikeOut();
    next.offset = fmt.intProperty(kOffset);
    if (next.offset > 0)
      next.vertical = 1;
    else if (next.offset < 0)
      next.vertical = 2;
    else if (fmt.verticalAlignment() == QTextCharFormat::AlignSuperScript)
      next.vertical = 1;
    else if (fmt.verticalAlignment() == QTextCharFormat::AlignSubScript)
      next.vertical = 2;
    next.foreground = fmt.hasProperty(QTextFormat::ForegroundBrush) ? colourIndex(fmt.foreground().color()) : 0;
    next.background = fmt.hasProperty(QTextFormat::BackgroundBrush) ? colourIndex(fmt.background().color()) : 0;
    return next;
  }

  // Writes the control words that change the current formatting into `next`.
  void setFormat(const RunFormat& next) {
    RunFormat& cur = current_;
    auto number = [](int v) { return QByteArray::number(v); };
    QByteArray w;
    if (next.font != cur.font) w += "\\f" + number(next.font);
    if (next.halfPoints != cur.halfPoints) w += "\\fs" + number(next.halfPoints);
    if (next.foreground != cur.foreground) w += "\\cf" + number(next.foreground);
    if (next.background != cur.background) w += "\\highlight" + number(next.background);
    if (next.bold != cur.bold) w += next.bold ? "\\b" : "\\b0";
    if (next.italic != cur.italic) w += next.italic ? "\\i" : "\\i0";
    if (next.underline != cur.underline)
      w += next.underline.isEmpty() ? QByteArray("\\ulnone") : "\\" + next.underline.toLatin1();
    if (next.strike != cur.strike) w += next.strike ? "\\strike" : "\\strike0";
    if (next.vertical != cur.vertical || next.offset != cur.offset) {
      if (next.offset > 0)
        w += "\\up" + number(next.offset);
      else if (next.offset < 0)
        w += "\\dn" + number(-next.offset);
      else if (next.vertical == 1)
        w += "\\super";
      else if (next.vertical == 2)
        w += "\\sub";
      else if (cur.offset > 0)
        w += "\\up0";  // RichEdit 1.0 knows only the offset words
      else if (cur.offset < 0)
        w += "\\dn0";
      else
        w += "\\nosupersub";
    }
    if (!w.isEmpty()) controlWord(w);
    cur = next;
  }

  int fontIndex(const QString& name, int charset) {
    auto [it, added] = fontIndex_.try_emplace({name, charset}, static_cast<int>(fonts_.size()));
    if (added) fonts_.push_back({name, charset});
    return it->second;
  }

  int colourIndex(const QColor& colour) {
    const QRgb rgb = colour.rgb();
    auto [it, added] = colourIndex_.try_emplace(rgb, static_cast<int>(colours_.size() + 1));
    if (added) colours_.push_back(QColor::fromRgb(rgb));
    return it->second;
  }

  // The name as the reader takes it back: trimmed, braces and backslashes escaped,
  // characters outside the entry's code page as \uN?.
  QByteArray fontNameBytes(const Font& font) {
    // Names are in the charset's code page even for the Symbol font.
    const int codePage = codePageOfCharset(font.charset) ? codePageOfCharset(font.charset) : 1252;
    QByteArray out;
    for (char32_t c : font.name.trimmed().toUcs4()) {
      if (c == ';' || c < 0x20) continue;
      if (c == '{' || c == '}' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
        continue;
      }
      const QByteArray bytes = encoder_.encode(codePage, c);
      if (bytes.size() == 1 && c < 0x80 && bytes[0] == static_cast<char>(c)) {
        out += bytes;
      } else if (!bytes.isEmpty()) {
        for (char b : bytes) out += "\\'" + QByteArray::number(static_cast<unsigned char>(b), 16).rightJustified(2, '0');
      } else {
        for (QChar u : QString::fromUcs4(&c, 1)) out += "\\u" + QByteArray::number(static_cast<int16_t>(u.unicode())) + '?';
      }
    }
    return out;
  }

  const QTextDocument& doc_;
  QByteArray body_;
  bool delimit_ = false;
  RunFormat current_;
  std::vector<Font> fonts_;
  std::map<std::pair<QString, int>, int> fontIndex_;
  std::vector<QColor> colours_;
  std::map<QRgb, int> colourIndex_;
  Encoder encoder_;
};

}  // namespace

QByteArray writeRtf(const QTextDocument& document) { return Writer(document).run(); }

}  // namespace ui::rtf
