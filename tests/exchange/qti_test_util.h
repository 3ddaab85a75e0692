#pragma once
// Shared by the QTI tests: banks to export, a package unpacked for xmllint, and two banks'
// questions compared field by field.

#include <QByteArray>

#include <filesystem>
#include <string>
#include <vector>

#include "connection.h"
#include "kind_registry.h"
#include "qti_export.h"
#include "qti_import.h"

namespace qti_test {

namespace fs = std::filesystem;

// A bank in dir, filled with the demo content; the connection opened on it.
void makeDemoBank(const fs::path& dir);
void makeEmptyBank(const fs::path& dir);
void openBank(store::Connection& conn, const fs::path& dir);

// Every file of the package written under dir; their paths, in name order.
std::vector<fs::path> unpack(const fs::path& zip, const fs::path& dir);

// xmllint over every file at once against the schema (a path under the shared schemas);
// its output when a file does not validate, empty when all do.
std::string schemaProblems(const std::string& schema, const std::vector<fs::path>& files);

// The pools of a kind with their questions' numbers, in order.
std::vector<std::pair<std::string, std::vector<std::string>>> poolsOf(store::Connection& conn, bank::schema::Kind kind);

// Every difference between question numQ of kind in the two banks, one line each: rich text
// compared as its text and its formatting runs, every other field as stored. Empty when equal.
std::string differences(store::Connection& a, store::Connection& b, bank::schema::Kind kind, const std::string& numQ);

// Exports every pool of every kind from `from` and imports each into `to` as the same kind and
// pool; fails the test when a pool does not come back.
void roundTrip(store::Connection& from, store::Connection& to, const fs::path& scratch, exchange::qti::Version v);

// A single item's XML (QTI 2.1) with the body given, for the refusals.
QByteArray itemWithBody(const std::string& declarations, const std::string& body);

// Writes a zip with the files given (name, bytes).
void writeZip(const fs::path& zip, const std::vector<std::pair<std::string, QByteArray>>& files);

// The smallest PNG there is: one pixel.
QByteArray onePixelPng();

}  // namespace qti_test
