#pragma once
// Moving a bank between its files and a PostgreSQL server: the push that puts a file bank on a
// server, and the publication that writes the encrypted file pair the test application reads.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace bank {

// One table of a copy: its name and the rows that were copied and found the same on both sides.
struct CopiedTable {
  std::string table;
  long long rows = 0;
};

// Copies the bank of folder and its user database into the empty database at conninfo (a libpq
// connection string or URI): the bank is made there, every row copied, and every row compared,
// all in one transaction, so that a failure leaves the database empty. Refuses a database that
// holds tables. Throws DbError.
std::vector<CopiedTable> pushBankToServer(const std::filesystem::path& folder, const std::string& conninfo);

// Writes the bank and user database of folder from one consistent snapshot of the server bank:
// made beside them, every row compared with the snapshot, then put in place as a restore does
// (refused while the folder's bank is open anywhere; nothing changed then). Throws DbError.
std::vector<CopiedTable> publishServerBank(const std::string& conninfo, const std::filesystem::path& folder);

}  // namespace bank
