// The writer: the shape RichEdit writes, code pages, and what the boxes start with.
#include <gtest/gtest.h>

#include <QTextCursor>

#include "rtf/rtf_format.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"
#include "rtf_test_util.h"

using namespace rtf_test;
using ui::rtf::boxText;
using ui::rtf::writeRtf;

namespace {

QTextCharFormat verdana(double size) {
  QTextCharFormat f;
  f.setFontFamilies(QStringList{"Verdana"});
  f.setFontPointSize(size);
  return f;
}

TEST(RtfWriter, InitialBoxContentAndEmptyDocumentAreExact) {
  for (const char* word : {"Question", "Passage"}) {
    QTextDocument doc;
    QTextCursor(&doc).insertText(word, verdana(11.5));
    const QByteArray expected = QByteArray(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}}\r\n"
        "\\viewkind4\\uc1\\pard\\f0\\fs23 ") + word + "\r\n\\par }\r\n";
    EXPECT_EQ(writeRtf(doc), expected);
    auto back = read(expected);
    EXPECT_EQ(boxText(*back), word);
    EXPECT_EQ(looks(*back), looks(doc));
    EXPECT_EQ(writeRtf(*back), expected);
  }
  QTextDocument empty;
  const QByteArray expected =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 MS Sans Serif;}}\r\n"
      "\\viewkind4\\uc1\\pard\r\n\\par }\r\n";
  EXPECT_EQ(writeRtf(empty), expected);
  auto back = read(expected);
  EXPECT_TRUE(back->isEmpty());
  EXPECT_EQ(writeRtf(*back), expected);
}

// Text whose format names no font or size (typed where Qt dropped the formatting, or read
// from an entry without a name) is written in the document's default font.
TEST(RtfWriter, TextWithoutAFontIsWrittenInTheDocumentsDefault) {
  QTextDocument doc;
  QFont verdanaFont("Verdana");
  verdanaFont.setPointSizeF(11.5);
  doc.setDefaultFont(verdanaFont);
  QTextCursor c(&doc);
  c.insertText("a", verdana(11));
  c.insertText("b", QTextCharFormat());
  const QByteArray rtf = writeRtf(doc);
  EXPECT_TRUE(rtf.contains("{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}}")) << rtf.toStdString();
  EXPECT_TRUE(rtf.contains("\\f0\\fs22 a\\fs23 b")) << rtf.toStdString();
}

TEST(RtfWriter, ToggleWordsOnlyWhereTheFormattingChanges) {
  QTextDocument doc;
  QTextCursor c(&doc);
  QTextCharFormat f = verdana(11);
  c.insertText("a ", f);
  f.setFontWeight(QFont::Bold);
  c.insertText("b ", f);
  ui::rtf::setUnderline(f, "ul");
  f.setFontItalic(true);
  c.insertText("c", f);
  f = verdana(11);
  f.setForeground(QColor(255, 0, 0));
  f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
  c.insertText("d{}\\", f);
  c.insertBlock();
  c.insertText("e", verdana(11));
  EXPECT_EQ(writeRtf(doc),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}}\r\n"
            "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
            "\\viewkind4\\uc1\\pard\\f0\\fs22 a \\b b \\i\\ul c\\cf1\\b0\\i0\\ulnone\\super d\\{\\}\\\\\r\n"
            "\\par\\cf0\\nosupersub e\r\n\\par }\r\n");
}

TEST(RtfWriter, JapaneseGetsACharset128EntryAndCp932Bytes) {
  QTextDocument doc;
  QTextCursor c(&doc);
  QTextCharFormat f = verdana(11);
  c.insertText(QString::fromUtf8("A表～B€ω😀"), f);
  const QByteArray out = writeRtf(doc);
  // Japanese switches to the same font with \fcharset128 and CP932 bytes (0x8160 is the
  // full-width tilde in Microsoft's table); € stays in 1252; the rest is Unicode.
  EXPECT_TRUE(out.contains("{\\f0\\fnil\\fcharset0 Verdana;}{\\f1\\fnil\\fcharset128 Verdana;}")) << out.toStdString();
  EXPECT_TRUE(out.contains("\\f0\\fs22 A\\f1\\'95\\'5c\\'81\\'60\\f0 B\\'80\\u969?\\u-10179?\\u-8704?")) << out.toStdString();
  auto back = read(out);
  EXPECT_EQ(boxText(*back), QString::fromUtf8("A表～B€ω😀"));
  EXPECT_EQ(looks(*back), looks(doc));
}

TEST(RtfWriter, FormattingThatQtCannotShowIsKept) {
  // Double underline, \up offsets and the Symbol font's own encoding survive a write.
  const QByteArray rtf =
      "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}\\f0 a\\uldb b\\ulnone\\up4 c\\up0 "
      "\\f1 a\\'b7\\'5c\\u65?\\f0\\par}";
  auto doc = read(rtf);
  EXPECT_EQ(boxText(*doc), QString::fromUtf8("abcα•∴A"));
  const QByteArray out = writeRtf(*doc);
  EXPECT_TRUE(out.contains("\\uldb b\\ulnone\\up4 c\\f1\\up0 a\\'b7\\\\\\u65?")) << out.toStdString();
  EXPECT_EQ(boxText(*read(out)), boxText(*doc));
}

TEST(RtfWriter, AccentsAreNotJoinedToLettersTheyWereNotJoinedTo) {
  // In 1258 "a" then the accent byte 0xf2 reads as one character; read apart (a control
  // word between them) they are two, and must stay two.
  auto apart = read("{\\rtf1{\\fonttbl{\\f0\\fcharset163 Times;}}\\f0 a\\b0\\'f2 \\'e0\\par}");
  auto joined = read("{\\rtf1{\\fonttbl{\\f0\\fcharset163 Times;}}\\f0 a\\'f2 \\'e0\\par}");
  EXPECT_EQ(boxText(*apart), QString::fromUtf8("a\u0323 à"));
  EXPECT_EQ(boxText(*joined), QString::fromUtf8("\u1ea1 à"));
  for (auto* doc : {apart.get(), joined.get()}) {
    const QByteArray out = writeRtf(*doc);
    EXPECT_EQ(boxText(*read(out)), boxText(*doc)) << out.toStdString();
  }
}

TEST(RtfWriter, ParagraphFormattingIsWrittenWhenItChanges) {
  const QByteArray rtf =
      "{\\rtf1\\pard\\qc\\li720\\fi-360\\sa200\\sl276\\slmult1\\tx720 one\\par two\\par\\pard three\\par}";
  const QByteArray out = writeRtf(*read(rtf));
  EXPECT_TRUE(out.contains("\\pard\\fi-360\\li720\\sa200\\sl276\\slmult1\\qc\\tx720\\f0\\fs24 one\r\n\\par two\r\n"
                           "\\par\\pard three"))
      << out.toStdString();
}

}  // namespace
