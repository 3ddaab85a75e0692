// A question's field as plain text: the one maker, with the two ways of writing a break.
#include <gtest/gtest.h>

#include "plain_text.h"

using bank::Breaks;
using bank::schema::FieldType;

TEST(PlainText, RichTextBreaksAreWrittenAsAskedOtherTextIsKeptAsStored) {
  const store::Value rtf(std::string("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 one\\par two\\line three}"));
  bank::PlainText search(Breaks::OneCharacter), history(Breaks::AsTheBoxGivesThem);
  EXPECT_EQ(search.of(FieldType::Rtf, rtf).toStdString(), "one\ntwo\nthree");
  EXPECT_EQ(history.of(FieldType::Rtf, rtf).toStdString(), "one\r\ntwo\r\nthree");
  // The same maker again, on another field: nothing of the last document is left.
  EXPECT_EQ(search.of(FieldType::Rtf, store::Value(std::string("{\\rtf1 four}"))).toStdString(), "four");
  EXPECT_EQ(search.of(FieldType::Text, store::Value(std::string("{\\rtf1 kept}"))).toStdString(), "{\\rtf1 kept}");
  EXPECT_TRUE(history.of(FieldType::Rtf, store::Value()).isEmpty());
}
