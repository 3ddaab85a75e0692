// Rich text as the XHTML of QTI items and back: what is written for each kind of formatting,
// what comes back, the fonts and sizes carried beside it, pictures, and what reading refuses.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "rtf/rtf_format.h"
#include "rtf/rtf_writer.h"
#include "rtf/rtf_xhtml.h"
#include "rtf_test_util.h"

using namespace rtf_test;

namespace {

const QByteArray kFormatted =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 CBT;}{\\f1\\fnil\\fcharset2 Symbol;}{\\f2\\fnil Verdana;}}"
    "\\pard\\f0\\fs23 Plain \\b bold\\b0  \\i italic\\i0  \\ul under\\ulnone  H\\sub 2\\nosupersub O x\\super 2\\nosupersub"
    "\\line next  line\\par \\f2\\fs30 second \\f1 a\\f0 \\u26085?\\par }";

// The document's paragraphs as XHTML, with pictures named by the order they come in.
QString xhtmlOf(const QTextDocument& doc, std::vector<QByteArray>* pictures = nullptr) {
  QString out;
  QXmlStreamWriter xml(&out);
  xml.writeStartElement("div");
  ui::rtf::writeXhtml(doc, xml, [&](const QByteArray& data, const QString& suffix) {
    if (pictures) pictures->push_back(data);
    return QStringLiteral("p%1.%2").arg(pictures ? pictures->size() : 0).arg(suffix);
  });
  xml.writeEndElement();
  return out;
}

// Reads the XHTML of one element into a fresh document; the error, empty when none.
QString readInto(QTextDocument& doc, const QString& xhtml, ui::rtf::PictureIn pictures = {},
                 std::vector<QString> refused = {}) {
  QXmlStreamReader xml(xhtml);
  while (!xml.isStartElement() && !xml.atEnd()) xml.readNext();
  ui::rtf::XhtmlReader reader(doc, std::move(pictures));
  reader.refuse(std::move(refused));
  reader.skipClass("label");
  reader.readContent(xml);
  return reader.error();
}

QByteArray png() {
  QImage image(4, 2, QImage::Format_RGB32);
  image.fill(Qt::blue);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// The looks without font and size, which XHTML does not carry.
std::vector<CharLook> plainLooks(const QTextDocument& doc) {
  std::vector<CharLook> out = looks(doc);
  for (CharLook& l : out) {
    l.font.clear();
    l.size = 0;
  }
  return out;
}

TEST(RtfXhtml, EachKindOfFormattingIsWrittenAsQtiCarriesIt) {
  const auto doc = read(kFormatted);
  EXPECT_EQ(xhtmlOf(*doc),
            "<div><p>Plain <b>bold</b> <i>italic</i> <span class=\"underline\">under</span> H<sub>2</sub>O x<sup>2</sup>"
            "<br/>next  line</p><p>second α日</p></div>");
}

TEST(RtfXhtml, WhatIsWrittenReadsBackAsTheSameTextAndFormatting) {
  const auto doc = read(kFormatted);
  QTextDocument back;
  ASSERT_EQ(readInto(back, xhtmlOf(*doc)), "");
  EXPECT_EQ(back.toPlainText(), doc->toPlainText());
  EXPECT_EQ(plainLooks(back), plainLooks(*doc));
}

TEST(RtfXhtml, FontsAndSizesComeBackFromTheirRuns) {
  const auto doc = read(kFormatted);
  const std::vector<ui::rtf::FontRun> runs = ui::rtf::fontRuns(*doc);
  QTextDocument back;
  ASSERT_EQ(readInto(back, xhtmlOf(*doc)), "");
  ASSERT_TRUE(ui::rtf::applyFontRuns(back, runs));
  EXPECT_EQ(looks(back), looks(*doc));
  // The Symbol run is written back in the Symbol font: its letter as the font's byte.
  EXPECT_NE(ui::rtf::writeRtf(back).indexOf("Symbol;"), -1);

  QTextDocument shorter;
  readInto(shorter, "<div><p>second</p></div>");
  EXPECT_FALSE(ui::rtf::applyFontRuns(shorter, runs));
  EXPECT_EQ(ui::rtf::fontName(shorter.begin().begin().fragment().charFormat()), QString());
}

TEST(RtfXhtml, APictureGoesOutAsItsFileAndComesBackAsAnRtfPicture) {
  const QByteArray data = png();
  const QByteArray rtf = "{\\rtf1\\ansi{\\pict\\pngblip\\picw4\\pich2\\picwgoal600\\pichgoal300 " + data.toHex() + "}\\par }";
  const auto doc = read(rtf);
  std::vector<QByteArray> pictures;
  const QString xhtml = xhtmlOf(*doc, &pictures);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0], data);
  EXPECT_EQ(xhtml, "<div><p><img src=\"p1.png\" alt=\"\" width=\"40\" height=\"20\"/></p></div>");

  QTextDocument back;
  ASSERT_EQ(readInto(back, xhtml, [&](const QString& src) -> std::optional<QByteArray> {
              if (src == "p1.png") return data;
              return std::nullopt;
            }),
            "");
  const QByteArray written = ui::rtf::writeRtf(back);
  EXPECT_NE(written.indexOf("\\pngblip\\picw4\\pich2\\picwgoal600\\pichgoal300"), -1) << written.toStdString();
  EXPECT_NE(written.indexOf(data.toHex()), -1);
}

TEST(RtfXhtml, APictureMissingOrOfAKindRtfCannotHoldStopsTheReading) {
  QTextDocument doc;
  EXPECT_EQ(readInto(doc, "<div><p><img src=\"gone.png\" alt=\"\"/></p></div>", [](const QString&) {
              return std::optional<QByteArray>();
            }),
            "the picture 'gone.png' is not in the package");
  EXPECT_EQ(readInto(doc, "<div><img src=\"x.gif\" alt=\"\"/></div>",
                     [](const QString&) { return std::optional<QByteArray>("GIF89a"); }),
            "the picture 'x.gif' is neither PNG nor JPEG");
}

TEST(RtfXhtml, AnotherToolsXhtmlReadsWithItsLayoutWhitespaceLeftOut) {
  QTextDocument doc;
  ASSERT_EQ(readInto(doc,
                     "<div>\n  <p>Two  spaces <strong>strong</strong> <em>em</em> <u>u</u> "
                     "<span style=\"font-weight:bold\">styled</span></p>\n"
                     "  <table><tr><td>cell 1</td><td>cell 2</td></tr></table>\n"
                     "  <p class=\"label\">(1)</p><p>after\nwrap</p>\n</div>"),
            "");
  EXPECT_EQ(doc.toPlainText(), "Two  spaces strong em u styled\ncell 1\ncell 2\nafter wrap");
  EXPECT_TRUE(lookAt(doc, positionOf(doc, "strong")).bold);
  EXPECT_TRUE(lookAt(doc, positionOf(doc, "em")).italic);
  EXPECT_TRUE(lookAt(doc, positionOf(doc, "u styled")).underline);
  EXPECT_TRUE(lookAt(doc, positionOf(doc, "styled")).bold);
}

TEST(RtfXhtml, ARefusedElementStopsTheReadingWithItsName) {
  QTextDocument doc;
  EXPECT_EQ(readInto(doc, "<div><p>Fill in <textEntryInteraction/></p></div>", {}, {"textEntryInteraction"}),
            "it holds a textEntryInteraction, which cannot be read as a question's text");
}

TEST(RtfXhtml, CharactersThatXmlCannotHoldAreLeftOut) {
  QTextDocument doc;
  doc.setPlainText(QString("a") + QChar(0x01) + "b" + QChar(0xFFFF) + "c\td");
  EXPECT_EQ(xhtmlOf(doc), "<div><p>abc\td</p></div>");
}

}  // namespace
