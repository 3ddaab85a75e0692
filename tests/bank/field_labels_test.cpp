// A field's name as the windows and the search show it.
#include <gtest/gtest.h>

#include "field_labels.h"

namespace {

using store::schema::Kind;

TEST(FieldLabels, TheWindowsAndTheSearchNameTheSameFieldsEachTheirWay) {
  EXPECT_EQ(bank::fieldLabel("choiceC"), "Choice C");
  EXPECT_EQ(bank::fieldPlace(Kind::PS, "choiceC"), "choice C");
  EXPECT_EQ(bank::fieldLabel("reading"), "Passage");
  EXPECT_EQ(bank::fieldPlace(Kind::RC, "reading"), "passage");
  EXPECT_EQ(bank::fieldLabel("statement2"), "Statement 2");
  EXPECT_EQ(bank::fieldPlace(Kind::DS, "statement2"), "statement 2");
  EXPECT_EQ(bank::fieldLabel("question"), "Question");
  EXPECT_EQ(bank::fieldPlace(Kind::SC, "question"), "stem");
  EXPECT_EQ(bank::fieldPlace(Kind::AWA, "question"), "topic");
}

TEST(FieldLabels, AFieldWithoutTextToReadHasALabelButNoPlace) {
  EXPECT_EQ(bank::fieldLabel("passageNum"), "Passage number");
  EXPECT_EQ(bank::fieldPlace(Kind::RC, "passageNum"), "");
  EXPECT_EQ(bank::fieldLabel("answer"), "Answer");
  EXPECT_EQ(bank::fieldPlace(Kind::SC, "answer"), "");
  EXPECT_EQ(bank::fieldLabel("Qnumber"), "Qnumber");  // any other field reads as its name
  EXPECT_EQ(bank::fieldLabel(""), "");
}

}  // namespace
