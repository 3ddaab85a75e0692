// QTI import: the round trip through an empty bank, items of other tools, all or nothing, and
// the refusals of what cannot be represented or would do harm.
#include <gtest/gtest.h>
#include <zip.h>

#include <QFile>

#include "qti_test_util.h"
#include "question_record.h"
#include "recordset.h"
#include "schema.h"
#include "temp_dir.h"
#include "zip_package.h"

namespace {

namespace fs = std::filesystem;
namespace qti = exchange::qti;
using bank::schema::Kind;
using testing_support::TempDir;
using namespace qti_test;

const std::string kChoiceDeclaration =
    "<responseDeclaration identifier=\"RESPONSE\" cardinality=\"single\" baseType=\"identifier\">"
    "<correctResponse><value>c3</value></correctResponse></responseDeclaration>";

std::string choices(int n) {
  std::string out = "<choiceInteraction responseIdentifier=\"RESPONSE\" maxChoices=\"1\">";
  for (int i = 1; i <= n; ++i) out += "<simpleChoice identifier=\"c" + std::to_string(i) + "\">choice " + std::to_string(i) + "</simpleChoice>";
  return out + "</choiceInteraction>";
}

class QtiImport : public testing::Test {
 protected:
  void SetUp() override {
    makeEmptyBank(dir / "bank");
    openBank(conn, dir / "bank");
  }
  qti::ImportResult import(const fs::path& source, Kind kind = Kind::SC, const std::string& pool = "X050",
                           bool skip = false) {
    qti::ImportOptions o;
    o.kind = kind;
    o.pool = pool;
    o.skip = skip;
    return qti::importPackage(conn, source, o);
  }
  // Why the import of source was refused; empty when it was not.
  std::string refusal(const fs::path& source, Kind kind = Kind::SC) {
    try {
      import(source, kind);
    } catch (const qti::ImportRefused& e) {
      return e.what();
    }
    return {};
  }
  fs::path itemFile(const QByteArray& xml, const std::string& name = "item.xml") {
    const fs::path p = dir / name;
    QFile f(QString::fromStdString(p.string()));
    f.open(QIODevice::WriteOnly);
    f.write(xml);
    return p;
  }
  long rows(const char* table) {
    store::Recordset rs;
    rs.open(std::string("select count(*) as n from ") + table + ";", conn, store::adOpenForwardOnly, store::adLockReadOnly);
    return static_cast<long>(rs.value("n").toInt());
  }
  std::string field(Kind kind, const std::string& numQ, const char* name) {
    return bank::readRecord(conn, bank::wholeRecordFields(kind), numQ)->at(name).toString();
  }
  TempDir dir;
  store::Connection conn;
};

TEST(QtiRoundTrip, TheDemoBankComesBackFieldByFieldInBothVersions) {
  for (qti::Version v : {qti::Version::V2p1, qti::Version::V2p2}) {
    TempDir dir;
    makeDemoBank(dir / "from");
    makeEmptyBank(dir / "to");
    store::Connection from, to;
    openBank(from, dir / "from");
    openBank(to, dir / "to");
    roundTrip(from, to, dir.path(), v);
  }
}

TEST(QtiRoundTrip, GeneratedBankOf10000QuestionsOfEveryKindComesBack) {
  TempDir dir;
  makeEmptyBank(dir / "from");
  makeEmptyBank(dir / "to");
  store::Connection from, to;
  openBank(from, dir / "from");
  openBank(to, dir / "to");
  const std::string stem =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 CBT;}{\\f1\\fnil\\fcharset2 Symbol;}{\\f2\\fnil\\fcharset128 "
      "MS Mincho;}}\\pard\\f0\\fs23 The \\b report\\b0 , \\i which\\i0  x\\super 2\\nosupersub  and H\\sub 2\\nosupersub O "
      "\\ul drew\\ulnone  \\f1 a\\f0  \\f2\\u26085?\\u26412?\\f0\\line next\\par second paragraph\\par }";
  {
    store::Transaction tx(from);
    long made = 0;
    for (int pool = 100; made < 10000; ++pool) {
      for (Kind kind : bank::schema::kAllKinds) {
        const bool essay = kind == Kind::AWA;
        const char* table = bank::schema::kindEntry(kind).table;
        store::Recordset rs;
        rs.open(table, from, store::adOpenKeyset, store::adLockOptimistic, store::adCmdTable);
        for (int i = 1; i <= (essay ? 5 : 60) && made < 10000; ++i, ++made) {
          rs.addNew();
          char n[48];
          std::snprintf(n, sizeof n, essay ? "A%03d" : "%03d%02d", essay ? (pool - 100) * 5 + i : pool, i);
          rs.setValue("numQ", n);
          rs.setValue(bank::schema::fieldFor(kind, bank::schema::Holds::Pool), essay ? "A" : "X" + std::to_string(pool));
          rs.setValue("question", stem);
          if (essay) continue;
          rs.setValue("answer", std::string(1, static_cast<char>('A' + i % 5)));
          for (size_t c = 0; c < 5; ++c)
            if (const char* f = bank::schema::fieldFor(kind, bank::schema::choiceAt(c)))
              rs.setValue(f, kind == Kind::PS ? stem : "choice " + std::to_string(c));
          if (const char* f = bank::schema::fieldFor(kind, bank::schema::Holds::Passage)) rs.setValue(f, stem);
          if (const char* f = bank::schema::fieldFor(kind, bank::schema::Holds::Statement1)) rs.setValue(f, stem);
          if (const char* f = bank::schema::sizeField(kind, bank::schema::SizeOf::QuestionHeight)) rs.setValue(f, 3.25);
          rs.update();
        }
        if (essay) rs.update();
        rs.close();
      }
    }
    tx.commit();
  }
  roundTrip(from, to, dir.path(), qti::Version::V2p2);
}

TEST_F(QtiImport, AnItemOfAnotherToolBecomesAQuestionWithItsFormattingAndPicture) {
  const QByteArray item = itemWithBody(
      kChoiceDeclaration,
      "<p>Which <strong>one</strong> is <em>right</em>? H<sub>2</sub>O and x<sup>2</sup>"
      "<br/>second line <span class=\"underline\">marked</span> <img src=\"img/dot.png\" alt=\"dot\" width=\"20\" height=\"10\"/></p>\n"
      "  <p>日本語 α</p>\n" +
          choices(3));
  writeZip(dir / "p.zip",
           {{"imsmanifest.xml",
             "<manifest xmlns=\"http://www.imsglobal.org/xsd/imscp_v1p1\" identifier=\"m\"><organizations/><resources>"
             "<resource identifier=\"i\" type=\"imsqti_item_xmlv2p1\" href=\"q/item.xml\"><file href=\"q/item.xml\"/></resource>"
             "</resources></manifest>"},
            {"q/item.xml", item},
            {"q/img/dot.png", onePixelPng()}});
  const qti::ImportResult r = import(dir / "p.zip", Kind::PS, "X050");
  ASSERT_EQ(r.numbers, std::vector<std::string>{"05001"});
  const std::string stem = field(Kind::PS, "05001", "question");
  for (const char* word : {"\\b one\\b0", "\\i right\\i0", "\\sub 2", "\\super 2", "\\line", "\\ul marked", "\\pngblip",
                           "\\picwgoal300\\pichgoal150", "\\u945?"})
    EXPECT_NE(stem.find(word), std::string::npos) << word << " in " << stem;
  EXPECT_EQ(field(Kind::PS, "05001", "answer"), "C");
  EXPECT_NE(field(Kind::PS, "05001", "choiceC").find("choice 3"), std::string::npos);
  EXPECT_EQ(field(Kind::PS, "05001", "choiceD"), "");
  EXPECT_EQ(field(Kind::PS, "05001", "src"), "X050");
}

TEST_F(QtiImport, AnInteractionInsideAnotherToolsDivisionIsFound) {
  const fs::path p = itemFile(itemWithBody(
      kChoiceDeclaration, "<div class=\"layout\"><p>The stem</p><div>" + choices(3) + "</div></div><div><p>after</p></div>"));
  const qti::ImportResult r = import(p);
  ASSERT_EQ(r.numbers, std::vector<std::string>{"05001"});
  const std::string stem = field(Kind::SC, "05001", "question");
  EXPECT_NE(stem.find("The stem"), std::string::npos);
  EXPECT_NE(stem.find("after"), std::string::npos);
  EXPECT_EQ(field(Kind::SC, "05001", "choiceC"), "choice 3");
  EXPECT_EQ(field(Kind::SC, "05001", "answer"), "C");
}

TEST_F(QtiImport, AnExtendedTextItemBecomesAnEssayTopic) {
  const fs::path p = itemFile(itemWithBody(
      "<responseDeclaration identifier=\"RESPONSE\" cardinality=\"single\" baseType=\"string\"/>",
      "<extendedTextInteraction responseIdentifier=\"RESPONSE\"><prompt>Discuss the claim.</prompt></extendedTextInteraction>"));
  const qti::ImportResult r = import(p, Kind::AWA, "I");
  ASSERT_EQ(r.numbers, std::vector<std::string>{"I001"});
  EXPECT_NE(field(Kind::AWA, "I001", "question").find("Discuss the claim."), std::string::npos);
}

TEST_F(QtiImport, WhatCannotBeRepresentedIsNamedWithItsReason) {
  const std::vector<std::pair<QByteArray, std::string>> cases = {
      {itemWithBody(kChoiceDeclaration, choices(6)), "more than five choices"},
      {itemWithBody("<responseDeclaration identifier=\"RESPONSE\" cardinality=\"multiple\" baseType=\"identifier\"/>",
                    choices(3)),
       "more than one answer"},
      {itemWithBody(kChoiceDeclaration + kChoiceDeclaration, choices(3)), "more than one response"},
      {itemWithBody(kChoiceDeclaration,
                    "<p>Fill in <textEntryInteraction responseIdentifier=\"RESPONSE\"/></p>"),
       "textEntryInteraction"},
      {itemWithBody(kChoiceDeclaration, "<p><img src=\"gone.png\" alt=\"\"/></p>" + choices(3)), "gone.png"},
      {itemWithBody(kChoiceDeclaration, "<p>crossed</b>" + choices(3)), "not well formed"},
      {"<html><body>not an item</body></html>", "not a QTI 2 assessment item"},
      {itemWithBody(kChoiceDeclaration, choices(2) + choices(2)), "more than one interaction"},
  };
  for (const auto& [xml, reason] : cases) {
    const std::string why = refusal(itemFile(xml));
    EXPECT_NE(why.find(reason), std::string::npos) << "wanted '" << reason << "', got: " << why;
    EXPECT_NE(why.find("item.xml"), std::string::npos) << why;
  }
  EXPECT_EQ(rows("SCtbl"), 0);
}

TEST_F(QtiImport, EntitiesAreNeverExpandedNorFetched) {
  const std::string laughs =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE assessmentItem [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>\n";
  const std::string external =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE assessmentItem [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n";
  const std::string tail = itemWithBody(kChoiceDeclaration, "<p>&c;&x;</p>" + choices(3)).toStdString();
  const std::string body = tail.substr(tail.find("<assessmentItem"));
  for (const std::string& head : {laughs, external}) {
    const std::string why = refusal(itemFile(QByteArray::fromStdString(head + body)));
    EXPECT_NE(why.find("document type"), std::string::npos) << why;
  }
  EXPECT_EQ(rows("SCtbl"), 0);
}

TEST_F(QtiImport, NoFileOutsideThePackageIsReached) {
  const QByteArray manifest =
      "<manifest xmlns=\"http://www.imsglobal.org/xsd/imscp_v1p1\" identifier=\"m\"><resources>"
      "<resource identifier=\"i\" type=\"imsqti_item_xmlv2p1\" href=\"item.xml\"/></resources></manifest>";
  // A picture named with .. or an absolute path is not read, even where the file exists.
  itemFile(onePixelPng(), "outside.png");
  for (const std::string& src : {std::string("../outside.png"), dir.path().string() + "/outside.png", std::string("file:///etc/hostname")}) {
    writeZip(dir / "p.zip", {{"imsmanifest.xml", manifest},
                             {"item.xml", itemWithBody(kChoiceDeclaration, "<p><img src=\"" + src + "\" alt=\"\"/></p>" + choices(3))}});
    EXPECT_NE(refusal(dir / "p.zip").find("is not in the package"), std::string::npos) << src;
  }
  // Beside a single item file, a link that leads out of its folder is not followed.
  fs::create_directories(dir / "single");
  fs::create_symlink(dir / "outside.png", dir / "single" / "linked.png");
  const fs::path single = itemFile(itemWithBody(kChoiceDeclaration, "<p><img src=\"linked.png\" alt=\"\"/></p>" + choices(3)),
                                   "single/item.xml");
  EXPECT_NE(refusal(single).find("is not in the package"), std::string::npos);
  // An entry whose own name climbs out refuses the package before anything is read.
  writeZip(dir / "p.zip", {{"imsmanifest.xml", manifest}, {"../evil.xml", "x"}});
  EXPECT_NE(refusal(dir / "p.zip").find("reaches outside the package"), std::string::npos);
  EXPECT_EQ(rows("SCtbl"), 0);
}

TEST_F(QtiImport, AZipBombIsRefusedUnopened) {
  writeZip(dir / "bomb.zip", {{"imsmanifest.xml", QByteArray(8 << 20, ' ')}});
  EXPECT_NE(refusal(dir / "bomb.zip").find("zip bomb"), std::string::npos);
  exchange::qti::ZipLimits small;
  small.totalBytes = 1000;
  writeZip(dir / "big.zip", {{"a.xml", QByteArray(800, 'a')}, {"b.xml", QByteArray(800, 'b')}});
  EXPECT_THROW(exchange::qti::ZipReader reader(dir / "big.zip", small), exchange::qti::PackageError);
}

TEST_F(QtiImport, OneBadItemImportsNothingUnlessSkippedAndThenIsListed) {
  std::string resources;
  std::vector<std::pair<std::string, QByteArray>> files;
  for (int i = 1; i <= 3; ++i) {
    const std::string name = "item" + std::to_string(i) + ".xml";
    resources += "<resource identifier=\"i" + std::to_string(i) + "\" type=\"imsqti_item_xmlv2p1\" href=\"" + name + "\"/>";
    files.emplace_back(name, itemWithBody(kChoiceDeclaration, "<p>stem " + std::to_string(i) + "</p>" + choices(i == 2 ? 7 : 4)));
  }
  files.emplace_back("imsmanifest.xml", QByteArray::fromStdString(
                                            "<manifest xmlns=\"http://www.imsglobal.org/xsd/imscp_v1p1\" identifier=\"m\"><resources>" +
                                            resources + "</resources></manifest>"));
  writeZip(dir / "p.zip", files);
  const std::string why = refusal(dir / "p.zip");
  EXPECT_NE(why.find("item2.xml: it has more than five choices"), std::string::npos) << why;
  EXPECT_EQ(rows("SCtbl"), 0);

  const qti::ImportResult r = import(dir / "p.zip", Kind::SC, "X050", true);
  EXPECT_EQ(r.numbers, (std::vector<std::string>{"05001", "05002"}));
  ASSERT_EQ(r.leftOut.size(), 1u);
  EXPECT_EQ(r.leftOut[0].item, "item2.xml");
  EXPECT_NE(field(Kind::SC, "05002", "question").find("stem 3"), std::string::npos);
}

TEST_F(QtiImport, AValueThatItsFieldCannotHoldRefusesTheItem) {
  TempDir from;
  makeDemoBank(from / "bank");
  store::Connection source;
  openBank(source, from / "bank");
  qti::ExportOptions o;
  o.kinds = {Kind::DS};
  o.pool = "X040";
  qti::exportPackage(source, dir / "ds.zip", o);
  // The package edited: a flag that is not one.
  qti::ZipReader reader(dir / "ds.zip");
  std::vector<std::pair<std::string, QByteArray>> files;
  for (const std::string& name : reader.names()) {
    QByteArray data = reader.read(name);
    if (name == "imsmanifest.xml")
      data.replace("<zx:field name=\"statePosition1\" type=\"integer\">1</zx:field>",
                   "<zx:field name=\"statePosition1\" type=\"integer\">7</zx:field>");
    files.emplace_back(name, data);
  }
  writeZip(dir / "edited.zip", files);
  EXPECT_NE(refusal(dir / "edited.zip", Kind::DS).find("statePosition1 is not a flag"), std::string::npos);
  EXPECT_EQ(rows("DStbl"), 0);
}

TEST_F(QtiImport, APoolWithoutRoomForEveryItemTakesNone) {
  std::string resources;
  std::vector<std::pair<std::string, QByteArray>> files;
  for (int i = 1; i <= 100; ++i) {
    const std::string name = "item" + std::to_string(i) + ".xml";
    resources += "<resource identifier=\"i" + std::to_string(i) + "\" type=\"imsqti_item_xmlv2p1\" href=\"" + name + "\"/>";
    files.emplace_back(name, itemWithBody(kChoiceDeclaration, choices(3)));
  }
  files.emplace_back("imsmanifest.xml", QByteArray::fromStdString(
                                            "<manifest xmlns=\"http://www.imsglobal.org/xsd/imscp_v1p1\" identifier=\"m\"><resources>" +
                                            resources + "</resources></manifest>"));
  writeZip(dir / "p.zip", files);
  EXPECT_NE(refusal(dir / "p.zip").find("has room for 99 more questions, not 100"), std::string::npos);
  EXPECT_EQ(rows("SCtbl"), 0);
}

}  // namespace
