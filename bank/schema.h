#pragma once
// The two database files, their keys, tables and fields, and the code that creates them.

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine.h"
#include "extension.h"
#include "kind_registry.h"

namespace bank::schema {

inline constexpr const char* kBankFile = "zorbex_be.mdb";
inline constexpr const char* kUserFile = "zorbex_user.mdb";
inline constexpr const char* kBankKey = "Qw3Rt&9pLm#x4Vb&nk7Z";
inline constexpr const char* kUserKey = "marigold";
inline constexpr const char* kLogFile = "zorbexlog.txt";
inline constexpr const char* kCompactFile = "zorbex_comp.mdb";

const char* tableName(Kind k);  // "SCtbl" ...
const char* kindName(Kind k);   // "SC" ...
// The kind of a name ("SC", "sc" ...); none for a name no kind has.
std::optional<Kind> kindNamed(std::string_view name);

// The four user tables that the bank reaches through links.
inline constexpr std::array<const char*, 4> kLinkedUserTables = {"tblAnswer", "tblMemo", "tblSuspend", "tblAnsBuf"};

// A column: its name and its SQL declaration after the name. The same description as an
// extension's tables, so that a copy of the bank reads both alike.
using Column = store::ExtensionColumn;

// Columns of a question table, in their stored order (an import copies by position).
const std::vector<Column>& questionColumns(Kind k);

using TableSpec = store::ExtensionTable;
// Every table of a new bank (question tables first, in the order of kAllKinds), and of a new
// user database; the table of table definitions is not among them.
const std::vector<TableSpec>& bankTables();
const std::vector<TableSpec>& userTables();

std::filesystem::path bankPath(const std::filesystem::path& folder);
std::filesystem::path userPath(const std::filesystem::path& folder);
// Connect string of the four links: ";DATABASE=" + user file (its absolute path) + ";pwd=marigold;".
// A folder whose path has a ';' cannot be named in it: DbError, before anything is written.
std::string userLinkConnect(const std::filesystem::path& folder);

// Creates an empty user database (its four tables).
void createUserDatabase(const std::filesystem::path& file);

// Creates an empty bank with every table except those in omit, and its four links into
// the user database of the same folder, then lets fill write its first content into the pair.
// Fails when either file exists. Whole or nothing: on any failure (fill's included) both files
// are taken away again.
void createBank(const std::filesystem::path& folder, const std::set<Kind>& omit = {},
                const std::function<void(const std::filesystem::path&)>& fill = {});

// Makes a bank in an empty database on a PostgreSQL server (libpq connection string or URI): the
// bank's tables, the user tables in a schema of their own, and the links to them. Refuses a
// database that holds tables.
void createServerBank(const std::string& conninfo);
// Refuses (DbError) a database that holds tables of a bank or of anything else in its schemas.
void requireEmptyServerDatabase(store::Engine& db);
// The statements that make a bank in an empty database, without a transaction of their own.
std::string serverBankSql();
// Connect string of the four links on a server: ";SCHEMA=zx_user;".
std::string serverUserLinkConnect();

// Marks a local table with table-definition attributes (tests: system tables).
void setTableAttributes(const std::filesystem::path& file, const std::string& key, const std::string& table,
                        long attributes);

}  // namespace bank::schema
