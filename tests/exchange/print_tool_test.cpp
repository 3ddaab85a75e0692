// zorbex-bank print: a selection of the demo bank as a PDF, and what the command refuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "print_support.h"

namespace {

using namespace print_test;
using testing_support::bankTool;

class PrintTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(bankTool({"create", "--demo", (dir / "bank").string()}).status, 0); }
  std::string bank() { return (dir / "bank").string(); }
  std::string pdf() { return (dir / "out.pdf").string(); }
  testing_support::TempDir dir;
};

TEST_F(PrintTool, WritesTheSelectionOnThePageAskedFor) {
  const auto printed = bankTool({"print", bank(), pdf(), "--kind", "DS", "--pool", "X040", "--key", "--page", "Letter"});
  ASSERT_EQ(printed.status, 0) << printed.out;
  const std::string text = pdfText(pdf());
  EXPECT_NE(text.find("(A) Statement (1) ALONE is su"), std::string::npos);
  EXPECT_NE(text.find("Answer key"), std::string::npos);
  EXPECT_NE(text.find("DS: pool X040"), std::string::npos);  // the header
  EXPECT_EQ(text.find("SC  "), std::string::npos);
  EXPECT_NE(print_test::run("pdfinfo " + testing_support::quoteArg(pdf())).find("612 x 792 pts"), std::string::npos);
}

TEST_F(PrintTool, RefusesWrongWordsAndWritesNothingForAnEmptySelection) {
  EXPECT_EQ(bankTool({"print", bank(), pdf(), "--kind", "XX"}).status, 2);
  EXPECT_EQ(bankTool({"print", bank(), pdf(), "--page", "B5"}).status, 2);
  EXPECT_EQ(bankTool({"print", bank(), pdf(), "--pool"}).status, 2);
  EXPECT_EQ(bankTool({"print", bank()}).status, 2);
  const auto empty = bankTool({"print", bank(), pdf(), "--prefix", "999"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find("nothing was written"), std::string::npos) << empty.out;
  EXPECT_FALSE(std::filesystem::exists(pdf()));
}

}  // namespace
