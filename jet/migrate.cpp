#include "migrate.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "db_error.h"
#include "schema.h"
#include "table_file.h"
#include "text.h"

namespace jet {

namespace fs = std::filesystem;
using store::TableFile;
using store::Value;

namespace {

bool sameName(const std::string& a, const std::string& b) { return store::equalsIgnoringCase(a, b); }

// How a Jet type is kept in our files; text keeps Jet's case-blind comparisons, and exact
// decimals and dates are text so that nothing converts them.
store::ColumnType keptAs(ColumnType t) {
  switch (t) {
    case ColumnType::Boolean:
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::LongInteger:
    case ColumnType::Complex: return store::ColumnType::Integer;
    case ColumnType::Single:
    case ColumnType::Double: return store::ColumnType::Real;
    case ColumnType::Text:
    case ColumnType::Memo: return store::ColumnType::Text;
    case ColumnType::Binary:
    case ColumnType::OleObject: return store::ColumnType::Bytes;
    default: return store::ColumnType::ExactText;
  }
}

std::vector<store::ColumnDef> columnsOf(const Table& t) {
  std::vector<store::ColumnDef> out;
  for (const Column& c : t.columns) out.push_back({c.name, keptAs(c.type)});
  return out;
}

std::vector<const Row*> rowsOf(const Table& t, const std::vector<size_t>& indexes) {
  std::vector<const Row*> out;
  for (size_t r : indexes) out.push_back(&t.rows[r]);
  return out;
}

bool isQuestionTable(const std::string& name) {
  for (auto k : bank::schema::kAllKinds)
    if (sameName(name, bank::schema::tableName(k))) return true;
  return false;
}

// Values equal as stored: numbers by value (an integer in a REAL column reads back as a
// double), text and bytes exactly.
bool sameValue(const Value& a, const Value& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  if (a.isInteger() && b.isInteger()) return a.toInt() == b.toInt();
  if (a.isNumber() && b.isNumber()) return a.toDouble() == b.toDouble();
  if (a.isText() && b.isText()) return a.text() == b.text();
  return false;
}

// One table as it is to be written: where each row goes.
struct Plan {
  const Table* source;
  std::string target;             // name in our file (the existing table's spelling)
  std::vector<size_t> kept;       // row indexes for the table
  std::vector<size_t> duplicates; // row indexes kept aside
};

// Reads the table back in insertion order and compares it with the rows it was given.
// Returns the number of rows found.
size_t verify(TableFile& file, const std::string& fileName, const std::string& table, const Table& source,
              const std::vector<size_t>& rows) {
  std::vector<std::string> names;
  for (const Column& c : source.columns) names.push_back(c.name);
  size_t n = 0;
  file.readRows(table, names, [&](const std::vector<Value>& got) {
    if (n >= rows.size())
      throw MigrationError(fileName + ": table '" + table + "' holds more rows than were read from the source.");
    const Row& expected = source.rows[rows[n]];
    for (size_t i = 0; i < expected.size(); ++i) {
      if (!sameValue(expected[i], got[i]))
        throw MigrationError(fileName + ": table '" + table + "', row " + std::to_string(n + 1) + ", column '" +
                             source.columns[i].name + "' differs from the source after writing.");
    }
    ++n;
    return true;
  });
  if (n != rows.size())
    throw MigrationError(fileName + ": table '" + table + "' holds " + std::to_string(n) + " rows where " +
                         std::to_string(rows.size()) + " were read.");
  return n;
}

std::vector<Plan> plan(const Database& source, bool isBank, MigrationResult& result) {
  std::vector<Plan> plans;
  for (const Table& t : source.tables) {
    if (sameName(t.name, "zx_tabledefs") || store::lowerAscii(t.name).rfind("sqlite_", 0) == 0)
      throw MigrationError("'" + source.file.string() + "' has a table named '" + t.name +
                           "', a name this program keeps for itself; rename it in the source first.");
    // The bank reaches these through its links; a local table of that name would hide them.
    for (const char* linked : bank::schema::kLinkedUserTables)
      if (isBank && sameName(t.name, linked))
        throw MigrationError("'" + source.file.string() + "' holds its own table '" + t.name +
                             "', which belongs in the user database; move its rows there first.");
    Plan p{&t, t.name, {}, {}};
    int numQ = -1;
    for (size_t i = 0; i < t.columns.size(); ++i)
      if (sameName(t.columns[i].name, "numQ")) numQ = static_cast<int>(i);
    std::set<std::string> seen;
    for (size_t r = 0; r < t.rows.size(); ++r) {
      const Value& v = numQ >= 0 ? t.rows[r][static_cast<size_t>(numQ)] : Value();
      if (isQuestionTable(t.name) && !v.isNull() && !seen.insert(store::lowerAscii(v.toString())).second) {
        p.duplicates.push_back(r);
        result.notes.push_back(t.name + ": row " + std::to_string(r + 1) + " repeats numQ '" + v.toString() +
                               "'; it is kept in " + t.name + kDuplicateSuffix + ".");
      } else {
        p.kept.push_back(r);
      }
    }
    plans.push_back(std::move(p));
  }
  return plans;
}

// relink: the bank's links name the user database by its path; they are moved from the
// folder the file is built in to the folder it is meant for (empty: no links).
void writeFile(const fs::path& file, const char* key, std::vector<Plan>& plans,
               const std::pair<fs::path, fs::path>& relink = {}) {
  TableFile w = TableFile::openForWriting(file, key);
  if (!relink.first.empty())
    w.repointLinks(bank::schema::userLinkConnect(relink.first), bank::schema::userLinkConnect(relink.second));
  for (Plan& p : plans) {
    const Table& t = *p.source;
    const std::vector<store::ColumnDef> columns = columnsOf(t);
    std::string have = w.existingTable(t.name);
    if (have.empty()) {
      w.createTable(t.name, columns);
    } else {
      p.target = have;
      w.addMissingColumns(have, columns);
    }
    w.insertRows(p.target, columns, rowsOf(t, p.kept));
    if (!p.duplicates.empty()) {
      w.createTable(p.target + kDuplicateSuffix, columns);
      w.insertRows(p.target + kDuplicateSuffix, columns, rowsOf(t, p.duplicates));
    }
  }
  w.commit();
}

void verifyFile(const fs::path& file, const char* key, const std::vector<Plan>& plans, MigrationResult& result) {
  TableFile db = TableFile::openForReading(file, key);
  std::string name = file.filename().string();
  for (const Plan& p : plans) {
    size_t written = verify(db, name, p.target, *p.source, p.kept);
    if (!p.duplicates.empty()) written += verify(db, name, p.target + kDuplicateSuffix, *p.source, p.duplicates);
    const std::optional<size_t>& stated = p.source->statedRows;
    result.tables.push_back({name, p.source->name, p.source->rows.size(), written,
                             stated && *stated != p.source->rows.size() ? stated : std::nullopt});
  }
}

// The names of the files a run moves from its staging folder into a folder that already
// holds other files, written there before the first move. A run killed while moving left
// this behind; the files it names that are no longer in the staging folder are in dir.
constexpr const char* kMovingList = "moving";

fs::path targetOf(const fs::path& dir) {
  fs::path target = fs::absolute(dir).lexically_normal();
  return target.has_filename() ? target : target.parent_path();
}

// Removes what a killed run left: its staging folder, and any file it had already moved
// into dir. Returns whether there was anything.
bool removeLeftover(const fs::path& staging, const fs::path& target) {
  std::error_code ec;
  if (!fs::exists(staging, ec)) return false;
  std::ifstream list(staging / kMovingList);
  for (std::string name; std::getline(list, name);)
    if (!name.empty() && !fs::exists(staging / name, ec)) fs::remove(target / name, ec);
  fs::remove_all(staging, ec);
  if (ec) throw MigrationError("'" + staging.string() + "', left by an earlier migration, cannot be removed: " + ec.message() + ".");
  return true;
}

// Moves the verified files into place: the whole folder when dir is missing or empty (one
// rename), else file by file with the bank last, so that dir never holds a bank without
// its user database.
void place(const fs::path& staging, const fs::path& target) {
  std::error_code ec;
  if (!fs::exists(target, ec) || (fs::is_directory(target, ec) && fs::is_empty(target, ec))) {
    fs::rename(staging, target, ec);
    if (ec) throw MigrationError("The new folder cannot be moved to '" + target.string() + "': " + ec.message() + ".");
    return;
  }
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(staging)) names.push_back(e.path().filename().string());
  std::stable_partition(names.begin(), names.end(), [](const std::string& n) { return n != bank::schema::kBankFile; });
  {
    std::ofstream list(staging / kMovingList);
    for (const std::string& n : names) list << n << "\n";
    if (!list.flush()) throw MigrationError("'" + staging.string() + "' cannot be written.");
  }
  for (const std::string& n : names) {
    fs::rename(staging / n, target / n, ec);
    if (ec) {
      removeLeftover(staging, target);
      throw MigrationError("'" + n + "' cannot be moved into '" + target.string() + "': " + ec.message() + ".");
    }
  }
  fs::remove_all(staging, ec);
}

// Removes the staging folder of a run that failed.
class Cleanup {
 public:
  explicit Cleanup(fs::path staging) : staging_(std::move(staging)) {}
  ~Cleanup() {
    std::error_code ec;
    if (!done_) fs::remove_all(staging_, ec);
  }
  void keep() { done_ = true; }

 private:
  fs::path staging_;
  bool done_ = false;
};

}  // namespace

fs::path stagingFolder(const fs::path& dir) {
  fs::path target = targetOf(dir);
  return target.parent_path() / ("." + target.filename().string() + ".migrating");
}

MigrationResult migrate(const Database& bank, const Database& user, const fs::path& dir, const std::string& salvageReport) {
  namespace schema = bank::schema;
  const fs::path target = targetOf(dir), staging = stagingFolder(dir);
  MigrationResult result;
  if (removeLeftover(staging, target))
    result.notes.push_back("a half-made migration an earlier run left in " + staging.string() + " was removed");
  std::error_code ec;
  std::vector<fs::path> made = {schema::bankPath(target), schema::userPath(target)};
  if (!salvageReport.empty()) made.push_back(target / kSalvageReportFile);
  for (const fs::path& f : made)
    if (fs::exists(f, ec))
      throw MigrationError("'" + f.string() + "' already exists; the migration writes only new files.");
  if (fs::exists(target, ec) && !fs::is_directory(target, ec))
    throw MigrationError("'" + target.string() + "' is a file, not a folder.");
  std::vector<Plan> bankPlans = plan(bank, true, result);
  std::vector<Plan> userPlans = plan(user, false, result);

  // A kind whose table the old bank lacks stays absent: the editor offers only kinds it finds.
  std::set<schema::Kind> omit;
  for (auto k : schema::kAllKinds) {
    bool present = false;
    for (const Table& t : bank.tables) present = present || sameName(t.name, schema::tableName(k));
    if (!present) omit.insert(k);
  }
  for (const Link& l : bank.links) {
    bool ours = false;
    for (const char* t : schema::kLinkedUserTables) ours = ours || sameName(l.name, t);
    result.notes.push_back("link " + l.name + (ours ? " now points to " + std::string(schema::kUserFile)
                                                    : " (to " + l.foreignName + " in " + l.database + ") was not copied"));
  }

  fs::create_directories(staging, ec);
  if (ec) throw MigrationError("The folder '" + staging.string() + "' cannot be made: " + ec.message() + ".");
  Cleanup cleanup(staging);
  try {
    schema::createBank(staging, omit);
    writeFile(schema::bankPath(staging), schema::kBankKey, bankPlans, {staging, dir});
    writeFile(schema::userPath(staging), schema::kUserKey, userPlans);
    verifyFile(schema::bankPath(staging), schema::kBankKey, bankPlans, result);
    verifyFile(schema::userPath(staging), schema::kUserKey, userPlans, result);
  } catch (const store::DbError& e) {
    throw MigrationError(e.description);
  }
  if (!salvageReport.empty()) {
    std::ofstream out(staging / kSalvageReportFile, std::ios::binary);
    out << salvageReport;
    if (!out.flush()) throw MigrationError("'" + std::string(kSalvageReportFile) + "' cannot be written.");
  }
  place(staging, target);
  cleanup.keep();
  return result;
}

namespace {

std::string counted(size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

// One file's part of the salvage report: every table with the rows read, then what was lost and why.
std::string reportOf(const SalvagedDatabase& s) {
  std::string out = "'" + s.database.file.string() + "'\n";
  auto lossOf = [&](const std::string& table) -> const TableLoss* {
    for (const TableLoss& l : s.losses)
      if (l.table == table) return &l;
    return nullptr;
  };
  auto lines = [&](const TableLoss& l) {
    for (const std::string& why : l.why) out += "    " + why + "\n";
  };
  for (const TableLoss& l : s.losses)
    if (l.table == "MSysObjects" || l.unreadable) {
      out += l.table == "MSysObjects" ? "  the catalogue: " : "  table '" + l.table + "': ";
      out += l.unreadable ? "could not be read at all:\n"
                          : counted(l.rowsLost, "row") + " and " + counted(l.pagesLost, "page") +
                                " could not be read; tables named there may be missing:\n";
      lines(l);
    }
  for (const Table& t : s.database.tables) {
    out += "  table '" + t.name + "': " + counted(t.rows.size(), "row") + " read";
    const TableLoss* l = lossOf(t.name);
    if (!l) {
      out += ", nothing lost\n";
      continue;
    }
    out += "; " + counted(l->rowsLost, "row") + " and " + counted(l->pagesLost, "page") + " could not be read:\n";
    lines(*l);
  }
  return out;
}

}  // namespace

MigrationResult migrateFiles(const fs::path& jetBank, const fs::path& jetUser, const fs::path& dir,
                             const std::string& jet3Charset, Reading reading) {
  if (reading == Reading::Whole) {
    Database bank = readDatabase(jetBank, jet3Charset);
    Database user = readDatabase(jetUser, jet3Charset);
    return migrate(bank, user, dir);
  }
  SalvagedDatabase bank = salvageDatabase(jetBank, jet3Charset);
  SalvagedDatabase user = salvageDatabase(jetUser, jet3Charset);
  bool leftBehind = !bank.losses.empty() || !user.losses.empty();
  std::string report = std::string("Salvage: ") + (leftBehind ? "some rows could not be read" : "every row was read") +
                       ".\n" + reportOf(bank) + reportOf(user);
  MigrationResult result = migrate(bank.database, user.database, dir, report);
  result.leftBehind = leftBehind;
  return result;
}

void stageTable(const fs::path& file, const char* key, const std::string& tableName, const Table& source,
                const std::vector<size_t>& rows) {
  std::error_code ec;
  fs::remove(file, ec);
  try {
    TableFile staged = TableFile::create(file, key);
    const std::vector<store::ColumnDef> columns = columnsOf(source);
    staged.createTable(tableName, columns);
    staged.insertRows(tableName, columns, rowsOf(source, rows));
    staged.commit();
  } catch (const store::DbError&) {
    fs::remove(file, ec);
    throw;
  }
}

}  // namespace jet
