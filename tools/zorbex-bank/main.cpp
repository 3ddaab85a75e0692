#include <cstdio>
#include <iterator>
#include <string>

#include "commands.h"
#include "connection.h"
#include "extension.h"
#include "history.h"
#include "search_index.h"

using namespace bank_tool;

namespace {

const Command kCommands[] = {
    {"create", "create [--demo] DIR     make an empty bank and user database (with demo content)", cmdCreate},
    {"check", "check DIR               open both files, check integrity, print links and row counts", cmdCheck},
    {"backup", "backup DIR FILE         copy the bank consistently, also while the editor runs", cmdBackup},
    {"restore", "restore FILE DIR        put a copy in place of the bank (the bank must be closed)", cmdRestore},
    {"sql", "sql DIR STATEMENT       run one Jet statement as the editor would and print the rows", cmdSql},
    {"compact", "compact DIR             compact the bank; it is replaced only by a verified copy", cmdCompact},
    {"import", "import DIR SOURCE-FILE KIND POOL   import one pool (KIND SC, CR, RC, PS or DS) of another bank", cmdImport},
    {"import-memos", "import-memos DIR SOURCE-FILE NUMQ...   append the memos of those questions of another user database", cmdImportMemos},
    {"rtf-text", "rtf-text FILE           print the rich-text box's Text of an RTF file (\"-\": stdin)", cmdRtfText},
    {"edition-pool", "edition-pool DIR KIND OG COUNT  create COUNT bare questions of edition pool OG", cmdEditionPool},
    {"edition-copy", "edition-copy DIR KIND    copy the old edition onto the new through the mapping table", cmdEditionCopy},
    {"answer-keys", "answer-keys DIR KIND     set the new edition's answers from the answer-key table", cmdAnswerKeys},
    {"fix-numq", "fix-numq DIR KIND        move the PS questions 009001..009230 that exist to 011001..011230", cmdFixNumQ},
    {"duplicates", "duplicates DIR KIND      list the questions with two equal choices (SC, CR)", cmdDuplicates},
    {"rtf-roundtrip", "rtf-roundtrip FILE      print the RTF that reading and writing the file gives", cmdRtfRoundtrip},
    {"migrate", "migrate [--salvage] JET-BANK JET-USERDB DIR  move an existing Jet bank and user database into DIR", cmdMigrate},
    {"jet-tables", "jet-tables FILE         list the tables, row counts and links of a Jet file", cmdJetTables},
    {"history", "history DIR NUMQ [--kind KIND]   the question's kept versions, newest first, the version's number first", cmdHistory},
    {"revert", "revert DIR NUMQ VERSION [--kind KIND]   put a kept version of the question back", cmdRevert},
    {"trash", "trash DIR               list the deleted questions and pools, newest first", cmdTrash},
    {"undelete", "undelete DIR NUMQ|POOL [--kind KIND]   restore a deleted question or pool whose numbers are free", cmdUndelete},
    {"prune-history", "prune-history DIR BEFORE-DATE   forget the versions and deletions kept before YYYY-MM-DD", cmdPruneHistory},
    {"jet-export", "jet-export FILE TABLE   print a Jet table's rows, tab-separated", cmdJetExport},
    {"server-push", "server-push DIR URL     copy the bank and user database into an empty server database", cmdServerPush},
    {"server-publish", "server-publish URL DIR  write the encrypted file pair from a snapshot of the server bank", cmdServerPublish},
    {"search", "search DIR WORDS... [--kind KIND]... [--pool POOL] [--prefix NUMBER-PREFIX]  print the hits: kind, number, field, snippet", cmdSearch},
    {"reindex", "reindex DIR             build the bank's search index again", cmdReindex},
    {"print", "print DIR FILE.pdf [--kind KIND]... [--pool POOL] [--prefix NUMBER-PREFIX] [--key] [--page A4|Letter]  write the questions as printed pages", cmdPrint},
    {"export-qti", "export-qti DIR FILE.zip [--kind KIND]... [--pool POOL] [--prefix NUMBER-PREFIX] [--qti 2.1|2.2] [--no-key]   write questions as a QTI content package", cmdExportQti},
    {"import-qti", "import-qti DIR FILE.zip|ITEM.xml KIND POOL [--skip]   import the QTI items of a package or one item file into a pool", cmdImportQti},
};

void usage() {
  std::fprintf(stderr, "usage: zorbex-bank COMMAND ...\n");
  for (const Command& c : kCommands) std::fprintf(stderr, "  zorbex-bank %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    usage();
    return 2;
  }
  store::setServerClientName("zorbex-bank");
  // The bank's extensions that this program keeps, before any bank is opened.
  store::registerExtension(history::extension());
  store::registerExtension(search::index::extension());
  std::string name = argv[1];
  for (const Command& c : kCommands)
    if (name == c.name) return c.run(Args(argv + 2, argv + argc));
  std::fprintf(stderr, "zorbex-bank: unknown command '%s'\n", name.c_str());
  usage();
  return 2;
}
