// The rich-text box as the editors use it: RTF in and out, Text and selection positions,
// selection fonts, find and replace.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextDocument>

#include "keys.h"
#include "rich_text_box.h"
#include "rtf/rtf_writer.h"

using ui::RichTextBox;

namespace {

// "The word" in CBT, with "word" and an Arabic numeral in other fonts, on two paragraphs.
const QByteArray kMixed =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 CBT;}{\\f1\\fnil\\fcharset0 CBTLINE;}"
    "{\\f2\\fnil\\fcharset0 Verdana;}}\r\n\\viewkind4\\uc1\\pard\\f0\\fs22 The \\f1 word\\f0  is\\line here\r\n"
    "\\par next \\f2\\fs30 1\r\n\\par }\r\n";

// The "Font" button of the question editors: CBT <-> Verdana on the whole text.
void toggleFont(RichTextBox& box) {
  box.setSelStart(0);
  box.setSelLength(box.TextLength());
  box.setSelFontName(box.SelFontName() == "CBT" ? "Verdana" : "CBT");
  box.setSelFontSize(11);
}

// Underlines the first run of CBTLINE characters, up to the next CBT character.
void convertUnderline(RichTextBox& box) {
  const int n = box.TextLength();
  int start = 0, end = 0;
  bool found = false;
  for (int i = 0; i <= n; ++i) {
    box.setSelStart(i);
    box.setSelLength(1);
    if (!found && box.SelFontName() == "CBTLINE") {
      start = i;
      found = true;
    } else if (found && box.SelFontName() == "CBT") {
      end = i;
      break;
    }
  }
  box.setSelStart(start);
  box.setSelLength(end - start);
  box.setSelUnderline(true);
}

// Every backtick and tilde becomes a straight double quote.
void replaceSpecialChars(RichTextBox& box) {
  for (const QString& special : {QStringLiteral("`"), QStringLiteral("~")}) {
    int p = 0;
    for (;;) {
      const int found = box.Find(special, p, true);
      if (found < 0) break;
      box.setSelText("\"");
      p = found + 1;
    }
    box.setSelStart(0);
  }
}

TEST(RichTextBox, RtfInAndOut) {
  RichTextBox box;
  box.setTextRTF(kMixed);
  EXPECT_EQ(box.Text(), "The word is\r\nhere\r\nnext 1");
  EXPECT_EQ(box.SelStart(), 0);
  const QByteArray written = box.TextRTF();
  RichTextBox again;
  again.setTextRTF(written);
  EXPECT_EQ(again.Text(), box.Text());
  EXPECT_EQ(again.TextRTF(), written);

  box.setTextRTF(QByteArray());
  EXPECT_EQ(box.Text(), "");
  EXPECT_EQ(box.TextLength(), 0);

  // What the windows start with.
  box.setText("Question");
  EXPECT_EQ(box.TextRTF(),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}}\r\n"
            "\\viewkind4\\uc1\\pard\\f0\\fs23 Question\r\n\\par }\r\n");
}

TEST(RichTextBox, SelectionPositionsCountCrLf) {
  RichTextBox box;
  box.setTextRTF(kMixed);
  const QString text = box.Text();
  // Every start and length, including those inside a CR LF pair, gives the piece of
  // Text it names or, inside a pair, the nearest whole break.
  for (int start = 0; start <= text.size(); ++start) {
    box.setSelStart(start);
    box.setSelLength(4);
    const bool splitsBreak = start < text.size() && text[start] == '\n';
    if (splitsBreak) continue;
    EXPECT_EQ(box.SelStart(), start);
    EXPECT_EQ(box.SelText(), text.mid(start, box.SelLength())) << start;
  }
  box.setSelStart(9);
  box.setSelLength(5);  // "is\r\nh"
  EXPECT_EQ(box.SelText(), "is\r\nh");
  box.setSelStart(-3);
  EXPECT_EQ(box.SelStart(), 0);
  box.setSelStart(1000);
  EXPECT_EQ(box.SelStart(), text.size());
  EXPECT_EQ(box.SelLength(), 0);
}

TEST(RichTextBox, FontToggleOnMixedAndSingleFonts) {
  RichTextBox box;
  box.setTextRTF(kMixed);
  box.setSelStart(0);
  box.setSelLength(box.TextLength());
  EXPECT_EQ(box.SelFontName(), "");  // mixed fonts give no name
  EXPECT_FALSE(box.SelFontSize().has_value());
  toggleFont(box);
  EXPECT_EQ(box.SelFontName(), "CBT");
  EXPECT_EQ(box.SelFontSize(), 11.0);
  toggleFont(box);
  EXPECT_EQ(box.SelFontName(), "Verdana");
  toggleFont(box);
  EXPECT_EQ(box.SelFontName(), "CBT");
  // The names survive saving although no such font is installed.
  RichTextBox again;
  again.setTextRTF(box.TextRTF());
  again.setSelStart(0);
  again.setSelLength(again.TextLength());
  EXPECT_EQ(again.SelFontName(), "CBT");
}

TEST(RichTextBox, UnderlineConversionMarksExactlyTheCbtlineRun) {
  // Characters 2 to 7 in CBTLINE, a second CBTLINE run later.
  RichTextBox box;
  box.setTextRTF(
      "{\\rtf1{\\fonttbl{\\f0 CBT;}{\\f1 CBTLINE;}}\\f0 ab\\f1 cdefgh\\f0 ijk\\f1 lm\\f0 n\\par}");
  convertUnderline(box);
  for (int i = 0; i < box.TextLength(); ++i) {
    box.setSelStart(i);
    box.setSelLength(1);
    EXPECT_EQ(box.SelUnderline(), i >= 2 && i <= 7) << i;
  }
  box.setSelStart(0);
  box.setSelLength(box.TextLength());
  EXPECT_FALSE(box.SelUnderline().has_value());  // mixed
  // The underline is written as underline and read back.
  RichTextBox again;
  again.setTextRTF(box.TextRTF());
  again.setSelStart(2);
  again.setSelLength(6);
  EXPECT_EQ(again.SelUnderline(), true);
  EXPECT_EQ(again.SelFontName(), "CBTLINE");
}

TEST(RichTextBox, FindAndReplaceEveryBacktickAndTilde) {
  RichTextBox box;
  box.setTextRTF(
      "{\\rtf1{\\fonttbl{\\f0 CBT;}{\\f1 Verdana;}}\\f0 A `word`\\line and ~this~\\par\\f1\\b ``x~\\par}");
  replaceSpecialChars(box);
  EXPECT_EQ(box.Text(), "A \"word\"\r\nand \"this\"\r\n\"\"x\"");
  EXPECT_EQ(box.SelStart(), 0);
  // A replacement keeps the formatting of what it replaced.
  box.setSelStart(box.Text().indexOf("\"\"x"));
  box.setSelLength(1);
  EXPECT_EQ(box.SelFontName(), "Verdana");

  EXPECT_EQ(box.Find("AND", 0, false), 10);
  EXPECT_EQ(box.SelText(), "and");
  EXPECT_EQ(box.Find("AND", 0, true), -1);
  EXPECT_EQ(box.Find("and", 11, false), -1);
  EXPECT_EQ(box.Find("", 0, false), -1);
  EXPECT_EQ(box.Find("x", 1000, false), -1);
}

TEST(RichTextBox, PlainTextReplacesContentAndFormatting) {
  RichTextBox box;
  box.setTextRTF(kMixed);
  box.setText("    first\r\n\r\n     second\nthird");
  EXPECT_EQ(box.Text(), "    first\r\n\r\n     second\r\nthird");
  box.setSelStart(0);
  box.setSelLength(box.TextLength());
  EXPECT_EQ(box.SelFontName(), "Verdana");
  EXPECT_EQ(box.SelFontSize(), 11.5);
  box.setSelStart(4);
  box.setSelLength(5);
  box.setSelText("1st\r\n2nd");
  EXPECT_EQ(box.Text(), "    1st\r\n2nd\r\n\r\n     second\r\nthird");
  EXPECT_EQ(box.SelStart(), 12);
}

TEST(RichTextBox, JapaneseTypedTextIsSavedInCp932) {
  RichTextBox box;
  box.setText(QString::fromUtf8("問題 1"));
  const QByteArray rtf = box.TextRTF();
  EXPECT_TRUE(rtf.contains("{\\f0\\fnil\\fcharset128 Verdana;}{\\f1\\fnil\\fcharset0 Verdana;}")) << rtf.toStdString();
  EXPECT_TRUE(rtf.contains("\\'96\\'e2\\'91\\'e8")) << rtf.toStdString();
  RichTextBox again;
  again.setTextRTF(rtf);
  EXPECT_EQ(again.Text(), QString::fromUtf8("問題 1"));
}

// Ctrl+A, a letter, Enter three times and another letter: every character keeps the font
// and size of the text it replaced, and every font entry has a name.
TEST(RichTextBox, TextTypedAfterEnterKeepsTheFontAroundIt) {
  RichTextBox box;
  box.setTextRTF(kMixed);
  box.setFocus();
  keys::selectAll(&box);
  keys::type(&box, "X\n\n\nY");
  ASSERT_EQ(box.Text(), "X\r\n\r\n\r\nY");
  box.setSelStart(box.TextLength() - 1);
  box.setSelLength(1);
  EXPECT_EQ(box.SelFontName(), "CBT");
  EXPECT_EQ(box.SelFontSize(), 11.0);
  const QByteArray rtf = box.TextRTF();
  EXPECT_FALSE(rtf.contains(" ;}")) << rtf.toStdString();
  EXPECT_TRUE(rtf.contains("\\par Y\r\n")) << rtf.toStdString();
  EXPECT_FALSE(rtf.contains("\\fs24")) << rtf.toStdString();

  // Typed into an emptied box: the box's default font.
  box.setTextRTF(QByteArray());
  keys::type(&box, "a\nb");
  box.setSelStart(3);
  box.setSelLength(1);
  EXPECT_EQ(box.SelFontName(), "Verdana");
  EXPECT_EQ(box.SelFontSize(), 11.5);
}

TEST(RichTextBox, NewContentReplacesTheDocumentInsteadOfKeepingIt) {
  RichTextBox box;
  auto documents = [&] { return box.findChildren<QTextDocument*>().size(); };
  box.setTextRTF(kMixed);
  const qsizetype first = documents();
  for (int i = 0; i < 20; ++i) box.setTextRTF(kMixed);
  {
    RichTextBox::Batch batch(box);
    box.setTextRTF(kMixed);
  }
  EXPECT_EQ(documents(), first);
  EXPECT_EQ(box.Text().left(8), QString("The word"));
}

TEST(RichTextBox, GeometryBorderAndClick) {
  RichTextBox box;
  box.Move(480, 1320, 14415, 850.5);
  EXPECT_EQ(box.Left(), 480);
  EXPECT_EQ(box.Height(), 850.5);
  EXPECT_EQ(box.geometry(), QRect(32, 88, 961, 57));
  EXPECT_TRUE(box.Border());
  box.setBorder(false);
  EXPECT_FALSE(box.Border());

  int clicks = 0;
  box.Click = [&clicks] { ++clicks; };
  const QPointF at(5, 5);
  QMouseEvent press(QEvent::MouseButtonPress, at, box.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, box.viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(box.viewport(), &press);
  QApplication::sendEvent(box.viewport(), &release);
  EXPECT_EQ(clicks, 1);
}

TEST(RichTextBox, ALineOfElevenPointTextFitsABoxOneLineHigh) {
  // A DS statement at its default height of 270 twips.
  RichTextBox box;
  box.Move(1320, 2055, 13815, 270);
  box.setBorder(false);
  box.setTextRTF("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}}\\pard\\f0\\fs22 (1) x > 4\\par }");
  box.show();
  QApplication::processEvents();
  EXPECT_LE(box.document()->size().height(), box.viewport()->height());
}

// A loaded text is laid out to the box's width, shown or not, so that its height and the
// scroll bar are right before anything is painted.
TEST(RichTextBox, LoadedTextIsLaidOutToTheBoxWidth) {
  QByteArray body;
  while (body.size() < 4000) body += "The committee's report drew wide notice. ";
  const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Verdana;}}\\pard\\f0\\fs22 " + body + "\\par }";
  for (bool shown : {false, true}) {
    RichTextBox box;
    box.Move(0, 0, 3000, 1500);  // 200 x 100 px
    if (shown) box.show();
    box.setTextRTF(rtf);
    EXPECT_EQ(box.document()->pageSize().width(), box.viewport()->width()) << shown;
    EXPECT_LE(box.document()->size().width(), box.viewport()->width()) << shown;
    EXPECT_GT(box.document()->size().height(), 20 * box.viewport()->height()) << shown;
    if (shown) {
      EXPECT_GT(box.verticalScrollBar()->maximum(), 0);
    }
  }
}

// TextRTF is written again after every kind of change, however often it was asked for before:
// it is always what writing the shown document gives.
TEST(RichTextBox, WrittenRtfFollowsEveryChange) {
  RichTextBox box;
  box.setTextRTF(kMixed);
  QByteArray before = box.TextRTF();
  auto changedAsWritten = [&] {
    const QByteArray now = box.TextRTF();
    const bool differs = now != before;
    before = now;
    return differs && now == ui::rtf::writeRtf(*box.document());
  };

  box.setSelStart(0);
  box.setSelLength(3);
  box.setSelUnderline(true);  // formatting only
  EXPECT_TRUE(changedAsWritten());
  box.setSelFontSize(20);
  EXPECT_TRUE(changedAsWritten());
  {
    RichTextBox::Batch batch(box);
    box.setSelFontName("Verdana");
    EXPECT_NE(box.TextRTF(), before);
    before = box.TextRTF();
    box.setSelText("A");
    EXPECT_NE(box.TextRTF(), before);
    before = box.TextRTF();
  }
  EXPECT_EQ(box.TextRTF(), before);  // the batch's document is the one shown now
  EXPECT_EQ(before, ui::rtf::writeRtf(*box.document()));
  box.setFocus();
  keys::type(&box, "B");
  EXPECT_TRUE(changedAsWritten());
  box.setText("plain");
  EXPECT_TRUE(changedAsWritten());
  box.setTextRTF(QByteArray());
  EXPECT_TRUE(changedAsWritten());
  box.setDefaultFont("CBT", 12);
  EXPECT_EQ(box.TextRTF(), ui::rtf::writeRtf(*box.document()));
  box.setTextRTF(kMixed);
  EXPECT_TRUE(changedAsWritten());
}

// Replacements inside a paragraph, at its ends and across breaks, in a batch or not: every
// position afterwards is the one a box loaded with the result has.
TEST(RichTextBox, PositionsAfterReplacementsAreThoseOfTheNewText) {
  RichTextBox box;
  box.setTextRTF(kMixed);
  auto check = [&](const char* step) {
    RichTextBox fresh;
    fresh.setTextRTF(box.TextRTF());
    ASSERT_EQ(box.Text(), fresh.Text()) << step;
    for (int i = 0; i <= box.TextLength(); ++i) {
      box.setSelStart(i);
      box.setSelLength(3);
      fresh.setSelStart(i);
      fresh.setSelLength(3);
      EXPECT_EQ(box.SelStart(), fresh.SelStart()) << step << " " << i;
      EXPECT_EQ(box.SelText(), fresh.SelText()) << step << " " << i;
    }
  };
  auto replace = [&](int start, int length, const QString& text) {
    box.setSelStart(start);
    box.setSelLength(length);
    box.setSelText(text);
  };
  replace(4, 4, "sentence");
  check("inside a paragraph");
  replace(0, 0, "A ");
  check("at the start");
  replace(box.TextLength(), 0, "!");
  check("at the end");
  replace(box.Text().indexOf("is"), 2, "");
  check("removed");
  replace(2, 3, "x\r\ny");
  check("a break put in");
  replace(box.Text().indexOf("\r\n") - 1, 4, "z");
  check("a break taken out");
  {
    RichTextBox::Batch batch(box);
    for (int p = box.Find("e", 0, false); p >= 0; p = box.Find("e", p + 2, false)) box.setSelText("ee");
  }
  check("through the text in a batch");
}

}  // namespace
