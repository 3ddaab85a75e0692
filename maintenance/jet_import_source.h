#pragma once
// Pools and memos imported from a genuine Jet file. The rows are read through the Jet
// reader, so nothing is ever written into that file; a pool is staged for the bank's
// link in a file of ours instead.

#include <filesystem>
#include <memory>

#include "import_source.h"
#include "jet_reader.h"

namespace maintenance {

// A source over the Jet file at file; a pool is staged in stagingFile (bank key).
std::unique_ptr<ImportSource> openJetImportSource(const std::filesystem::path& file,
                                                  const std::filesystem::path& stagingFile);

// The same source over tables already read (or built elsewhere).
std::unique_ptr<ImportSource> jetImportSource(jet::Database tables, const std::filesystem::path& stagingFile);

}  // namespace maintenance
