#pragma once
// Writes questions of the bank as a QTI content package: a manifest, one item per question,
// the pictures of their texts, one test with a section per pool, and (in QTI 2.2) one
// stimulus per reading passage.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "connection.h"
#include "kind_registry.h"
#include "qti_format.h"

namespace exchange::qti {

struct ExportOptions {
  std::vector<bank::schema::Kind> kinds;  // empty: every kind
  std::string pool;                       // empty: every pool
  std::string numberPrefix;               // empty: every question number
  Version version = Version::V2p1;
  bool withKey = true;  // false: no answer leaves the bank
};

struct ExportSummary {
  long items = 0;
  long stimuli = 0;
  long pictures = 0;
  long sections = 0;
};

// Told how far the export has come: done of total questions.
using Progress = std::function<void(long done, long total)>;

// Writes the package to zipPath, replacing it only when the whole package is written. Throws
// PackageError or store::DbError.
ExportSummary exportPackage(store::Connection& conn, const std::filesystem::path& zipPath, const ExportOptions& options,
                            const Progress& progress = {});

// What an export wrote, as the window and the tool tell it.
std::string exportReport(const ExportSummary& s, const std::filesystem::path& zipPath);

}  // namespace exchange::qti
