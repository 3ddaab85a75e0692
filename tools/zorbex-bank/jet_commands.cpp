// migrate, jet-tables and jet-export: moving an existing Jet bank, and looking into a
// Jet file before doing so. Jet files are only ever read.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "commands.h"
#include "jet_reader.h"
#include "migrate.h"

namespace bank_tool {

namespace {

// Jet 3 files whose header names a code page their text does not use (GBK text under a
// 1252 header, say) are read with the one given in MDB_JET3_CHARSET.
std::string jet3Charset() {
  const char* cs = std::getenv("MDB_JET3_CHARSET");
  return cs ? cs : "";
}

std::string shown(const jet::Column& c, const store::Value& v) {
  if (!jet::isBinary(c.type) || v.isNull()) return v.toString();
  static const char* hex = "0123456789abcdef";
  std::string out = "0x";
  for (unsigned char b : v.text()) {
    out += hex[b >> 4];
    out += hex[b & 15];
  }
  return out;
}

}  // namespace

// --salvage moves every row that can be read and exits 2 when any was left behind;
// without it a damaged source stops the migration before anything is written.
int cmdMigrate(const Args& args) {
  bool salvage = !args.empty() && args[0] == "--salvage";
  Args files(args.begin() + (salvage ? 1 : 0), args.end());
  if (files.size() != 3) return usageError("migrate [--salvage] JET-BANK JET-USERDB DIR");
  try {
    jet::MigrationResult r = jet::migrateFiles(files[0], files[1], files[2], jet3Charset(),
                                               salvage ? jet::Reading::Salvage : jet::Reading::Whole);
    for (const jet::TableResult& t : r.tables) {
      std::printf("%-16s %-24s read %6zu   written %6zu", t.file.c_str(), t.table.c_str(), t.read, t.written);
      if (t.stated) std::printf("   (its definition says %zu rows; every row found was read)", *t.stated);
      std::printf("\n");
    }
    for (const std::string& n : r.notes) std::printf("note: %s\n", n.c_str());
    if (r.leftBehind) {
      std::printf("salvaged into %s; every row read was read back and compared, and what could not be read is "
                  "listed in %s\n", files[2].c_str(), jet::kSalvageReportFile);
      return 2;
    }
    std::printf("migrated into %s; every row was read back and compared\n", files[2].c_str());
    return 0;
  } catch (const jet::JetError& e) {
    return fail(std::string(e.what()) + " Nothing was written.");
  } catch (const jet::MigrationError& e) {
    return fail(std::string(e.what()) + " Nothing was written.");
  }
}

// Lists every table it can read; a table that cannot be read is listed with the reason, and
// the exit status is then 1.
int cmdJetTables(const Args& args) {
  if (args.size() != 1) return usageError("jet-tables FILE");
  try {
    jet::Reader reader(args[0], jet3Charset(), jet::Reading::Salvage);
    int status = 0;
    for (const std::string& why : reader.catalogueLoss().why) {
      std::printf("(catalogue)\tunreadable: %s\n", why.c_str());
      status = 1;
    }
    for (const std::string& name : reader.tableNames()) {
      try {
        jet::Table t = reader.readTable(name);
        std::string cols;
        for (const jet::Column& c : t.columns) cols += (cols.empty() ? "" : ", ") + c.name + " " + jet::typeName(c.type);
        std::printf("%s\t%zu rows\t%s\n", t.name.c_str(), t.rows.size(), cols.c_str());
      } catch (const jet::JetError& e) {
        std::printf("%s\tunreadable: %s\n", name.c_str(), e.what());
        status = 1;
      }
    }
    for (const jet::Link& l : reader.links())
      std::printf("%s\tlink to %s in %s\n", l.name.c_str(), l.foreignName.c_str(), l.database.c_str());
    return status;
  } catch (const jet::JetError& e) {
    return fail(e.what());
  }
}

int cmdJetExport(const Args& args) {
  if (args.size() != 2) return usageError("jet-export FILE TABLE");
  try {
    // Damage elsewhere in the catalogue does not keep a readable table from being exported.
    jet::Reader reader(args[0], jet3Charset(), jet::Reading::Salvage);
    jet::Table t = reader.readTable(args[1]);
    for (size_t i = 0; i < t.columns.size(); ++i) std::cout << (i ? "\t" : "") << t.columns[i].name;
    std::cout << "\n";
    for (const jet::Row& row : t.rows) {
      for (size_t i = 0; i < row.size(); ++i) std::cout << (i ? "\t" : "") << shown(t.columns[i], row[i]);
      std::cout << "\n";
    }
    return 0;
  } catch (const jet::JetError& e) {
    return fail(e.what());
  }
}

}  // namespace bank_tool
