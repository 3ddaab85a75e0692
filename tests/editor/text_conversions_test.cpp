// "Reset Passage" on a rich-text box: what each of its passes keeps and removes.
#include <gtest/gtest.h>

#include "rich_text_box.h"
#include "text_conversions.h"

namespace {

QString resetOf(const QString& text) {
  ui::RichTextBox box;
  box.setText(text);
  editor::resetPassage(box);
  return box.Text();
}

TEST(ResetPassage, RemovesLineNumberMarksFrom5To150Only) {
  EXPECT_EQ(resetOf("x(5) a(150) b(155) c(7) d(5)e"), "    xab(155) c(7) d(5)e");
}

TEST(ResetPassage, TurnsLineIntoASpaceInAnyCaseAndInsideWords) {
  EXPECT_EQ(resetOf("Outline LINE end"), "    Out end");
}

TEST(ResetPassage, KeepsTheFirstRunOfTenSpacesAndBreaksAtTheOthers) {
  const QString ten(10, ' ');
  EXPECT_EQ(resetOf("a" + ten + "b" + ten + "c" + ten + "d"), "    a bcd");
}

TEST(ResetPassage, JoinsLinesAndStartsAnIndentedParagraphAtAnEmptyLine) {
  EXPECT_EQ(resetOf("A\r\nB\r\n\r\nC\r\n"), "    AB\r\n\r\n     C");
  EXPECT_EQ(resetOf("no break `at all~"), "    no break \"at all\"");
}

TEST(ResetPassage, LinesPastThe151stStayAsTheyWere) {
  QString text;
  for (int i = 1; i <= 155; ++i) text += QStringLiteral("x%1\r\n").arg(i);
  QString joined = "    ";
  for (int i = 1; i <= 151; ++i) joined += QStringLiteral("x%1").arg(i);
  EXPECT_EQ(resetOf(text), joined + "x152\r\nx153\r\nx154\r\nx155\r\n");
}

}  // namespace
