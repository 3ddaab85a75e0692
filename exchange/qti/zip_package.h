#pragma once
// The zip file of a content package. Writing: each file is staged on disk and compressed
// into the zip at the end, so that no package is ever whole in memory. Reading: sizes are
// bounded before anything is inflated, and names that would reach outside the package are
// refused.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace exchange::qti {

// A package that cannot be read or written; what() says why, as a sentence.
struct PackageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ZipWriter {
 public:
  // Stages files in a fresh folder under the temporary folder; nothing is written to zipPath
  // until finish().
  explicit ZipWriter(std::filesystem::path zipPath);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  void add(const std::string& name, const QByteArray& data);
  // Registers a file that the caller writes itself, bit by bit, at the path returned (before
  // finish()).
  std::filesystem::path addStaged(const std::string& name);
  // Writes the zip (replacing zipPath whole) and removes the staged files. Throws PackageError.
  void finish();

 private:
  // A file of the package: a stretch of the staged data, or a staged file of its own.
  struct Entry {
    std::string name;
    std::filesystem::path file;
    std::uint64_t offset = 0;
    std::int64_t length = -1;  // -1: the whole file
  };
  std::filesystem::path zip_;
  std::filesystem::path stage_;
  // The small files one after the other in one staged file: creating a file for each of
  // thousands of items cost more than compressing them.
  std::ofstream data_;
  std::uint64_t dataSize_ = 0;
  std::vector<Entry> entries_;
};

// What a package may hold before it is refused unread.
struct ZipLimits {
  std::uint64_t files = 100000;
  std::uint64_t fileBytes = 32ull << 20;    // one file, unpacked
  std::uint64_t totalBytes = 1ull << 30;    // every file, unpacked
  std::uint64_t ratio = 200;                // unpacked / packed, for files above 1 MB
};

class ZipReader {
 public:
  // Opens the zip and checks every entry's name and size against the limits. Throws PackageError.
  explicit ZipReader(const std::filesystem::path& zipPath, ZipLimits limits = {});
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  bool has(const std::string& name) const;
  // Every file's name, in name order.
  std::vector<std::string> names() const;
  // The file's bytes, read no further than its stated size. Throws PackageError.
  QByteArray read(const std::string& name) const;

 private:
  struct Zip;
  std::unique_ptr<Zip> zip_;
  std::map<std::string, std::int64_t> index_;  // name -> entry
  ZipLimits limits_;
};

// A path inside a package, as an item or the manifest names it relative to base (the folder
// of the file that names it): normalised, or empty when it leaves the package (.., an
// absolute path, a scheme).
std::string packagePath(const std::string& base, const std::string& href);

}  // namespace exchange::qti
