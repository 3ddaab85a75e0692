#include "zip_package.h"

#include <zip.h>

#include <QUrl>

#include <atomic>
#include <fstream>

#include <unistd.h>

namespace exchange::qti {

namespace fs = std::filesystem;

namespace {

std::string zipError(zip_t* z) { return z ? zip_strerror(z) : "unknown error"; }

fs::path freshStage() {
  static std::atomic<int> counter{0};
  fs::path p = fs::temp_directory_path() /
               ("zorbex-qti-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

}  // namespace

ZipWriter::ZipWriter(fs::path zipPath) : zip_(std::move(zipPath)), stage_(freshStage()) {
  data_.open(stage_ / "data", std::ios::binary);
}

ZipWriter::~ZipWriter() {
  data_.close();
  std::error_code ec;
  fs::remove_all(stage_, ec);
}

void ZipWriter::add(const std::string& name, const QByteArray& data) {
  data_.write(data.constData(), data.size());
  if (!data_) throw PackageError("The package could not be staged in " + stage_.string() + ": the disk may be full.");
  entries_.push_back({name, stage_ / "data", dataSize_, static_cast<std::int64_t>(data.size())});
  dataSize_ += static_cast<std::uint64_t>(data.size());
}

fs::path ZipWriter::addStaged(const std::string& name) {
  const fs::path file = stage_ / std::to_string(entries_.size());
  entries_.push_back({name, file, 0, -1});
  return file;
}

void ZipWriter::finish() {
  data_.close();
  if (data_.fail()) throw PackageError("The package could not be staged in " + stage_.string() + ": the disk may be full.");
  // Written beside the target and moved over it: a failed export leaves no half package.
  const fs::path partial = zip_.string() + ".partial";
  std::error_code ec;
  fs::remove(partial, ec);
  int err = 0;
  zip_t* z = zip_open(partial.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) throw PackageError("The package " + zip_.string() + " could not be created.");
  for (const Entry& e : entries_) {
    // An empty stretch is an empty file: a length of 0 would mean "to the end" to libzip.
    zip_source_t* src = e.length == 0 ? zip_source_buffer(z, nullptr, 0, 0)
                                      : zip_source_file(z, e.file.c_str(), e.offset, e.length);
    if (!src || zip_file_add(z, e.name.c_str(), src, ZIP_FL_ENC_UTF_8) < 0) {
      if (src) zip_source_free(src);
      const std::string why = zipError(z);
      zip_discard(z);
      throw PackageError("The package could not be written: " + why + ".");
    }
  }
  if (zip_close(z) < 0) {
    const std::string why = zipError(z);
    zip_discard(z);
    fs::remove(partial, ec);
    throw PackageError("The package could not be written: " + why + ".");
  }
  fs::rename(partial, zip_, ec);
  if (ec) throw PackageError("The package could not be put in place of " + zip_.string() + ": " + ec.message() + ".");
  fs::remove_all(stage_, ec);
}

struct ZipReader::Zip {
  zip_t* z = nullptr;
  ~Zip() {
    if (z) zip_discard(z);
  }
};

std::string packagePath(const std::string& base, const std::string& href) {
  QString h = QUrl::fromPercentEncoding(QByteArray::fromStdString(href));
  if (h.isEmpty() || h.startsWith('/') || h.startsWith('\\') || h.contains(':') || h.contains('\\')) return {};
  std::vector<QString> parts;
  const QString joined = QString::fromStdString(base).isEmpty() ? h : QString::fromStdString(base) + '/' + h;
  for (const QString& part : joined.split('/', Qt::SkipEmptyParts)) {
    if (part == ".") continue;
    if (part == "..") return {};  // never above the package, even where it would come back
    parts.push_back(part);
  }
  QString out;
  for (const QString& p : parts) out += (out.isEmpty() ? "" : "/") + p;
  return out.toStdString();
}

ZipReader::ZipReader(const fs::path& zipPath, ZipLimits limits) : zip_(std::make_unique<Zip>()), limits_(limits) {
  int err = 0;
  zip_->z = zip_open(zipPath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  if (!zip_->z) throw PackageError("The file " + zipPath.string() + " is not a zip package that can be read.");
  const zip_int64_t n = zip_get_num_entries(zip_->z, 0);
  if (n < 0 || static_cast<std::uint64_t>(n) > limits_.files)
    throw PackageError("The package holds more than " + std::to_string(limits_.files) + " files; it was not read.");
  std::uint64_t total = 0;
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    if (zip_stat_index(zip_->z, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME) ||
        !(st.valid & ZIP_STAT_SIZE))
      throw PackageError("An entry of the package cannot be read.");
    const std::string name = st.name;
    if (name.empty() || name.back() == '/') continue;  // a folder
    if (packagePath("", name) != name)
      throw PackageError("The package holds the file '" + name + "', whose name reaches outside the package; it was not read.");
    if (st.size > limits_.fileBytes)
      throw PackageError("The package's file '" + name + "' would unpack to " + std::to_string(st.size) +
                         " bytes, more than any question needs; it was not read.");
    if (st.size > (1u << 20) && (st.valid & ZIP_STAT_COMP_SIZE) && st.size / std::max<std::uint64_t>(st.comp_size, 1) > limits_.ratio)
      throw PackageError("The package's file '" + name + "' would unpack to " + std::to_string(st.size) + " bytes from " +
                         std::to_string(st.comp_size) + ": a zip bomb; it was not read.");
    total += st.size;
    if (total > limits_.totalBytes)
      throw PackageError("The package would unpack to more than " + std::to_string(limits_.totalBytes) +
                         " bytes; it was not read.");
    index_[name] = i;
  }
}

ZipReader::~ZipReader() = default;

std::vector<std::string> ZipReader::names() const {
  std::vector<std::string> out;
  for (const auto& [name, index] : index_) out.push_back(name);
  return out;
}

bool ZipReader::has(const std::string& name) const { return index_.count(name) != 0; }

QByteArray ZipReader::read(const std::string& name) const {
  auto it = index_.find(name);
  if (it == index_.end()) throw PackageError("The package has no file '" + name + "'.");
  zip_stat_t st;
  zip_stat_index(zip_->z, static_cast<zip_uint64_t>(it->second), 0, &st);
  zip_file_t* f = zip_fopen_index(zip_->z, static_cast<zip_uint64_t>(it->second), 0);
  if (!f) throw PackageError("The package's file '" + name + "' cannot be read: " + zipError(zip_->z) + ".");
  // One byte more than stated: an entry whose data is longer than its header says is refused.
  QByteArray data(static_cast<qsizetype>(st.size) + 1, Qt::Uninitialized);
  qsizetype got = 0;
  while (got < data.size()) {
    const zip_int64_t n = zip_fread(f, data.data() + got, static_cast<zip_uint64_t>(data.size() - got));
    if (n < 0) {
      zip_fclose(f);
      throw PackageError("The package's file '" + name + "' is damaged.");
    }
    if (n == 0) break;
    got += n;
  }
  zip_fclose(f);
  if (got != static_cast<qsizetype>(st.size)) throw PackageError("The package's file '" + name + "' is damaged.");
  data.resize(got);
  return data;
}

}  // namespace exchange::qti
