#pragma once
// A copy of a genuine Jet file with just enough of its page layout to change it the way Jet
// does (a deleted row, a stale count) or the way damage does, and write the copy out.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "temp_dir.h"

namespace jet_pages {

class JetFile {
 public:
  explicit JetFile(const std::filesystem::path& file) : bytes_(testing_support::bytesOf(file)) {
    jet3_ = bytes_.at(0x14) == 0;
    pageSize_ = jet3_ ? 2048 : 4096;
    rowCountOffset_ = jet3_ ? 8 : 12;
  }

  size_t pageSize() const { return pageSize_; }
  size_t pages() const { return bytes_.size() / pageSize_; }
  unsigned char& at(size_t page, size_t offset) { return reinterpret_cast<unsigned char&>(bytes_.at(page * pageSize_ + offset)); }
  std::uint32_t u32(size_t page, size_t offset) {
    return at(page, offset) | at(page, offset + 1) << 8 | at(page, offset + 2) << 16 | static_cast<std::uint32_t>(at(page, offset + 3)) << 24;
  }
  void setU16(size_t page, size_t offset, unsigned v) {
    at(page, offset) = v & 0xff;
    at(page, offset + 1) = (v >> 8) & 0xff;
  }
  void setU32(size_t page, size_t offset, std::uint32_t v) {
    setU16(page, offset, v & 0xffff);
    setU16(page, offset + 2, v >> 16);
  }

  int rows(size_t page) { return at(page, rowCountOffset_) | at(page, rowCountOffset_ + 1) << 8; }
  unsigned entry(size_t page, int row) { return at(page, entryOffset(row)) | at(page, entryOffset(row) + 1) << 8; }
  void setEntry(size_t page, int row, unsigned v) { setU16(page, entryOffset(row), v); }
  int start(size_t page, int row) { return static_cast<int>(entry(page, row) & 0x1fff); }

  // The page of a user table's definition, from its row in the catalogue (whose first
  // fixed column is the object's id).
  std::uint32_t definitionOf(const std::string& table) {
    auto [page, offset] = catalogueIdOf(table);
    return u32(page, offset) & 0xffffff;
  }

  // Where the catalogue row of a user table holds its id: page and offset.
  std::pair<size_t, size_t> catalogueIdOf(const std::string& table) {
    std::string name;
    for (char c : table) name += jet3_ ? std::string(1, c) : std::string{c, '\0'};
    for (size_t p = 1; p < pages(); ++p) {
      if (at(p, 0) != 1 || u32(p, 4) != 2) continue;
      size_t found = bytes_.substr(p * pageSize_, pageSize_).find(name);
      if (found == std::string::npos) continue;
      int owner = -1;  // the row holding the name: the nearest start below it
      for (int r = 0; r < rows(p); ++r)
        if (start(p, r) <= static_cast<int>(found) && (owner < 0 || start(p, r) > start(p, owner))) owner = r;
      if (owner >= 0) return {p, static_cast<size_t>(start(p, owner)) + (jet3_ ? 1 : 2)};
    }
    throw std::runtime_error("no catalogue row names " + table);
  }

  std::vector<size_t> dataPagesOf(std::uint32_t definition) {
    std::vector<size_t> out;
    for (size_t p = 1; p < pages(); ++p)
      if (at(p, 0) == 1 && u32(p, 4) == definition) out.push_back(p);
    return out;
  }

  // What Jet does when it deletes a row and tidies the page: the row's bytes go, the rows
  // stored below it move up, and its entry keeps the deleted flag with the page size.
  void deleteAndCompact(size_t page, int row) {
    int from = start(page, row), end = static_cast<int>(pageSize_);
    for (int r = 0; r < rows(page); ++r)
      if (start(page, r) > from && start(page, r) < end) end = start(page, r);
    int lowest = from;
    for (int r = 0; r < rows(page); ++r)
      if (!(entry(page, r) & 0x8000) || start(page, r) < static_cast<int>(pageSize_)) lowest = std::min(lowest, start(page, r));
    const size_t base = page * pageSize_;
    bytes_.replace(base + static_cast<size_t>(lowest + end - from), static_cast<size_t>(from - lowest),
                   bytes_.substr(base + static_cast<size_t>(lowest), static_cast<size_t>(from - lowest)));
    for (int r = 0; r < rows(page); ++r)
      if (r != row && start(page, r) < from) setEntry(page, r, entry(page, r) + static_cast<unsigned>(end - from));
    setEntry(page, row, 0x8000 | static_cast<unsigned>(pageSize_));
  }

  void write(const std::filesystem::path& file, size_t keepPages = 0) const {
    std::ofstream(file, std::ios::binary) << (keepPages ? bytes_.substr(0, keepPages * pageSize_) : bytes_);
  }

 private:
  size_t entryOffset(int row) const { return rowCountOffset_ + 2 + 2 * static_cast<size_t>(row); }

  std::string bytes_;
  bool jet3_ = false;
  size_t pageSize_ = 4096;
  size_t rowCountOffset_ = 12;
};

}  // namespace jet_pages
