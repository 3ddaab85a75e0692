#include "rtf_format.h"

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>

namespace ui::rtf {

namespace {

QTextCharFormat::UnderlineStyle styleOfWord(const QString& word) {
  if (word.isEmpty() || word == QLatin1String("ulnone")) return QTextCharFormat::NoUnderline;
  if (word == QLatin1String("uld")) return QTextCharFormat::DotLine;
  if (word == QLatin1String("uldash") || word == QLatin1String("ulldash") || word == QLatin1String("ulthdash") ||
      word == QLatin1String("ulthldash"))
    return QTextCharFormat::DashUnderline;
  if (word == QLatin1String("uldashd") || word == QLatin1String("ulthdashd")) return QTextCharFormat::DashDotLine;
  if (word == QLatin1String("uldashdd") || word == QLatin1String("ulthdashdd"))
    return QTextCharFormat::DashDotDotLine;
  if (word == QLatin1String("ulwave") || word == QLatin1String("ulhwave") || word == QLatin1String("ululdbwave"))
    return QTextCharFormat::WaveUnderline;
  if (word == QLatin1String("ulthd")) return QTextCharFormat::DotLine;
  return QTextCharFormat::SingleUnderline;  // ul, uldb, ulw, ulth, ...
}

}  // namespace

void setUnderline(QTextCharFormat& format, const QString& word) {
  QTextCharFormat::UnderlineStyle style = styleOfWord(word);
  format.setUnderlineStyle(style);
  if (style == QTextCharFormat::NoUnderline)
    format.setProperty(kUnderlineWord, QString());
  else
    format.setProperty(kUnderlineWord, word);
}

QString underlineWord(const QTextCharFormat& format) {
  QTextCharFormat::UnderlineStyle style = format.underlineStyle();
  if (style == QTextCharFormat::NoUnderline) return {};
  QString word = format.stringProperty(kUnderlineWord);
  // A word that no longer matches the style was overridden by an edit.
  if (!word.isEmpty() && styleOfWord(word) == style) return word;
  switch (style) {
    case QTextCharFormat::DotLine: return QStringLiteral("uld");
    case QTextCharFormat::DashUnderline: return QStringLiteral("uldash");
    case QTextCharFormat::DashDotLine: return QStringLiteral("uldashd");
    case QTextCharFormat::DashDotDotLine: return QStringLiteral("uldashdd");
    case QTextCharFormat::WaveUnderline:
    case QTextCharFormat::SpellCheckUnderline: return QStringLiteral("ulwave");
    default: return QStringLiteral("ul");
  }
}

bool isUnderlined(const QTextCharFormat& format) {
  return format.underlineStyle() != QTextCharFormat::NoUnderline;
}

QString fontName(const QTextCharFormat& format) {
  const QStringList families = format.fontFamilies().toStringList();
  return families.isEmpty() ? QString() : families.first();
}

QString defaultFontName(const QTextDocument& document) {
  const QString family = document.defaultFont().family();
  return family.trimmed().isEmpty() ? QStringLiteral("MS Sans Serif") : family;
}

QString documentText(const QTextDocument& document, const QString& lineBreak) {
  QString text;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block != document.begin()) text += lineBreak;
    // A line break inside a paragraph is a line separator in its text. Replaced in the
    // block's copy and appended whole: appending character by character took a seventh of
    // the time of reading every question's RTF.
    QString blockText = block.text();
    blockText.replace(QChar::LineSeparator, lineBreak);
    text += blockText;
  }
  return text;
}

QString boxText(const QTextDocument& document) { return documentText(document, QStringLiteral("\r\n")); }

}  // namespace ui::rtf
