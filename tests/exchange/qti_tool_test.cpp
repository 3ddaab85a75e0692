// export-qti and import-qti of the bank tool: what they print, their exit status, and the
// command lines they refuse.
#include <gtest/gtest.h>

#include "qti_test_util.h"
#include "temp_dir.h"
#include "tool_run.h"

namespace {

namespace fs = std::filesystem;
using testing_support::bankTool;
using testing_support::TempDir;
using namespace qti_test;

TEST(QtiTool, ExportsAPoolAndImportsItIntoAnotherBank) {
  TempDir dir;
  makeDemoBank(dir / "from");
  makeEmptyBank(dir / "to");
  const std::string zip = (dir / "ds.zip").string();
  auto out = bankTool({"export-qti", (dir / "from").string(), zip, "--kind", "DS", "--pool", "X040", "--qti", "2.2"});
  EXPECT_EQ(out.status, 0) << out.out;
  EXPECT_EQ(out.out, "6 questions in 1 section written to " + zip + ".\n");
  out = bankTool({"import-qti", (dir / "to").string(), zip, "SC", "X040"});
  EXPECT_EQ(out.status, 0) << out.out;
  EXPECT_EQ(out.out, "6 questions imported (04001 to 04006).\n");
  out = bankTool({"sql", (dir / "to").string(), "select count(*) as n from DStbl;"});
  EXPECT_EQ(out.out, "n\n6\n");
}

TEST(QtiTool, AnItemThatCannotComeInFailsTheImportUnlessSkipped) {
  TempDir dir;
  makeEmptyBank(dir / "bank");
  const std::string declaration =
      "<responseDeclaration identifier=\"R\" cardinality=\"single\" baseType=\"identifier\"/>";
  writeZip(dir / "p.zip",
           {{"imsmanifest.xml",
             "<manifest xmlns=\"http://www.imsglobal.org/xsd/imscp_v1p1\" identifier=\"m\"><resources>"
             "<resource identifier=\"a\" type=\"imsqti_item_xmlv2p1\" href=\"a.xml\"/>"
             "<resource identifier=\"b\" type=\"imsqti_item_xmlv2p1\" href=\"b.xml\"/></resources></manifest>"},
            {"a.xml", itemWithBody(declaration, "<p>good</p><choiceInteraction responseIdentifier=\"R\" maxChoices=\"1\">"
                                                "<simpleChoice identifier=\"x\">x</simpleChoice></choiceInteraction>")},
            {"b.xml", itemWithBody(declaration, "<p>Fill in <textEntryInteraction responseIdentifier=\"R\"/></p>")}});
  auto out = bankTool({"import-qti", (dir / "bank").string(), (dir / "p.zip").string(), "CR", "X060"});
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(out.out,
            "zorbex-bank: These items cannot be imported; nothing was imported:\n"
            "  b.xml: it holds a textEntryInteraction, which cannot be read as a question's text\n");
  out = bankTool({"import-qti", (dir / "bank").string(), (dir / "p.zip").string(), "CR", "X060", "--skip"});
  EXPECT_EQ(out.status, 0) << out.out;
  EXPECT_EQ(out.out,
            "1 question imported (06001). Left out:\n"
            "  b.xml: it holds a textEntryInteraction, which cannot be read as a question's text\n");
}

TEST(QtiTool, AWrongCommandLineOpensNothing) {
  TempDir dir;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"export-qti", dir.path().string()},
        {"export-qti", dir.path().string(), "x.zip", "--qti", "3.0"},
        {"export-qti", dir.path().string(), "x.zip", "--kind", "XX"},
        {"import-qti", dir.path().string(), "x.zip", "XX", "X010"},
        {"import-qti", dir.path().string(), "x.zip", "SC"}}) {
    EXPECT_EQ(bankTool(args).status, 2) << args[1];
  }
}

}  // namespace
