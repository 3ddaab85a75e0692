// Folding, tokens, the query and snippets: what makes a word found, below the bank.
#include <gtest/gtest.h>

#include "file_index.h"
#include "query.h"
#include "text_fold.h"

using namespace search;

namespace {

// The found places of a typed query in a text, as the texts that stand there.
std::vector<QString> found(const QString& text, const QString& typed) {
  std::vector<QString> out;
  for (const Range& r : findInText(text, parseQuery(typed))) out.push_back(text.mid(r.start, r.length));
  return out;
}

using Texts = std::vector<QString>;

// What a file's index is asked for a typed query.
std::string fileMatch(const QString& typed) { return index::fileMatchText(termQuery(parseQuery(typed))); }

}  // namespace

TEST(SearchText, CaseAndWidthDoNotMatter) {
  EXPECT_EQ(found("ＡＢＣ Corp and abc", "abc"), (Texts{"ＡＢＣ", "abc"}));
  EXPECT_EQ(found("Die Straße", "STRASSE"), (Texts{"Straße"}));
  EXPECT_EQ(found("ｶﾀｶﾅ", "カタカナ"), (Texts{"ｶﾀｶﾅ"}));  // half-width katakana
  EXPECT_EQ(found("Встреча в МОСКВЕ", "москве"), (Texts{"МОСКВЕ"}));
}

TEST(SearchText, WordsAreWholeAndEveryWordMustBeThere) {
  EXPECT_EQ(found("the cat sat on the catalogue", "cat"), (Texts{"cat"}));
  EXPECT_EQ(fileMatch("cat dog"), "\"cat\" \"dog\"");
  EXPECT_EQ(fileMatch("  "), "");
}

TEST(SearchText, QuotedPhraseMustStandInOrder) {
  EXPECT_EQ(found("a quick, brown fox", "\"quick brown\""), (Texts{"quick, brown"}));
  EXPECT_TRUE(found("brown and quick", "\"quick brown\"").empty());
  EXPECT_EQ(fileMatch("\"quick brown\" fox"), "\"quick brown\" \"fox\"");
  // A word of several tokens is a phrase of its own.
  EXPECT_EQ(fileMatch("e-mail"), "\"e mail\"");
}

TEST(SearchText, TextWithoutSpacesIsFoundByAnyPart) {
  const QString text = "東京都庁の職員";
  EXPECT_EQ(found(text, "京都"), (Texts{"京都"}));
  EXPECT_EQ(found(text, "庁"), (Texts{"庁"}));
  EXPECT_EQ(found(text, "員"), (Texts{"員"}));  // the last character of its run
  EXPECT_EQ(found(text, "東京都庁の職員"), (Texts{text}));
  EXPECT_TRUE(found(text, "都京").empty());
  // Mixed with Latin letters and full-width digits.
  EXPECT_EQ(found("第３問はABC社の問題", "3問"), (Texts{"３問"}));
  EXPECT_EQ(found("第３問はABC社の問題", "\"abc社\""), (Texts{"ABC社"}));
}

TEST(SearchText, IndexWordsAreTheTokensTheQueryLooksFor) {
  EXPECT_EQ(indexWords("Ｈｅｌｌｏ, World!"), "hello world");
  EXPECT_EQ(QString::fromStdString(indexWords("東京都")), "東京 京都 都");
  // Plain ASCII text takes a shorter way to the same tokens.
  const QString ascii = "  Don't STOP-me: 42x,\tok_2\n";
  QString tokens;
  for (const Token& tk : tokenize(fold(ascii))) tokens += (tokens.isEmpty() ? "" : " ") + tk.text;
  EXPECT_EQ(QString::fromStdString(indexWords(ascii)), tokens);
  EXPECT_EQ(indexWords(ascii), "don t stop me 42x ok 2");
  EXPECT_EQ(fileMatch("京"), "\"京*\"");
  EXPECT_EQ(fileMatch("東京"), "\"東京\"");
  EXPECT_EQ(fileMatch("\"東京 tower\""), "\"東京 京 tower\"");
}

TEST(SearchText, SnippetStartsAndEndsOnWholeWordsAndCutsTextWithoutSpacesAnywhere) {
  const QString text = "The committee reconsidered its extraordinary decision about the budget of the "
                       "neighbouring municipalities yesterday.";
  EXPECT_EQ(snippetLine(snippet(text, findInText(text, parseQuery("budget")), 40)),
            "…about the «budget» of the neighbouring…");
  const QString japanese = QString("あ").repeated(60) + "東京" + QString("い").repeated(100);
  EXPECT_EQ(snippetLine(snippet(japanese, findInText(japanese, parseQuery("東京")), 40)),
            "…" + QString("あ").repeated(13) + "«東京»" + QString("い").repeated(25) + "…");
}

TEST(SearchText, SnippetMarksTheWordsAroundTheFirstHit) {
  const QString text = QString("x ").repeated(100) + "the key\nword here " + QString("y ").repeated(100);
  const std::vector<Range> ranges = findInText(text, parseQuery("key word"));
  const QString line = snippetLine(snippet(text, ranges, 40));
  EXPECT_TRUE(line.contains("«key» «word»")) << line.toStdString();
  EXPECT_TRUE(line.startsWith("…") && line.endsWith("…")) << line.toStdString();
  EXPECT_FALSE(line.contains('\n'));
}
