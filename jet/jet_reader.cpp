// The only file that includes the mdbtools header. libmdb finds pages, the catalogue,
// column definitions and the fields of a row; the rows of a table are walked here, and
// the values decoded here, because libmdb 1.0 reads deleted rows as live ones (its two
// row flags are swapped), renders dates outside 1900..9999 wrongly, and converts text
// through UCS-2 (characters outside the Basic Multilingual Plane become "?").

// glib and iconv first: mdbtools.h relies on them without including them in every build.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <set>

#include "file_kind.h"
#include "jet_reader.h"
#include "jet_values.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

constexpr int kDeletedRow = 0x8000;   // deleted, or the far half of a moved row
constexpr int kOverflowRow = 0x4000;  // the row moved: its first four bytes point to it
constexpr int kOffsetMask = 0x1fff;
constexpr int kMaxOverflowHops = 4;
constexpr unsigned char kDataPage = 0x01;
constexpr unsigned char kTableDefPage = 0x02;
constexpr unsigned char kUsageMapPage = 0x05;

// Damage met while reading, and how much it spoils: one row, one page (and its rows), or
// the whole table.
struct Damage {
  enum Level { Row, Page, Table } level;
  std::string what;
};

[[noreturn]] void fail(Damage::Level level, std::string what) { throw Damage{level, std::move(what)}; }

using Page = std::vector<unsigned char>;

// A data page and the offsets of all its row entries, sorted, to find where each row ends.
struct DataPage {
  std::uint32_t number;
  Page bytes;
  int rows;
  std::vector<int> starts;
};

struct Slot {
  int start;
  size_t length;
  int flags;
};

int le16(const unsigned char* p) { return p[0] | p[1] << 8; }

std::uint32_t le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string quoted(const fs::path& file) { return "'" + file.string() + "'"; }

// Page size from the header, or 0 when the first page is not a Jet or ACE header.
long headerPageSize(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char head[0x20] = {};
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return 0;
  if (head[0] != 0 || (std::memcmp(head + 4, "Standard Jet DB", 16) != 0 &&
                       std::memcmp(head + 4, "Standard ACE DB", 16) != 0))
    return 0;
  return head[0x14] == 0 ? 2048 : 4096;
}

std::string guidText(const unsigned char* p) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", le32(p),
                static_cast<unsigned>(p[4] | p[5] << 8), static_cast<unsigned>(p[6] | p[7] << 8), p[8], p[9], p[10],
                p[11], p[12], p[13], p[14], p[15]);
  return buf;
}

}  // namespace

const char* typeName(ColumnType t) {
  switch (t) {
    case ColumnType::Boolean: return "Boolean";
    case ColumnType::Byte: return "Byte";
    case ColumnType::Integer: return "Integer";
    case ColumnType::LongInteger: return "Long Integer";
    case ColumnType::Currency: return "Currency";
    case ColumnType::Single: return "Single";
    case ColumnType::Double: return "Double";
    case ColumnType::DateTime: return "DateTime";
    case ColumnType::Binary: return "Binary";
    case ColumnType::Text: return "Text";
    case ColumnType::OleObject: return "OLE Object";
    case ColumnType::Memo: return "Memo";
    case ColumnType::ReplicationId: return "Replication ID";
    case ColumnType::Decimal: return "Decimal";
    case ColumnType::Complex: return "Complex";
  }
  return "Unknown";
}

struct Reader::Impl {
  fs::path file;
  MdbHandle* mdb = nullptr;
  std::string charset;  // Jet 3 text
  std::uintmax_t fileSize = 0;
  size_t pageSize = 0;
  std::uint32_t pageCount = 0;  // whole pages in the file
  int rowCountOffset = 0;
  // The catalogue, read here from MSysObjects: libmdb's own reader takes deleted objects
  // for live ones, and can loop without end on a damaged property record (properties are
  // not needed here).
  Table objects;
  TableLoss catalogueLoss{"MSysObjects", 0, 0, {}, false};
  std::deque<MdbCatalogEntry> entries;
  // The page last copied into libmdb's page buffer, where mdb_crack_row reads rows; 0: none.
  mutable std::uint32_t inRowBuffer = 0;

  ~Impl() {
    if (mdb) mdb_close(mdb);
  }

  [[noreturn]] void damaged(const std::string& what) const {
    throw JetError("The Jet database " + quoted(file) + " is damaged: " + what + ".");
  }

  // Jet compares names without regard to case.
  MdbCatalogEntry* entry(const std::string& name) {
    for (MdbCatalogEntry& e : entries)
      if (mdb_is_user_table(&e) && g_ascii_strcasecmp(name.c_str(), e.object_name) == 0) return &e;
    return nullptr;
  }

  int objectColumn(const char* name) const {
    for (size_t i = 0; i < objects.columns.size(); ++i)
      if (g_ascii_strcasecmp(objects.columns[i].name.c_str(), name) == 0) return static_cast<int>(i);
    return -1;
  }

  std::string objectValue(const Row& r, int column) const {
    return column < 0 ? std::string() : r[static_cast<size_t>(column)].toString();
  }

  void readCatalogue(Reading reading) {
    MdbCatalogEntry sys{};
    sys.mdb = mdb;
    std::snprintf(sys.object_name, sizeof sys.object_name, "%s", "MSysObjects");
    sys.object_type = MDB_TABLE;
    sys.table_pg = 2;
    sys.flags = static_cast<int>(0x80000002);
    objects = read(&sys, reading == Reading::Salvage ? &catalogueLoss : nullptr,
                   {"Id", "Name", "Type", "Flags", "Database", "ForeignName", "Connect"});
    if (catalogueLoss.unreadable) damaged(catalogueLoss.why.front());
    int id = objectColumn("Id"), name = objectColumn("Name"), type = objectColumn("Type"), flags = objectColumn("Flags");
    if (id < 0 || name < 0 || type < 0 || flags < 0) damaged("its catalogue lacks the columns every Jet file has");
    for (const Row& r : objects.rows) {
      MdbCatalogEntry e{};
      e.mdb = mdb;
      std::snprintf(e.object_name, sizeof e.object_name, "%s", objectValue(r, name).c_str());
      e.object_type = static_cast<int>(r[static_cast<size_t>(type)].toInt() & 0x7F);
      e.table_pg = static_cast<unsigned long>(r[static_cast<size_t>(id)].toInt() & 0x00FFFFFF);
      e.flags = static_cast<int>(r[static_cast<size_t>(flags)].toInt());
      entries.push_back(e);
    }
  }

  // One page as libmdb hands it over (it deciphers encoded files); `namer` says what
  // named the page.
  Page page(std::uint32_t number, const std::string& namer, Damage::Level level) const {
    if (number == 0) fail(level, namer + " names page 0, the file's header");
    if (number >= pageCount)
      fail(level, namer + " names page " + std::to_string(number) + ", beyond the end of the file");
    if (mdb_read_alt_pg(mdb, number) != mdb->fmt->pg_size) fail(level, "page " + std::to_string(number) + " cannot be read");
    return Page(mdb->alt_pg_buf, mdb->alt_pg_buf + pageSize);
  }

  DataPage dataPage(std::uint32_t number, const std::string& namer, Damage::Level level) const {
    DataPage d{number, page(number, namer, level), 0, {}};
    if (d.bytes[0] != kDataPage)
      fail(level, "page " + std::to_string(number) + ", named by " + namer + ", is not a data page");
    d.rows = le16(&d.bytes[static_cast<size_t>(rowCountOffset)]);
    if (firstRowOffset(d) > static_cast<int>(pageSize))
      fail(level, "page " + std::to_string(number) + " claims more rows than a page can hold");
    for (int r = 0; r < d.rows; ++r) d.starts.push_back(entryOf(d, r) & kOffsetMask);
    std::sort(d.starts.begin(), d.starts.end());
    return d;
  }

  int entryOf(const DataPage& d, int row) const {
    return le16(&d.bytes[static_cast<size_t>(rowCountOffset + 2 + 2 * row)]);
  }
  // Rows lie above the page's header and its table of row entries.
  int firstRowOffset(const DataPage& d) const { return rowCountOffset + 2 + 2 * d.rows; }

  // Where row `row` of a data page lies; empty when there is no row to read. Rows fill a
  // page from its end downwards, so a row ends where the nearest row stored above it
  // begins, whatever the order of their entries. The entry of a deleted or emptied row may
  // carry any offset (Jet leaves the page size in emptied ones) and is skipped unless
  // `followed` (the far half of a moved row, and memo pieces, carry the deleted flag);
  // only a row that is to be read and lies outside its page is damage.
  std::optional<Slot> slot(const DataPage& d, int row, bool followed, const char* table) const {
    auto where = [&] { return "row " + std::to_string(row) + " of page " + std::to_string(d.number); };
    if (row >= d.rows) fail(Damage::Row, "a row of table '" + std::string(table) + "' points to " + where() + ", which does not exist");
    int e = entryOf(d, row);
    if ((e & kDeletedRow) && !followed) return std::nullopt;
    int start = e & kOffsetMask;
    if (start < firstRowOffset(d) || start > static_cast<int>(pageSize))
      fail(Damage::Row, where() + " of table '" + table + "' lies outside its page");
    auto above = std::upper_bound(d.starts.begin(), d.starts.end(), start);
    int end = above == d.starts.end() || *above > static_cast<int>(pageSize) ? static_cast<int>(pageSize) : *above;
    if (end == start) return std::nullopt;
    return Slot{start, static_cast<size_t>(end - start), e};
  }

  std::string text(const unsigned char* p, size_t n) const {
    std::string_view bytes(reinterpret_cast<const char*>(p), n);
    if (mdb->f->jet_version == MDB_VER_JET3) {
      try {
        return values::codePageText(bytes, charset);
      } catch (const std::runtime_error& e) {
        throw JetError("The text of " + quoted(file) + " cannot be read: " + e.what() + ".");
      }
    }
    return values::jet4Text(bytes);
  }

  // A memo or OLE value: inline in the row, on one other page, or a chain of pages.
  std::string longValue(const MdbField& f, const char* table) const {
    if (f.siz < MDB_MEMO_OVERHEAD) fail(Damage::Row, "a memo field is cut short");
    const auto* p = static_cast<const unsigned char*>(f.value);
    std::uint32_t lenFlags = le32(p);
    size_t total = lenFlags & 0x3fffffff;
    if (lenFlags & 0x80000000) {
      if (total > static_cast<size_t>(f.siz - MDB_MEMO_OVERHEAD)) fail(Damage::Row, "a memo field is longer than its row");
      return std::string(reinterpret_cast<const char*>(p + MDB_MEMO_OVERHEAD), total);
    }
    if (total > fileSize) fail(Damage::Row, "a memo claims to be longer than the file");
    std::string out;
    out.reserve(total);
    std::uint32_t pgRow = le32(p + 4);
    bool single = lenFlags & 0x40000000;
    std::set<std::uint32_t> visited;
    while (pgRow != 0 && out.size() < total) {
      if (!visited.insert(pgRow).second) fail(Damage::Row, "a memo's pages form a loop");
      DataPage d = dataPage(pgRow >> 8, "a memo of table '" + std::string(table) + "'", Damage::Row);
      std::optional<Slot> s = slot(d, static_cast<int>(pgRow & 0xff), true, table);
      if (!s) fail(Damage::Row, "a piece of a memo is missing");
      const unsigned char* row = d.bytes.data() + s->start;
      if (single) {
        out.append(reinterpret_cast<const char*>(row), std::min(s->length, total));
        break;
      }
      if (s->length < 4) fail(Damage::Row, "a memo page is cut short");
      pgRow = le32(row);
      out.append(reinterpret_cast<const char*>(row + 4), s->length - 4);
    }
    if (out.size() < total) fail(Damage::Row, "a memo value is shorter than its stored length");
    out.resize(total);
    return out;
  }

  store::Value decode(const Column& c, const MdbField& f, const char* table) const {
    if (c.type == ColumnType::Boolean) return store::Value(f.is_null ? 0 : -1);  // stored in the null mask
    if (f.is_null) return {};
    const auto* p = static_cast<const unsigned char*>(f.value);
    auto need = [&](int n) {
      if (f.siz < n) fail(Damage::Row, "a value of column '" + c.name + "' is cut short");
    };
    switch (c.type) {
      case ColumnType::Byte: need(1); return store::Value(static_cast<int>(p[0]));
      case ColumnType::Integer: need(2); return store::Value(static_cast<int>(static_cast<std::int16_t>(p[0] | p[1] << 8)));
      case ColumnType::LongInteger:
      case ColumnType::Complex: need(4); return store::Value(static_cast<long long>(static_cast<std::int32_t>(le32(p))));
      case ColumnType::Currency: {
        need(8);
        std::uint64_t v = le32(p) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
        return store::Value(values::currency(static_cast<std::int64_t>(v)));
      }
      case ColumnType::Single: {
        need(4);
        float v;
        std::memcpy(&v, p, 4);
        return store::Value(static_cast<double>(v));
      }
      case ColumnType::Double:
      case ColumnType::DateTime: {
        need(8);
        double v;
        std::memcpy(&v, p, 8);
        return c.type == ColumnType::Double ? store::Value(v) : store::Value(values::isoDate(v));
      }
      case ColumnType::ReplicationId: need(16); return store::Value(guidText(p));
      case ColumnType::Decimal: need(17); return store::Value(values::decimal(p, c.scale));
      case ColumnType::Text: return store::Value(text(p, static_cast<size_t>(f.siz)));
      case ColumnType::Binary: return store::Value(std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(f.siz)));
      case ColumnType::Memo: {
        std::string raw = longValue(f, table);
        return store::Value(text(reinterpret_cast<const unsigned char*>(raw.data()), raw.size()));
      }
      case ColumnType::OleObject: return store::Value(longValue(f, table));
      case ColumnType::Boolean: break;
    }
    return {};
  }

  // Reads row `row` of a data page into out. false: no live row there.
  bool readRow(MdbTableDef* t, const std::vector<Column>& cols, const std::vector<bool>& wanted, const DataPage& d, int row,
               bool followed, int hops, Row& out) const {
    const char* table = t->name;
    std::optional<Slot> s = slot(d, row, followed, table);
    if (!s) return false;
    if (s->flags & kOverflowRow) {
      if (s->length < 4 || hops >= kMaxOverflowHops)
        fail(Damage::Row, "a moved row of table '" + std::string(table) + "' cannot be found");
      std::uint32_t pgRow = le32(d.bytes.data() + s->start);
      DataPage far = dataPage(pgRow >> 8, "a moved row of table '" + std::string(table) + "'", Damage::Row);
      return readRow(t, cols, wanted, far, static_cast<int>(pgRow & 0xff), true, hops + 1, out);
    }
    if (inRowBuffer != d.number) {
      std::memcpy(mdb->pg_buf, d.bytes.data(), pageSize);
      inRowBuffer = d.number;
    }
    std::vector<MdbField> fields(t->num_cols);
    if (mdb_crack_row(t, s->start, s->length, fields.data()) < 0)
      fail(Damage::Row, "a row of table '" + std::string(table) + "' cannot be split into its fields");
    out.clear();
    const int rowEnd = s->start + static_cast<int>(s->length);
    for (size_t i = 0; i < cols.size(); ++i) {
      const MdbField& f = fields[i];
      if (!f.is_null && (f.siz < 0 || f.start < s->start || f.start + f.siz > rowEnd))
        fail(Damage::Row, "a value of table '" + std::string(table) + "' lies outside its row");
      out.push_back(wanted[i] ? decode(cols[i], f, table) : store::Value());
    }
    return true;
  }

  // Every page of a table's definition exists and is one, and the page holding its usage
  // map exists: a file cut short loses these first.
  void checkDefinition(const MdbCatalogEntry* e) const {
    const std::string name = e->object_name;
    std::set<std::uint32_t> seen;
    std::string namer = "the catalogue entry of table '" + name + "'";
    Page first;
    auto pg = static_cast<std::uint32_t>(e->table_pg);
    do {  // the first page is read even when the catalogue names page 0
      if (!seen.insert(pg).second) fail(Damage::Table, "the definition of table '" + name + "' loops");
      Page p = page(pg, namer, Damage::Table);
      if (p[0] != kTableDefPage)
        fail(Damage::Table, "page " + std::to_string(pg) + ", named by " + namer + ", is not a table definition");
      if (first.empty()) first = p;
      namer = "the definition of table '" + name + "'";
      pg = le32(&p[4]);
    } while (pg != 0);
    std::uint32_t map = le32(&first[mdb->fmt->tab_usage_map_offset]);
    dataPage(map >> 8, "the definition of table '" + name + "'", Damage::Table);
  }

  // The pages a table's usage map names, in order. Pages beyond the end of the file and
  // unreadable map pages are damage, or losses when salvaging.
  std::vector<std::uint32_t> ownedPages(const MdbTableDef* t, TableLoss* loss) const {
    const std::string name = t->name;
    const unsigned char* map = t->usage_map;
    const size_t size = t->map_sz;
    std::vector<std::uint32_t> pages;
    size_t beyond = 0;
    std::uint64_t firstBeyond = 0;
    auto bits = [&](const unsigned char* b, size_t n, std::uint64_t base) {
      for (size_t i = 0; i < n * 8; ++i) {
        if (!(b[i / 8] >> (i % 8) & 1)) continue;
        if (base + i < pageCount) pages.push_back(static_cast<std::uint32_t>(base + i));
        else if (beyond++ == 0) firstBeyond = base + i;
      }
    };
    if (!map || size < 5) fail(Damage::Table, "the usage map of table '" + name + "' is cut short");
    if (map[0] == 0) {
      bits(map + 5, size - 5, le32(map + 1));
    } else if (map[0] == 1) {
      const size_t perMapPage = (pageSize - 4) * 8;
      for (size_t k = 0; 1 + 4 * k + 4 <= size; ++k) {
        std::uint32_t mp = le32(map + 1 + 4 * k);
        if (mp == 0) continue;
        try {
          Page p = page(mp, "the usage map of table '" + name + "'", Damage::Page);
          if (p[0] != kUsageMapPage)
            fail(Damage::Page, "page " + std::to_string(mp) + ", named by the usage map of table '" + name +
                                   "', is not a usage map");
          bits(p.data() + 4, pageSize - 4, k * perMapPage);
        } catch (const Damage& x) {
          if (!loss) throw;
          ++loss->pagesLost;
          loss->why.push_back(x.what + " (the pages it lists were not read)");
        }
      }
    } else {
      fail(Damage::Table, "the usage map of table '" + name + "' is of an unknown kind");
    }
    if (beyond > 0) {
      std::string what = "table '" + name + "' names " + std::to_string(beyond) + " page(s) beyond the end of the file, from page " +
                         std::to_string(firstBeyond);
      if (!loss) fail(Damage::Page, what);
      loss->pagesLost += beyond;
      loss->why.push_back(what);
    }
    return pages;
  }

  // loss: null to read whole (any damage is a JetError), else the rows and pages that
  // could not be read are passed over and said there. only: the columns to decode (others
  // read as Null); empty: all.
  Table read(MdbCatalogEntry* e, TableLoss* loss, const std::set<std::string>& only = {}) const {
    try {
      return walk(e, loss, only);
    } catch (const Damage& x) {
      if (!loss) damaged(x.what);
      loss->unreadable = true;
      loss->why.push_back(x.what);
      return Table{e->object_name, {}, {}, {}};
    }
  }

  Table walk(MdbCatalogEntry* e, TableLoss* loss, const std::set<std::string>& only) const {
    checkDefinition(e);
    MdbTableDef* t = mdb_read_table(e);
    if (!t) fail(Damage::Table, "the definition of table '" + std::string(e->object_name) + "' cannot be read");
    struct Free {
      MdbTableDef* t;
      ~Free() { mdb_free_tabledef(t); }
    } freeLater{t};
    if (!mdb_read_columns(t)) fail(Damage::Table, "the columns of table '" + std::string(e->object_name) + "' cannot be read");
    Table table;
    table.name = e->object_name;
    table.statedRows = t->num_rows;
    std::vector<bool> wanted;
    for (unsigned i = 0; i < t->num_cols; ++i) {
      auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
      table.columns.push_back({c->name, static_cast<ColumnType>(c->col_type), c->col_size, c->col_prec, c->col_scale});
      wanted.push_back(only.empty() || only.count(c->name) > 0);
    }
    inRowBuffer = 0;  // libmdb's buffer now holds the definition
    Row row;
    for (std::uint32_t number : ownedPages(t, loss)) {
      try {
        DataPage d = dataPage(number, "the usage map of table '" + table.name + "'", Damage::Page);
        // A page Jet has since given to another table may still be named here; it is not this table's.
        if (le32(&d.bytes[4]) != e->table_pg) continue;
        for (int r = 0; r < d.rows; ++r) {
          try {
            if (readRow(t, table.columns, wanted, d, r, false, 0, row)) table.rows.push_back(row);
          } catch (const Damage& x) {
            if (!loss || x.level != Damage::Row) throw;
            ++loss->rowsLost;
            loss->why.push_back("row " + std::to_string(r) + " of page " + std::to_string(number) + ": " + x.what);
          }
        }
      } catch (const Damage& x) {
        if (!loss || x.level == Damage::Table) throw;
        ++loss->pagesLost;
        loss->why.push_back(x.what);
      }
    }
    return table;
  }
};

Reader::Reader(const fs::path& file, const std::string& jet3Charset, Reading reading) : d_(std::make_unique<Impl>()) {
  d_->file = file;
  std::error_code ec;
  if (const std::string why = store::notAFile(file); !why.empty())
    throw JetError("The Jet database " + quoted(file) + " " + why + ".");
  long pageSize = headerPageSize(file);
  if (pageSize == 0) throw JetError(quoted(file) + " is not a Jet database.");
  auto size = d_->fileSize = fs::file_size(file, ec);
  const auto whole = static_cast<std::uintmax_t>(pageSize);
  // Only the whole pages are read: bytes past the last one are no page, and a page that
  // something names but that is not whole is damage when it is needed.
  if (ec || size < 3 * whole) d_->damaged("it is shorter than three pages");
  d_->mdb = mdb_open(file.c_str(), MDB_NOFLAGS);
  if (!d_->mdb) d_->damaged("its header cannot be read");
  d_->pageSize = static_cast<size_t>(d_->mdb->fmt->pg_size);
  if (d_->pageSize != whole) d_->damaged("its header names two page sizes");
  d_->pageCount = static_cast<std::uint32_t>(std::min<std::uintmax_t>(size / whole, UINT32_MAX));
  d_->rowCountOffset = d_->mdb->fmt->row_count_offset;
  d_->charset = jet3Charset;
  if (d_->charset.empty())
    d_->charset = d_->mdb->f->code_page ? "CP" + std::to_string(d_->mdb->f->code_page) : std::string("CP1252");
  d_->readCatalogue(reading);
}

Reader::~Reader() = default;

const fs::path& Reader::file() const { return d_->file; }

std::vector<std::string> Reader::tableNames() const {
  std::vector<std::string> names;
  for (MdbCatalogEntry& e : d_->entries)
    if (mdb_is_user_table(&e)) names.push_back(e.object_name);
  return names;
}

std::vector<Link> Reader::links() const {
  std::vector<Link> links;
  int type = d_->objectColumn("Type"), name = d_->objectColumn("Name"), db = d_->objectColumn("Database"),
      foreign = d_->objectColumn("ForeignName"), connect = d_->objectColumn("Connect");
  for (const Row& r : d_->objects.rows) {
    auto t = r[static_cast<size_t>(type)].toInt() & 0x7F;
    if (t != MDB_LINKED_TABLE && t != 4) continue;  // 4: a link through ODBC
    links.push_back({d_->objectValue(r, name), d_->objectValue(r, db), d_->objectValue(r, foreign),
                     d_->objectValue(r, connect)});
  }
  return links;
}

Table Reader::readTable(const std::string& name) const {
  MdbCatalogEntry* e = d_->entry(name);
  if (!e) throw JetError("The Jet database " + quoted(d_->file) + " has no table '" + name + "'.");
  return d_->read(e, nullptr);
}

Table Reader::salvageTable(const std::string& name, TableLoss& loss) const {
  MdbCatalogEntry* e = d_->entry(name);
  if (!e) throw JetError("The Jet database " + quoted(d_->file) + " has no table '" + name + "'.");
  loss = TableLoss{e->object_name, 0, 0, {}, false};
  return d_->read(e, &loss);
}

const TableLoss& Reader::catalogueLoss() const { return d_->catalogueLoss; }

Database readDatabase(const fs::path& file, const std::string& jet3Charset) {
  Reader reader(file, jet3Charset);
  Database db{file, {}, reader.links()};
  for (const std::string& name : reader.tableNames()) db.tables.push_back(reader.readTable(name));
  return db;
}

SalvagedDatabase salvageDatabase(const fs::path& file, const std::string& jet3Charset) {
  Reader reader(file, jet3Charset, Reading::Salvage);
  SalvagedDatabase out{{file, {}, reader.links()}, {}};
  if (!reader.catalogueLoss().why.empty()) out.losses.push_back(reader.catalogueLoss());
  for (const std::string& name : reader.tableNames()) {
    TableLoss loss;
    Table t = reader.salvageTable(name, loss);
    if (!loss.unreadable) out.database.tables.push_back(std::move(t));
    if (!loss.why.empty()) out.losses.push_back(std::move(loss));
  }
  return out;
}

bool isJetFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char head[19] = {};
  if (!in.read(head, sizeof head)) return false;
  const std::string magic(head + 4, 15);
  return head[0] == 0 && head[1] == 1 && head[2] == 0 && head[3] == 0 &&
         (magic == "Standard Jet DB" || magic == "Standard ACE DB");
}

}  // namespace jet
