// Demo content of a new bank: a few pools of every kind, written by us, so that a
// newcomer can try every window on real-looking questions.
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "commands.h"
#include "connection.h"
#include "kind_registry.h"
#include "recordset.h"
#include "schema.h"

namespace bank_tool {

using namespace store;
namespace schema = bank::schema;

namespace {

// RTF in the shape the RichEdit control of the old editor wrote.
std::string rtf(const std::string& body, bool cbt = false) {
  std::string fonts = cbt ? "{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}{\\f1\\fnil\\fcharset0 CBT;}"
                            "{\\f2\\fnil\\fcharset0 CBTLINE;}}"
                          : "{\\fonttbl{\\f0\\fnil\\fcharset0 Verdana;}}";
  return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033" + fonts + "\r\n\\viewkind4\\uc1\\pard" +
         (cbt ? "\\f1" : "\\f0") + "\\fs23 " + body + "\r\n\\par }\r\n";
}

std::string letters(int i) { return std::string(1, static_cast<char>('A' + i % 5)); }

std::string number(int pool, int index, int width = 2) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03d%0*d", pool, width, index);
  return buf;
}

using schema::Holds;
using schema::Kind;
using schema::SizeOf;

// A question's fields by what they hold, so that the names stay the registry's; the question
// number by its name, which every table has.
using Row = std::map<std::variant<std::string, Holds, SizeOf>, Value>;

class Writer {
 public:
  explicit Writer(Connection& c) : conn_(c) {}

  void add(const std::string& table, const std::map<std::string, Value>& fields) {
    Recordset rs;
    rs.open(table, conn_, adOpenKeyset, adLockOptimistic);
    rs.addNew();
    for (const auto& [name, value] : fields) rs.setValue(name, value);
    rs.update();
    rs.close();
  }

  void add(Kind kind, const Row& fields) {
    std::map<std::string, Value> named;
    for (const auto& [key, value] : fields) named[nameOf(kind, key)] = value;
    add(schema::kindEntry(kind).table, named);
  }

 private:
  static std::string nameOf(Kind kind, const Row::key_type& key) {
    if (const auto* name = std::get_if<std::string>(&key)) return *name;
    const char* field = std::holds_alternative<Holds>(key) ? schema::fieldFor(kind, std::get<Holds>(key))
                                                           : schema::sizeField(kind, std::get<SizeOf>(key));
    if (!field) throw std::logic_error(std::string("the demo content fills a field that kind ") +
                                       schema::kindEntry(kind).name + " does not have");
    return field;
  }

  Connection& conn_;
};

const char* const kScStems[] = {
    "The new policy, along with the revised guidelines, \\f2 were announced\\f1  by the board on Monday.",
    "Unlike the poets of her generation, `Emily's~ verse \\f2 rely\\f1  on plain words and short lines.",
    "The number of visitors to the park \\f2 have risen\\f1  steadily since the new trail opened.",
    "Neither the manager nor the clerks \\f2 was\\f1  told that the store would close early.",
    "Having been repaired twice, \\f2 the owners\\f1  decided to sell the old ferry.",
    "The museum's collection is larger than \\f2 any museum\\f1  in the region.",
    "Critics called the film `a triumph of patience~, and audiences \\f2 agreeing\\f1  with them.",
    "Each of the proposals \\f2 have\\f1  merits that the committee must weigh.",
};
const char* const kScChoices[][5] = {
    {"were announced", "was announced", "have been announced", "announcing", "had announced"},
    {"rely", "relies", "relying", "have relied", "are relying"},
    {"have risen", "has risen", "rising", "have been rising", "rose"},
    {"was", "were", "has been", "is being", "are"},
    {"the owners", "the ferry's owners", "the old ferry", "it was", "the sale"},
};

const char* const kCrStems[] = {
    "Town officials claim that the new bypass has reduced traffic downtown. Yet shop owners "
    "report fewer customers than before. Which of the following, if true, best reconciles these facts?",
    "A study found that people who drink green tea live longer. The author concludes that green tea "
    "lengthens life. Which of the following most weakens the conclusion?",
    "The company cut its prices by ten percent, and its revenue rose. Which of the following can be "
    "properly inferred?",
};

const char* const kPassage =
    "Line\\par\r\n"
    "The first settlers of the valley found a river that flooded every spring, and they learned to \\par\r\n"
    "plant only after the waters fell. Their fields were narrow strips along the banks, and each \\par\r\n"
    "family kept the strip its parents had worked. Records from the period show that harvests \\par\r\n"
    "(5) varied widely from year to year, yet few families left the valley. Historians have long \\par\r\n"
    "asked why. One answer is that the floods, though destructive, renewed the soil. Another is \\par\r\n"
    "that the settlers shared grain in bad years, so that no family faced a lean winter alone. \\par\r\n"
    "Letters of the time mention such sharing often, and a ledger kept by the valley's church \\par\r\n"
    "lists gifts of grain in four of the first ten years. Whatever the reason, the settlement \\par\r\n"
    "(10) outlasted many that were founded on richer land.";

const char* const kRcQuestions[] = {
    "The passage is primarily concerned with",
    "According to the passage, the settlers planted their fields",
    "The author mentions the church ledger (line 8) in order to",
};

}  // namespace

void writeDemoContent(const std::filesystem::path& folder) {
  Connection conn;
  conn.setProvider(kJetProvider);
  conn.setProperty(kPasswordProperty, schema::kBankKey);
  conn.open(schema::bankPath(folder).string());
  Writer w(conn);

  // SC: three ordinary pools and the edition pools O120 (old) and O130 (new).
  const int scPools[][2] = {{12, 8}, {13, 6}, {14, 5}};
  for (auto [pool, count] : scPools)
    for (int i = 1; i <= count; ++i) {
      int s = (pool + i) % 8;
      Row f = {{"numQ", number(pool, i)},
                                        {Holds::Pool, "X" + number(pool, 0).substr(0, 3)},
                                        {Holds::Stem, rtf(kScStems[s], true)},
                                        {Holds::Answer, letters(i)}};
      for (int c = 0; c < 5; ++c) f[schema::choiceAt(static_cast<size_t>(c))] = kScChoices[s % 5][c];
      if (i == 2) {
        f[SizeOf::QuestionHeight] = 2.0;
        f[SizeOf::ChoiceWidth] = 12.5;
        f[SizeOf::ChoiceHeightA] = 1.5;
      }
      w.add(Kind::SC, f);
    }
  for (int i = 1; i <= 5; ++i)
    w.add(Kind::SC, {{"numQ", "12" + number(0, i, 3).substr(3)},
                    {Holds::Pool, "O120"},
                    {Holds::Stem, rtf(kScStems[i % 8], true)},
                    {Holds::ChoiceA, kScChoices[i % 5][0]},
                    {Holds::ChoiceB, kScChoices[i % 5][1]},
                    {Holds::ChoiceC, kScChoices[i % 5][2]},
                    {Holds::ChoiceD, kScChoices[i % 5][3]},
                    {Holds::ChoiceE, kScChoices[i % 5][4]},
                    {Holds::Answer, "B"}});
  // SC edition numbers: the edition digits and a three-digit running number (13001...).
  for (int i = 1; i <= 10; ++i)
    w.add(Kind::SC, {{"numQ", "13" + number(0, i, 3).substr(3)}, {Holds::Pool, "O130"}, {Holds::Answer, "A"}});
  const int mapping[][2] = {{1, 2}, {2, 1}, {3, 3}, {4, 5}, {5, 4}};
  for (auto [old, now] : mapping) w.add("12to13SC", {{"12th", old}, {"13th", now}});
  w.add("12to13SC", {{"13th", 6}});  // a row without an old number is skipped by the copy
  for (int i = 1; i <= 10; ++i) w.add("answerkey13SC", {{"number", i}, {"key", letters(i * 3)}});

  // CR
  const int crPools[][2] = {{20, 7}, {21, 5}, {22, 6}};
  for (auto [pool, count] : crPools)
    for (int i = 1; i <= count; ++i)
      w.add(Kind::CR, {{"numQ", number(pool, i)},
                      {Holds::Pool, "X" + number(pool, 0).substr(0, 3)},
                      {Holds::Stem, rtf(kCrStems[(pool + i) % 3])},
                      {Holds::ChoiceA, "The bypass carries mostly trucks that never stopped downtown."},
                      {Holds::ChoiceB, "Parking downtown has become cheaper."},
                      {Holds::ChoiceC, "Shoppers came downtown mainly because they were passing through."},
                      {Holds::ChoiceD, "The bypass was finished ahead of schedule."},
                      {Holds::ChoiceE, "Other towns have built bypasses."},
                      {Holds::Answer, letters(i + 2)},
                      {SizeOf::QuestionWidth, i == 1 ? Value(12.0) : Value()}});

  // CR editions: old O120 (121001...) with content, new O130 (132001...) bare, their mapping.
  for (int i = 1; i <= 4; ++i) {
    w.add(Kind::CR, {{"numQ", "121" + number(0, i, 3).substr(3)},
                    {Holds::Pool, "O120"},
                    {Holds::Stem, rtf(kCrStems[i % 3])},
                    {Holds::ChoiceA, "The bypass carries mostly trucks that never stopped downtown."},
                    {Holds::ChoiceB, "Parking downtown has become cheaper."},
                    {Holds::ChoiceC, "Shoppers came downtown mainly because they were passing through."},
                    {Holds::ChoiceD, "The bypass was finished ahead of schedule."},
                    {Holds::ChoiceE, "Other towns have built bypasses."},
                    {Holds::Answer, letters(i)}});
    w.add(Kind::CR, {{"numQ", "132" + number(0, i, 3).substr(3)}, {Holds::Pool, "O130"}, {Holds::Answer, "A"}});
    w.add("12to13CR", {{"12th", i}, {"13th", 5 - i}});
  }
  w.add("12to13CR", {{"13th", 5}});

  // RC: passages of three questions each.
  const int rcPools[][2] = {{30, 6}, {31, 5}, {32, 5}};
  for (auto [pool, count] : rcPools)
    for (int i = 1; i <= count; ++i) {
      int passage = (i - 1) / 3 + 1;
      w.add(Kind::RC, {{"numQ", number(pool, i)},
                      {Holds::Pool, "X" + number(pool, 0).substr(0, 3)},
                      {Holds::PassageNumber, std::to_string(pool) + std::to_string(passage)},
                      {Holds::PassageCount, "00003"},
                      {Holds::Passage, rtf(kPassage)},
                      {Holds::Stem, rtf(kRcQuestions[(i - 1) % 3])},
                      {Holds::ChoiceA, "explaining why a settlement endured"},
                      {Holds::ChoiceB, "describing the course of a river"},
                      {Holds::ChoiceC, "criticizing the historians of a valley"},
                      {Holds::ChoiceD, "comparing two methods of farming"},
                      {Holds::ChoiceE, "listing the gifts recorded in a ledger"},
                      {Holds::Answer, letters(i - 1)}});
    }

  // RC editions: old O120 (120001...) on two passages, new O130 (130001...) bare.
  for (int i = 1; i <= 3; ++i) {
    w.add(Kind::RC, {{"numQ", "120" + number(0, i, 3).substr(3)},
                    {Holds::Pool, "O120"},
                    {Holds::PassageNumber, std::string("1201") + (i < 3 ? "1" : "2")},
                    {Holds::PassageCount, "00003"},
                    {Holds::Passage, rtf(kPassage)},
                    {Holds::Stem, rtf(kRcQuestions[i - 1])},
                    {Holds::ChoiceA, "explaining why a settlement endured"},
                    {Holds::ChoiceB, "describing the course of a river"},
                    {Holds::ChoiceC, "criticizing the historians of a valley"},
                    {Holds::ChoiceD, "comparing two methods of farming"},
                    {Holds::ChoiceE, "listing the gifts recorded in a ledger"},
                    {Holds::Answer, letters(i)}});
    w.add(Kind::RC, {{"numQ", "130" + number(0, i, 3).substr(3)}, {Holds::Pool, "O130"}, {Holds::Answer, "A"}});
    w.add("12to13RC", {{"12th-Question", i}, {"13th-Question", i}, {"13th-Passage", 4}});
  }
  w.add("12to13RC", {{"13th-Question", 4}, {"13th-Passage", 5}});

  // DS: two statements each.
  const int dsPools[][2] = {{40, 6}, {41, 5}, {42, 5}};
  for (auto [pool, count] : dsPools)
    for (int i = 1; i <= count; ++i)
      w.add(Kind::DS, {{"numQ", number(pool, i)},
                      {Holds::Pool, "X" + number(pool, 0).substr(0, 3)},
                      {Holds::Stem, rtf("Is the integer \\i x\\i0  greater than " + std::to_string(i) + "?")},
                      {Holds::Statement1, rtf("(1) \\i x\\i0\\super 2\\nosupersub  > " + std::to_string(i * i))},
                      {Holds::Statement2, rtf("(2) \\i x\\i0  + 3 is even.")},
                      {Holds::Answer, letters(i + 1)},
                      {Holds::StatementPosition1, i % 2},
                      {Holds::StatementPosition2, 0}});
  for (int i = 1; i <= 5; ++i) w.add(Kind::DS, {{"numQ", number(10, i, 3)}, {Holds::Pool, "O130"}, {Holds::Answer, "A"}});
  for (int i = 1; i <= 5; ++i) w.add("answerkey13DS", {{"number", i}, {"key", letters(i + 1)}});
  // DS old edition O120 (009001...) and its mapping onto O130 (010001...).
  for (int i = 1; i <= 3; ++i) {
    w.add(Kind::DS, {{"numQ", number(9, i, 3)},
                    {Holds::Pool, "O120"},
                    {Holds::Stem, rtf("Is the integer \\i y\\i0  odd?")},
                    {Holds::Statement1, rtf("(1) \\i y\\i0  + " + std::to_string(i) + " is even.")},
                    {Holds::Statement2, rtf("(2) 2\\i y\\i0  is even.")},
                    {Holds::Answer, letters(i)},
                    {Holds::StatementPosition1, 1},
                    {Holds::StatementPosition2, 0}});
    w.add("12to13DS", {{"12th", i}, {"13th", i}});
  }
  w.add("12to13DS", {{"12th", ""}, {"13th", 4}});
  w.add("12to13DS", {{"13th", 5}});

  // PS: choices in RTF with superscripts.
  const int psPools[][2] = {{50, 7}, {51, 5}, {52, 5}};
  for (auto [pool, count] : psPools)
    for (int i = 1; i <= count; ++i) {
      Row f = {
          {"numQ", number(pool, i)},
          {Holds::Pool, "X" + number(pool, 0).substr(0, 3)},
          {Holds::Stem, rtf("If 2\\super " + std::to_string(i) + "\\nosupersub  = \\i n\\i0 , what is 2\\super " +
                           std::to_string(i + 1) + "\\nosupersub ?")},
          {Holds::Answer, letters(i)},
          {Holds::ChoiceArrangement, i % 2}};
      for (int c = 0; c < 5; ++c)
        f[schema::choiceAt(static_cast<size_t>(c))] = rtf("\\i n\\i0\\super " + std::to_string(c + 1) + "\\nosupersub ");
      w.add(Kind::PS, f);
    }
  for (int i = 1; i <= 5; ++i) w.add(Kind::PS, {{"numQ", number(9, i, 3)}, {Holds::Pool, "O130"}, {Holds::Answer, "A"}});
  for (int i = 1; i <= 5; ++i) w.add("answerkey13PS", {{"number", i}, {"key", letters(i + 3)}});
  // PS old edition O120 (008001...) and its mapping onto O130 (009001...).
  for (int i = 1; i <= 3; ++i) {
    Row f = {
        {"numQ", number(8, i, 3)},
        {Holds::Pool, "O120"},
        {Holds::Stem, rtf("What is 3\\super " + std::to_string(i) + "\\nosupersub ?")},
        {Holds::Answer, letters(i)},
        {Holds::ChoiceArrangement, 1}};
    for (int c = 0; c < 5; ++c) f[schema::choiceAt(static_cast<size_t>(c))] = rtf(std::to_string((c + 1) * 3 * i));
    w.add(Kind::PS, f);
    w.add("11to12PS", {{"12th", i}, {"13th", 4 - i}});
  }
  w.add("11to12PS", {{"13th", 4}});

  // AWA: topics of both types.
  const char* const topics[] = {
      "The following appeared in a memo from the director of a city zoo: attendance fell after ticket prices "
      "rose, so lowering prices will restore attendance. Discuss how well reasoned you find this argument.",
      "The following appeared in a newsletter: since the new library opened, reading scores in the district "
      "have improved; therefore every district should build a new library. Discuss the argument.",
      "Some people believe that leaders are born, not made. Discuss the extent to which you agree.",
      "Technology has made people less patient. Discuss the extent to which you agree or disagree.",
  };
  for (int i = 0; i < 4; ++i)
    w.add(Kind::AWA, {{"numQ", std::string(i < 2 ? "A" : "I") + number(0, i + 1).substr(2)},
                     {Holds::Pool, i < 2 ? "A" : "I"},
                     {Holds::Stem, rtf(topics[i])}});

  // Memos through the bank's link.
  w.add("tblMemo", {{"numQ", "01201"}, {"probtype", "SC"}, {"choice", "B"}, {"category", "agreement"},
                    {"description", "Subject and verb: the policy ... was."}});
  w.add("tblMemo", {{"numQ", "02001"}, {"probtype", "CR"}, {"choice", "C"}, {"category", "paradox"},
                    {"description", "Look for what changed for the shop owners."}});
  w.add("tblMemo", {{"numQ", "03001"}, {"probtype", "RC"}, {"choice", "A"}, {"category", "main idea"},
                    {"description", "First and last sentences give the purpose."}});
  conn.close();
}

}  // namespace bank_tool
