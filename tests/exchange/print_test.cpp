// Printing below the windows: one question as a document, the questions a selection names, and
// whole printouts read back from the PDF with poppler's tools.
#include <gtest/gtest.h>

#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>

#include <fstream>
#include <string>

#include "print_job.h"
#include "print_support.h"
#include "question_document.h"

namespace {

using namespace print_test;
using exchange::print::QuestionDocuments;
using exchange::print::QuestionRef;
using store::Value;
namespace print = exchange::print;

bank::Record record(Kind kind, const std::map<Holds, Value>& fields) {
  bank::Record r;
  for (const auto& [what, value] : fields) r[bank::schema::fieldFor(kind, what)] = value;
  return r;
}

std::map<Holds, Value> choices(const std::string& stem, const std::string& answer) {
  std::map<Holds, Value> f{{Holds::Pool, Value("X012")}, {Holds::Stem, Value(rtf(stem))}, {Holds::Answer, Value(answer)}};
  for (size_t i = 0; i < 5; ++i) f[bank::schema::choiceAt(i)] = Value("choice " + std::string(1, char('a' + i)));
  return f;
}

QString textOf(QuestionDocuments& documents, Kind kind, const bank::Record& r) {
  QTextDocument doc;
  documents.question({kind, "01201"}, r, doc);
  return doc.toPlainText();
}

// ----- one question as a document

TEST(PrintDocument, AQuestionShowsItsHeadingStemAndLetteredChoicesAndTheKeyOnlyWhenAsked) {
  const bank::Record sc = record(Kind::SC, choices("The stem", "C"));
  QuestionDocuments plain(false), keyed(true);
  const QString expected = QString::fromUtf8("SC  01201  \u00b7  pool X012\nThe stem\n(A) choice a\n(B) choice b\n"
                                             "(C) choice c\n(D) choice d\n(E) choice e");
  EXPECT_EQ(textOf(plain, Kind::SC, sc), expected);
  EXPECT_EQ(textOf(keyed, Kind::SC, sc), expected + "\nAnswer: C");
}

TEST(PrintDocument, TheKeySaysSoWhereNoAnswerIsStored) {
  QuestionDocuments keyed(true);
  EXPECT_TRUE(textOf(keyed, Kind::CR, record(Kind::CR, choices("s", ""))).endsWith("\nAnswer: no answer stored"));
  bank::Record none = record(Kind::CR, choices("s", ""));
  none["answer"] = Value();
  EXPECT_TRUE(textOf(keyed, Kind::CR, none).endsWith("\nAnswer: no answer stored"));
}

TEST(PrintDocument, DataSufficiencyShowsNumberedStatementsAndTheChoicesItsKindShares) {
  const bank::Record ds = record(Kind::DS, {{Holds::Stem, Value(rtf("Is x odd?"))},
                                            {Holds::Statement1, Value(rtf("x + 1 is even"))},
                                            // its number typed into the text already: not twice
                                            {Holds::Statement2, Value(rtf("(2) 2x is even"))},
                                            {Holds::Answer, Value("A")}});
  QuestionDocuments keyed(true);
  const QString text = textOf(keyed, Kind::DS, ds);
  EXPECT_EQ(text,
            QString::fromUtf8("DS  01201\nIs x odd?\n(1) x + 1 is even\n(2) 2x is even\n(A) ") +
                bank::schema::kDataSufficiencyChoices[0] + "\n(B) " + bank::schema::kDataSufficiencyChoices[1] +
                "\n(C) " + bank::schema::kDataSufficiencyChoices[2] + "\n(D) " + bank::schema::kDataSufficiencyChoices[3] +
                "\n(E) " + bank::schema::kDataSufficiencyChoices[4] + "\nAnswer: A");
}

TEST(PrintDocument, RichTextKeepsItsSizesLineBreaksAndScripts) {
  // A 20-point formula with a line break, and Japanese text as a stem.
  std::map<Holds, Value> f = choices("x{\\fs40 y}\\line z \\u34920?\\u12398?", "B");
  QuestionDocuments documents(false);
  QTextDocument doc;
  documents.question({Kind::SC, "01201"}, record(Kind::SC, f), doc);
  QTextCursor at = doc.find(QStringLiteral("xy"));
  ASSERT_FALSE(at.isNull());
  EXPECT_EQ(at.block().text(), QString("xy") + QChar::LineSeparator + QString::fromUtf8("z 表の"));
  at = doc.find(QStringLiteral("y"));
  ASSERT_FALSE(at.isNull());
  EXPECT_EQ(at.charFormat().fontPointSize(), 20);
}

TEST(PrintDocument, ArrangedProblemSolvingChoicesStandInOneRowAsRichText) {
  std::map<Holds, Value> f = choices("What is 2 + 2?", "D");
  for (size_t i = 0; i < 5; ++i) f[bank::schema::choiceAt(i)] = Value(rtf(std::to_string(i + 2), 30));
  QuestionDocuments documents(false);
  for (const bool arranged : {false, true}) {
    f[Holds::ChoiceArrangement] = Value(arranged ? 1.0 : 0.0);
    QTextDocument doc;
    documents.question({Kind::PS, "05001"}, record(Kind::PS, f), doc);
    QTextTable* row = nullptr;
    for (QTextBlock b = doc.begin(); b.isValid() && !row; b = b.next()) row = QTextCursor(b).currentTable();
    if (!arranged) {
      EXPECT_EQ(row, nullptr);
      EXPECT_TRUE(doc.toPlainText().endsWith("\n(E) 6"));
      continue;
    }
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->rows(), 1);
    ASSERT_EQ(row->columns(), 5);
    const QTextTableCell d = row->cellAt(0, 3);
    QTextCursor c = d.lastCursorPosition();
    EXPECT_EQ(c.block().text(), "(D) 5");
    EXPECT_EQ(c.charFormat().fontPointSize(), 15);  // the formula's own size, not the letter's
  }
}

TEST(PrintDocument, AnEssayTopicHasNoChoicesAndNoKey) {
  const bank::Record awa = record(Kind::AWA, {{Holds::Pool, Value("A")}, {Holds::Stem, Value(rtf("Discuss."))}});
  QuestionDocuments keyed(true);
  EXPECT_EQ(textOf(keyed, Kind::AWA, awa), QString::fromUtf8("AWA  01201  \u00b7  Argument\nDiscuss."));
}

// ----- the questions of a selection

class PrintSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* n : {"01302", "01201", "01301", "01202"})
      b.add(Kind::SC, n, {{Holds::Pool, Value(std::string(n).substr(0, 3) == "012" ? "X012" : "X013")}});
    b.add(Kind::CR, "02001", {{Holds::Pool, Value("X020")}});
    b.add(Kind::AWA, "A02", {{Holds::Pool, Value("A")}});
    b.add(Kind::AWA, "I01", {{Holds::Pool, Value("I")}});
    b.add(Kind::AWA, "A01", {{Holds::Pool, Value("A")}});
  }
  std::vector<QuestionRef> of(const print::Selection& s) { return print::selectedQuestions(b.conn, s); }
  Bank b;
};

TEST_F(PrintSelection, KindByKindPoolByPoolInNumberOrderNarrowedByPoolAndPrefix) {
  EXPECT_EQ(of({}), (std::vector<QuestionRef>{{Kind::SC, "01201"}, {Kind::SC, "01202"}, {Kind::SC, "01301"},
                                              {Kind::SC, "01302"}, {Kind::CR, "02001"}, {Kind::AWA, "A01"},
                                              {Kind::AWA, "A02"}, {Kind::AWA, "I01"}}));
  EXPECT_EQ(of({.kinds = {Kind::SC}, .pool = "x013"}),
            (std::vector<QuestionRef>{{Kind::SC, "01301"}, {Kind::SC, "01302"}}));
  EXPECT_EQ(of({.numberPrefix = "0120"}), (std::vector<QuestionRef>{{Kind::SC, "01201"}, {Kind::SC, "01202"}}));
  EXPECT_TRUE(of({.kinds = {Kind::CR}, .pool = "X012"}).empty());
}

TEST_F(PrintSelection, EssayTopicsAreChosenByTheirTypeAsLetterOrWord) {
  const std::vector<QuestionRef> arguments{{Kind::AWA, "A01"}, {Kind::AWA, "A02"}};
  EXPECT_EQ(of({.kinds = {Kind::AWA}, .pool = "Argument"}), arguments);
  EXPECT_EQ(of({.kinds = {Kind::AWA}, .pool = "a"}), arguments);
  EXPECT_EQ(of({.kinds = {Kind::AWA}, .pool = "Issue"}), (std::vector<QuestionRef>{{Kind::AWA, "I01"}}));
}

TEST(PrintSelectionWithoutTable, AKindTheBankLacksGivesNoQuestion) {
  testing_support::TempDir dir;
  bank::schema::createBank(dir.path(), {Kind::CR});
  store::Connection conn;
  conn.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
  EXPECT_TRUE(print::selectedQuestions(conn, {.kinds = {Kind::CR}}).empty());
}

// ----- whole printouts

class PrintPdf : public ::testing::Test {
 protected:
  std::string write(const std::vector<QuestionRef>& qs, bool key, const print::Progress& progress = {},
                    print::Outcome expected = print::Outcome::Printed) {
    const std::string path = (b.dir / "out.pdf").string();
    QString error;
    const print::Outcome outcome = print::writePdf(b.conn, qs, {.withKey = key, .bankName = "bank", .selection = "test"},
                                                   print::PageSize::A4, QString::fromStdString(path), progress, &error);
    EXPECT_EQ(outcome, expected) << error.toStdString();
    return path;
  }
  Bank b;
};

TEST_F(PrintPdf, HoldsEveryQuestionInOrderAPassageOnceAndTheKeyOnlyWhenAsked) {
  std::vector<QuestionRef> qs;
  for (int i = 1; i <= 8; ++i) {
    const std::string n = "0120" + std::to_string(i);
    std::map<Holds, Value> f = choices("Stem of question " + n, i == 3 ? "" : "B");
    b.add(Kind::SC, n, f);
    qs.push_back({Kind::SC, n});
  }
  for (int i = 1; i <= 2; ++i) {
    const std::string n = "0300" + std::to_string(i);
    b.add(Kind::RC, n, {{Holds::Pool, Value("X030")}, {Holds::PassageNumber, Value("301")},
                        {Holds::Passage, Value(rtf("The passage about rivers."))},
                        {Holds::Stem, Value(rtf("Stem of question " + n))}, {Holds::Answer, Value("E")}});
    qs.push_back({Kind::RC, n});
  }
  const std::string keyless = pdfText(write(qs, false));
  size_t at = 0;
  for (const QuestionRef& q : qs) {
    const size_t found = keyless.find("Stem of question " + q.numQ, at);
    ASSERT_NE(found, std::string::npos) << q.numQ << " missing or out of order";
    at = found;
  }
  EXPECT_EQ(count(keyless, "The passage about rivers."), 1);
  EXPECT_LT(keyless.find("The passage about rivers."), keyless.find("Stem of question 03001"));
  EXPECT_EQ(count(keyless, "Answer"), 0);

  const std::string keyed = pdfText(write(qs, true));
  EXPECT_EQ(count(keyed, "Answer: B"), 7);
  EXPECT_EQ(count(keyed, "Answer: no answer stored"), 1);
  EXPECT_EQ(count(keyed, "Answer: E"), 2);
  const size_t table = keyed.find("Answer key");
  ASSERT_NE(table, std::string::npos);
  EXPECT_GT(table, keyed.find("Stem of question 03002"));
  for (const QuestionRef& q : qs) EXPECT_NE(keyed.find(q.numQ, table), std::string::npos) << q.numQ;
}

TEST_F(PrintPdf, EmbedsEveryFont) {
  b.add(Kind::SC, "01201", choices("Plain, {\\b bold} and \\u26085?\\u26412?", "A"));
  const std::string fonts = run("pdffonts " + testing_support::quoteArg(write({{Kind::SC, "01201"}}, true)));
  std::istringstream lines(fonts);
  std::string line;
  int listed = 0;
  for (int n = 0; std::getline(lines, line); ++n) {
    if (n < 2) continue;  // the column names and their rule
    ++listed;
    EXPECT_NE(line.find(" yes "), std::string::npos) << line;
  }
  EXPECT_GE(listed, 2) << fonts;
}

TEST_F(PrintPdf, NoQuestionIsSplitAcrossPagesUnlessLongerThanAPage) {
  std::vector<QuestionRef> qs;
  std::string longStem;
  for (int l = 1; l <= 120; ++l) longStem += "Long line " + std::to_string(l) + " of the long stem.\\line ";
  for (int i = 10; i < 50; ++i) {
    const std::string n = "012" + std::to_string(i);
    std::string stem = "Start of " + n;
    for (int l = 0; l < i % 9; ++l) stem += "\\line a line of the stem";
    std::map<Holds, Value> f = choices(i == 30 ? longStem : stem, "A");
    f[Holds::ChoiceE] = Value("End of " + n);
    b.add(Kind::SC, n, f);
    qs.push_back({Kind::SC, n});
  }
  const std::string pdf = write(qs, false);
  const int pages = pdfPages(pdf);
  ASSERT_GT(pages, 4);
  int seen = 0;
  for (int p = 1; p <= pages; ++p) {
    const std::string text = pdfText(pdf, p);
    for (const QuestionRef& q : qs) {
      if (q.numQ == "01230") continue;
      const bool starts = text.find("Start of " + q.numQ) != std::string::npos;
      const bool ends = text.find("End of " + q.numQ) != std::string::npos;
      EXPECT_EQ(starts, ends) << q.numQ << " split at page " << p;
      seen += starts;
    }
  }
  EXPECT_EQ(seen, 39);
  // The long one runs over pages, cut between lines: each line whole, once.
  const std::string all = pdfText(pdf);
  for (int l = 1; l <= 120; ++l)
    EXPECT_EQ(count(all, "Long line " + std::to_string(l) + " of the long stem."), 1) << l;
}

TEST_F(PrintPdf, APassageStandsOnThePageOfItsFirstQuestion) {
  std::string passage;
  for (int l = 1; l <= 12; ++l) passage += "Passage line " + std::to_string(l) + ".\\line ";
  b.add(Kind::RC, "03001", {{Holds::Pool, Value("X030")}, {Holds::PassageNumber, Value("301")},
                            {Holds::Passage, Value(rtf(passage))}, {Holds::Stem, Value(rtf("First question"))}});
  for (int i = 0; i < 8; ++i) b.add(Kind::SC, "0120" + std::to_string(i), choices("Stem", "A"));
  // However much stands before it, the passage never ends a page without its question.
  for (int before = 1; before <= 8; ++before) {
    std::vector<QuestionRef> qs;
    for (int i = 0; i < before; ++i) qs.push_back({Kind::SC, "0120" + std::to_string(i)});
    qs.push_back({Kind::RC, "03001"});
    const std::string pdf = write(qs, false);
    for (int p = 1; p <= pdfPages(pdf); ++p) {
      const std::string text = pdfText(pdf, p);
      EXPECT_EQ(text.find("Passage line 1.") != std::string::npos, text.find("First question") != std::string::npos)
          << before << " questions before, page " << p;
    }
  }
}

TEST_F(PrintPdf, CancellingLeavesTheFileAsItWas) {
  for (const char* n : {"01201", "01202", "01203"}) b.add(Kind::SC, n, choices("s", "A"));
  { std::ofstream(b.dir / "out.pdf") << "before"; }
  int asked = 0;
  write({{Kind::SC, "01201"}, {Kind::SC, "01202"}, {Kind::SC, "01203"}}, false,
        [&](int done, int total) {
          EXPECT_EQ(total, 3);
          ++asked;
          return done < 2;
        },
        print::Outcome::Cancelled);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(testing_support::bytesOf(b.dir / "out.pdf"), "before");
}

TEST_F(PrintPdf, AFolderThatIsNotThereFailsWithItsReason) {
  QString error;
  const QString path = QString::fromStdString((b.dir / "missing" / "out.pdf").string());
  EXPECT_EQ(print::writePdf(b.conn, {}, {}, print::PageSize::A4, path, {}, &error), print::Outcome::Failed);
  EXPECT_FALSE(error.isEmpty());
}

}  // namespace
