#pragma once
// Where an import reads from: the pools and memos of another file. The files of this
// program are read through the database component; a reader of other formats plugs in
// behind the same few operations.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "value.h"

namespace maintenance {

// One memo as the import copies it.
struct Memo {
  store::Value probtype, numQ, choice, description, category;
};

class ImportSource {
 public:
  virtual ~ImportSource() = default;
  // The distinct pools (src) of a question table, in the order the file gives them.
  // An empty table fails with 3021.
  virtual std::vector<std::string> pools(const std::string& table) = 0;
  // The distinct question numbers of the file's memos. None fails with 3021.
  virtual std::vector<std::string> memoNumbers() = 0;
  // The memo of a question number (3021 when there is none).
  virtual Memo memo(const std::string& numQ) = 0;
  // Copies one pool of a table into a table ImportTbl of a file of ours that the bank can
  // link to, replacing an earlier ImportTbl; returns the link's connect string. before()
  // receives every statement text before it runs.
  virtual std::string stagePool(const std::string& table, const std::string& pool,
                                const std::function<void(const std::string&)>& before) = 0;
  // The file that the link of stagePool() reaches.
  virtual std::string stagedFile() const = 0;
};

// A source for the file at path, chosen by the file's header: a genuine Jet file is read
// through the Jet reader and a pool of it staged in stagingFile; this program's bank or
// user-database files are read with the bank's key (pools) or the user database's (memos).
std::unique_ptr<ImportSource> openImportSource(const std::string& path, const std::filesystem::path& stagingFile);

}  // namespace maintenance
