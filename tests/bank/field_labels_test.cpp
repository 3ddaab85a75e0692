// A field's name as the windows and the search show it.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>

#include "field_labels.h"

namespace {

using bank::schema::Kind;

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

// The registry's roles: code that fills or reads a question finds its fields by them.
namespace roles {

using bank::schema::choiceAt;
using bank::schema::fieldFor;
using bank::schema::Holds;
using bank::schema::kAllKinds;
using bank::schema::kindEntry;
using bank::schema::SizeOf;

TEST(FieldRoles, EveryRoleAndSizeIsHeldByOneFieldAtMostInEachKind) {
  for (Kind k : kAllKinds) {
    std::map<Holds, int> roles;
    std::map<SizeOf, int> sizes;
    for (const bank::schema::Field& f : kindEntry(k).fields) {
      if (f.holds != Holds::Other) {
        EXPECT_EQ(++roles[f.holds], 1) << kindEntry(k).name << " " << f.name;
      }
      if (f.size != SizeOf::None) {
        EXPECT_EQ(++sizes[f.size], 1) << kindEntry(k).name << " " << f.name;
        EXPECT_STREQ(bank::schema::sizeField(k, f.size), f.name);
      }
    }
  }
}

TEST(FieldRoles, EveryKindHasItsPoolAndStemAndTheChoicesFollowTheirLetters) {
  for (Kind k : kAllKinds) {
    EXPECT_NE(fieldFor(k, Holds::Pool), nullptr) << kindEntry(k).name;
    EXPECT_NE(fieldFor(k, Holds::Stem), nullptr) << kindEntry(k).name;
  }
  for (Kind k : bank::schema::choiceKinds()) {
    EXPECT_NE(fieldFor(k, Holds::Answer), nullptr) << kindEntry(k).name;
    if (k == Kind::DS) continue;  // its choices are fixed texts, not stored
    for (size_t i = 0; i < 5; ++i) {
      const std::string field = fieldFor(k, choiceAt(i));
      EXPECT_EQ(field.back(), static_cast<char>('A' + i)) << kindEntry(k).name;
    }
  }
  EXPECT_EQ(fieldFor(Kind::DS, choiceAt(0)), nullptr);
  EXPECT_EQ(fieldFor(Kind::AWA, Holds::Answer), nullptr);
}

TEST(FieldRoles, AFieldIsFoundByNameOnlyInAKindThatHasIt) {
  const std::string passage = fieldFor(Kind::RC, Holds::Passage);
  EXPECT_NE(bank::schema::findField(Kind::RC, passage), nullptr);
  EXPECT_EQ(bank::schema::findField(Kind::SC, passage), nullptr);
  EXPECT_EQ(bank::fieldPlace(Kind::SC, passage), "");  // not a place of an SC question
  EXPECT_EQ(bank::fieldPlace(Kind::DS, fieldFor(Kind::SC, choiceAt(0))), "");
}

TEST(FieldRoles, AKindIsFoundByItsTableInAnyCase) {
  for (Kind k : kAllKinds) {
    EXPECT_EQ(bank::schema::kindWithTable(kindEntry(k).table), k);
    std::string upper = kindEntry(k).table;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(bank::schema::kindWithTable(upper), k);
  }
  EXPECT_EQ(bank::schema::kindWithTable("tblMemo"), std::nullopt);
  EXPECT_EQ(bank::schema::kindWithTable("SCtb"), std::nullopt);
}

}  // namespace roles

}  // namespace
