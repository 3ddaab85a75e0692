// The reader on the shapes RichEdit writes, on other writers' RTF, and on broken input.
#include <gtest/gtest.h>

#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextImageFormat>
#include <QUrl>

#include <random>

#include "rtf/rtf_format.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"
#include "rtf_test_util.h"

using namespace rtf_test;
using ui::rtf::boxText;

namespace {

QString textOf(const char* rtf) { return boxText(*read(QByteArray(rtf))); }

TEST(RtfReader, RichEdit10DialectWithPlainRunsAndOffsets) {
  auto doc = read(fixture("richedit1.rtf"));
  EXPECT_EQ(boxText(*doc), QString::fromUtf8("RichText Bold x2i red\r\n\u2022 Second"));
  CharLook plain = lookAt(*doc, 0);
  EXPECT_EQ(plain.font, "MS Sans Serif");
  EXPECT_EQ(plain.size, 8.5);
  CharLook bold = lookAt(*doc, positionOf(*doc, "Bold"));
  EXPECT_EQ(bold.font, "Verdana");
  EXPECT_EQ(bold.size, 11.5);
  EXPECT_TRUE(bold.bold);
  EXPECT_EQ(lookAt(*doc, positionOf(*doc, "2")).vertical, QTextCharFormat::AlignSuperScript);
  EXPECT_EQ(lookAt(*doc, positionOf(*doc, "2i") + 1).vertical, QTextCharFormat::AlignSubScript);
  EXPECT_EQ(lookAt(*doc, positionOf(*doc, "red")).colour, QColor(255, 0, 0));
  EXPECT_EQ(lookAt(*doc, positionOf(*doc, "\u2022")).font, "Symbol");
}

TEST(RtfReader, JapaneseCodePageFontNamesAndSplitEscapes) {
  auto doc = read(fixture("richedit3_japanese.rtf"));
  // 表 has an ASCII backslash as its second byte; ㎜ is an NEC extension of CP932; the
  // pair \'87 \'6f is split by a line break in the file.
  EXPECT_EQ(boxText(*doc), QString::fromUtf8("表の㎜ The word `quoted’ ~x~ €"));
  EXPECT_EQ(lookAt(*doc, 0).font, QString::fromUtf8("ＭＳ Ｐゴシック"));
  EXPECT_EQ(lookAt(*doc, positionOf(*doc, "word")).font, "CBTLINE");
  EXPECT_EQ(lookAt(*doc, positionOf(*doc, "The")).font, "CBT");
}

TEST(RtfReader, WordPadFormattingUnicodeAndPictures) {
  auto doc = read(fixture("wordpad.rtf"));
  const QString text = boxText(*doc);
  EXPECT_TRUE(text.startsWith("This is a simple four paragraph document.\r\nE=mc2 H2O gone double blue marked\r\nnext\ttab\r\n"))
      << text.toStdString();
  // Cyrillic from a \fcharset204 font, a surrogate pair, and \uc2 skipping two bytes.
  EXPECT_TRUE(text.contains(QString::fromUtf8("абв 😀 € end"))) << text.toStdString();

  EXPECT_EQ(lookAt(*doc, positionOf(*doc, " is ") + 1).size, 22.0);
  CharLook four = lookAt(*doc, positionOf(*doc, "four"));
  EXPECT_TRUE(four.bold && four.underline && !four.italic);
  CharLook paragraph = lookAt(*doc, positionOf(*doc, "paragraph"));
  EXPECT_TRUE(paragraph.bold && paragraph.underline && paragraph.italic);
  CharLook document = lookAt(*doc, positionOf(*doc, "document"));
  EXPECT_TRUE(!document.bold && !document.underline && document.italic);
  EXPECT_TRUE(lookAt(*doc, positionOf(*doc, "gone")).strike);
  EXPECT_TRUE(lookAt(*doc, positionOf(*doc, "double")).underline);
  EXPECT_EQ(lookAt(*doc, positionOf(*doc, "blue")).colour, QColor(0, 77, 187));
  EXPECT_FALSE(lookAt(*doc, positionOf(*doc, "marked")).colour.isValid());
  EXPECT_EQ(doc->begin().next().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

  // The PNG is shown; the metafile is kept as its group.
  std::vector<QTextImageFormat> images;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
    for (auto it = b.begin(); !it.atEnd(); ++it)
      if (it.fragment().charFormat().isImageFormat()) images.push_back(it.fragment().charFormat().toImageFormat());
  ASSERT_EQ(images.size(), 2u);
  QImage png = QImage::fromData(doc->resource(QTextDocument::ImageResource, QUrl(images[0].name())).toByteArray());
  EXPECT_EQ(png.size(), QSize(2, 1));
  EXPECT_EQ(images[0].width(), 2.0);
  EXPECT_TRUE(images[1].property(ui::rtf::kRawGroup).toByteArray().startsWith("{\\pict\\wmetafile8"));
}

TEST(RtfReader, ParagraphMarksAndBreaks) {
  // The last \par is the final paragraph mark, as RichEdit 1.0 reads it.
  EXPECT_EQ(textOf("{\\rtf1 TestSomeText\\par\\par}"), "TestSomeText\r\n");
  EXPECT_EQ(textOf("{\\rtf1 a\\par b}"), "a\r\nb");
  EXPECT_EQ(textOf("{\\rtf1 a\\line b\\tab c}"), "a\r\nb\tc");
  EXPECT_EQ(textOf("{\\rtf1 a\\\r\nb}"), "a\r\nb");  // backslash before a line end is \par
  EXPECT_EQ(textOf("{\\rtf1\\ansi a\r\nb}"), "ab");   // raw line ends are not text
  EXPECT_EQ(textOf("{\\rtf1 x\\{y\\}\\\\z\\~w\\emdash\\lquote q\\rquote}"), QString::fromUtf8("x{y}\\z\u00a0w—‘q’"));
  EXPECT_EQ(textOf(""), "");
}

TEST(RtfReader, DestinationsFieldsListsAndTables) {
  EXPECT_EQ(textOf("{\\rtf1{\\info{\\title T}}{\\stylesheet{\\s0 Normal;}}{\\header H}{\\*\\unknown U}A}"), "A");
  // A list definition outside its table is still no text.
  EXPECT_EQ(textOf("{\\rtf1{\\list{\\listlevel{\\leveltext \\'02\\'00.}}{\\listname L;}}A}"), "A");
  EXPECT_EQ(textOf("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}} after}"), "link after");
  EXPECT_EQ(textOf("{\\rtf1{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'B7}}item\\par}"), QString::fromUtf8("·\titem"));
  EXPECT_EQ(textOf("{\\rtf1\\trowd\\cellx100\\cellx200\\intbl A\\cell B\\cell\\row\\intbl C\\cell D\\cell\\row after}"),
            "A\r\nB\r\nC\r\nD\r\nafter");
  // \* before an ordinary word in the middle of a group does not hide the group;
  // "{*\" stands for "{\*\".
  EXPECT_EQ(textOf("{\\rtf1{\\f0\\*\\cs7\\b text}}"), "text");
  EXPECT_EQ(textOf("{\\rtf1{*\\wgrffmtfilter 2450}x}"), "x");
}

TEST(RtfReader, UnicodeFallbacksAndSurrogates) {
  EXPECT_EQ(textOf("{\\rtf1\\uc1\\u8364?\\u-10179?\\u-8704?}"), QString::fromUtf8("€😀"));
  EXPECT_EQ(textOf("{\\rtf1\\uc2\\u8364\\'80\\'80 x}"), QString::fromUtf8("€ x"));
  EXPECT_EQ(textOf("{\\rtf1\\uc0\\u65 B}"), "AB");
  // The skip count is scoped to the group, and braces end the fallback.
  EXPECT_EQ(textOf("{\\rtf1{\\uc3\\u65}xyz}"), "Axyz");
  // Lone surrogates become U+FFFD rather than broken UTF-16.
  EXPECT_EQ(textOf("{\\rtf1\\u-10179? x \\u-8704?}"), QString::fromUtf8("\uFFFD x \uFFFD"));
}

TEST(RtfReader, UnderlineKindsAndEnds) {
  auto doc = read("{\\rtf1 a\\ul b\\ul0 c\\uld d\\ulnone e\\uldb f\\ul0 g\\ulw h\\ulnone i}");
  const QString t = doc->toPlainText();
  const std::vector<CharLook> l = looks(*doc);
  ASSERT_EQ(t, "abcdefghi");
  const bool expected[] = {false, true, false, true, false, true, false, true, false};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(l[static_cast<size_t>(i)].underline, expected[i]) << i;
}

TEST(RtfReader, PlainAndGroupsRestoreFormatting) {
  auto doc = read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 CBT;}}\\f1\\fs30\\b a{\\i\\fs20 b}c\\plain d}");
  EXPECT_EQ(lookAt(*doc, 0), (CharLook{"CBT", 15, true, false, false, false, 0, {}}));
  EXPECT_EQ(lookAt(*doc, 1), (CharLook{"CBT", 10, true, true, false, false, 0, {}}));
  EXPECT_EQ(lookAt(*doc, 2), (CharLook{"CBT", 15, true, false, false, false, 0, {}}));
  EXPECT_EQ(lookAt(*doc, 3), (CharLook{"Arial", 12, false, false, false, false, 0, {}}));
}

TEST(RtfReader, MalformedInputYieldsWhatCouldBeRead) {
  EXPECT_EQ(textOf("{\\rtf1 {\\b abc"), "abc");                 // missing braces
  EXPECT_EQ(textOf("{\\rtf1 a}}} b"), "a");                      // nothing after the end
  EXPECT_EQ(textOf("{\\rtf1 a}\r\nText2: more"), "a");
  EXPECT_EQ(textOf("{\\rtf1 abc}\r\n"), "abc");
  EXPECT_EQ(textOf(QByteArray("{\\rtf1 abc}\0", 12).constData()), "abc");  // trailing NUL
  EXPECT_EQ(textOf("{\\rtf1 ab\\'8"), "ab");                     // truncated escape
  EXPECT_EQ(textOf("{\\rtf1 ab\\u"), "ab");
  EXPECT_EQ(textOf("{\\rtf1 ab\\"), "ab");
  EXPECT_EQ(textOf("{\\rtf1 ab\\bin999999999 xyz}"), "ab");      // \bin longer than the input
  EXPECT_EQ(textOf("{\\rtf1 ab\\bin-5 xyz}"), "abxyz");
  EXPECT_EQ(textOf("{\\rtf1{\\uc2147483647\\u65 x}z}"), "Az");
  EXPECT_EQ(textOf("{\\rtf1\\fs99999999999999999999 big}"), "big");
  EXPECT_EQ(textOf("not rtf at all"), "not rtf at all");

  // A picture cut off by the end of the input is dropped, the text before it kept, and
  // what is written from it is balanced.
  auto doc = read("{\\rtf1 before {\\pict\\wmetafile8 0100");
  EXPECT_EQ(boxText(*doc), "before ");
  const QByteArray out = ui::rtf::writeRtf(*doc);
  EXPECT_TRUE(balanced(out));

  // Deep nesting costs neither stack nor unbounded memory.
  const int depth = 200000;
  QByteArray deep = "{\\rtf1 " + QByteArray(depth, '{') + "x" + QByteArray(depth, '}') + " y}";
  EXPECT_EQ(boxText(*read(deep)), "x y");
}

// What the fuzzer found, cut down to the smallest input that shows it.
TEST(RtfReader, FuzzFindings) {
  // Picture size times scale overflowed int.
  auto doc = read("{\\rtf1{\\pict\\pngblip\\picwgoal2147483647\\pichgoal5\\picscalex2147483647 00}"
                  "\\li-2147483648\\sl-2147483648 x\\par}");
  EXPECT_EQ(boxText(*doc), QString(QChar::ObjectReplacementCharacter) + "x");
  EXPECT_TRUE(balanced(ui::rtf::writeRtf(*doc)));

  // \object in the middle of a group was taken for an object group starting at the
  // document's first byte.
  auto midGroup = read("{\\rtf1 a (\\object\\objemb + \\result\\pict) b}");
  EXPECT_EQ(boxText(*midGroup), "a (+ ) b");
  EXPECT_EQ(boxText(*read(ui::rtf::writeRtf(*midGroup))), "a (+ ) b");

  // A font table inside a picture group changed the document's fonts on the next read.
  auto tableInPicture = read(
      "{\\rtf1{\\fonttbl{\\f0 Verdana;}}\\f0 a{\\pict\\jpegblip{\\fonttbl{\\f0 Arial;}}00}b\\par}");
  EXPECT_EQ(lookAt(*tableInPicture, 2).font, "Verdana");
  const QByteArray once = ui::rtf::writeRtf(*tableInPicture);
  EXPECT_EQ(ui::rtf::writeRtf(*read(once)), once);

  // Font names with characters the writer dropped or the reader trimmed read back
  // differently; \u in a name was ignored.
  auto names = read("{\\rtf1{\\fonttbl{\\f0\\fcharset128 \\'82 A\\{b\\} \\u937?;}{\\f1\\fcharset2 Symbol;}}"
                    "\\f0 x\\f1 y\\par}");
  EXPECT_EQ(lookAt(*names, 0).font, QString::fromUtf8("\uFFFD A{b} Ω"));
  const QByteArray namesOnce = ui::rtf::writeRtf(*names);
  EXPECT_TRUE(namesOnce.contains("{\\f1\\fnil\\fcharset2 Symbol;}")) << namesOnce.toStdString();
  EXPECT_EQ(looks(*read(namesOnce)), looks(*names));
  EXPECT_EQ(ui::rtf::writeRtf(*read(namesOnce)), namesOnce);

  // The 1258 converter held back the last letter of a run, waiting for an accent.
  EXPECT_EQ(textOf("{\\rtf1{\\fonttbl{\\f0\\fcharset163 Times;}}\\f0 \\'e0f\\u8364?}"), QString::fromUtf8("àf€"));

  // A U+FFFC that is text, not a picture, was dropped by the writer.
  auto bare = read("{\\rtf1 a\\u-4?b}");
  EXPECT_EQ(boxText(*read(ui::rtf::writeRtf(*bare))), QString("a") + QChar(0xFFFC) + "b");
}

TEST(RtfReader, RandomBytesNeverBreakTheReader) {
  std::mt19937 rng(20261207);
  const char alphabet[] = "{}\\'*ubinpardfscharset0123456789- \r\n\0\x80\xff;a";
  for (int round = 0; round < 300; ++round) {
    QByteArray input = "{\\rtf1";
    const int length = static_cast<int>(rng() % 400);
    for (int i = 0; i < length; ++i) input += alphabet[rng() % (sizeof alphabet - 1)];
    auto doc = read(input);
    // Whatever was read writes out as balanced RTF that reads back to the same text.
    const QByteArray out = ui::rtf::writeRtf(*doc);
    EXPECT_EQ(boxText(*read(out)), boxText(*doc)) << input.toHex().toStdString();
  }
}

}  // namespace
