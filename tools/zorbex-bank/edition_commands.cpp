// Edition pools, edition copies, answer keys and the duplicate check for administrators
// and scripts: the same operations that the editors' buttons run.
#include <cstdio>
#include <filesystem>
#include <functional>

#include "commands.h"
#include "connection.h"
#include "db_error.h"
#include "editions.h"
#include "numbering.h"
#include "schema.h"

namespace bank_tool {

namespace {

// Opens the bank of dir and runs work on it for the kind named; a failure is printed as
// number:description with a non-zero exit, and the operation has changed nothing.
int onBank(const Args& args, size_t argCount, const char* usage,
           const std::function<void(store::Connection&, const pools::EditionRules&)>& work) {
  if (args.size() != argCount) return usageError(usage);
  bank::schema::Kind kind;
  if (!pools::choiceKindNamed(args[1], kind)) return wrongArgument("'" + args[1] + "' is not one of SC, CR, RC, DS, PS.");
  try {
    store::Connection conn;
    if (std::string problem = openBank(args[0], conn); !problem.empty()) return fail(problem);
    work(conn, pools::editionRules(kind));
    conn.close();
    return afterBank(args[0]);
  } catch (const store::DbError& e) {
    std::fprintf(stderr, "%s\n", e.message().c_str());
    return 1;
  }
}

}  // namespace

int cmdEditionPool(const Args& args) {
  return onBank(args, 4, "edition-pool DIR KIND OG COUNT", [&](store::Connection& conn, const pools::EditionRules& r) {
    const long count = pools::wholeNumber(args[3]).value_or(0);
    auto created = pools::createEditionPool(conn, r, args[2], count, args[3]);
    std::printf("created %zu questions in pool %s: %s to %s\n", created.size(), args[2].c_str(),
                created.front().c_str(), created.back().c_str());
  });
}

int cmdEditionCopy(const Args& args) {
  return onBank(args, 2, "edition-copy DIR KIND", [](store::Connection& conn, const pools::EditionRules& r) {
    std::printf("copied %ld questions through %s\n", pools::copyEdition(conn, r), r.mappingTable);
  });
}

int cmdAnswerKeys(const Args& args) {
  return onBank(args, 2, "answer-keys DIR KIND", [](store::Connection& conn, const pools::EditionRules& r) {
    const long n = pools::updateAnswerKeys(conn, r);
    std::printf("set %ld answers from %s\n", n, r.answerKeyTable);
  });
}

int cmdFixNumQ(const Args& args) {
  return onBank(args, 2, "fix-numq DIR KIND", [](store::Connection& conn, const pools::EditionRules& r) {
    std::printf("%s\n", pools::renumberingReport(pools::fixQuestionNumbers(conn, r)).c_str());
  });
}

int cmdDuplicates(const Args& args) {
  return onBank(args, 2, "duplicates DIR KIND", [](store::Connection& conn, const pools::EditionRules& r) {
    for (const pools::DuplicateFinding& f : pools::findDuplicateChoices(conn, r))
      std::printf("%s\n", pools::findingLine(f).c_str());
  });
}

}  // namespace bank_tool
