// The only file that includes the mdbtools header. libmdb finds pages, the catalogue,
// column definitions and the fields of a row; the rows of a table are walked here, and
// the values decoded here, because libmdb 1.0 reads deleted rows as live ones (its two
// row flags are swapped), renders dates outside 1900..9999 wrongly, and converts text
// through UCS-2 (characters outside the Basic Multilingual Plane become "?").

// glib and iconv first: mdbtools.h relies on them without including them in every build.
#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>

#include <cstring>
#include <deque>
#include <fstream>
#include <set>

#include "jet_reader.h"
#include "jet_values.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

constexpr int kDeletedRow = 0x8000;   // deleted, or the far half of a moved row
constexpr int kOverflowRow = 0x4000;  // the row moved: its first four bytes point to it
constexpr int kOffsetMask = 0x1fff;
constexpr int kMaxOverflowHops = 4;

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
  // The catalogue, read here from MSysObjects: libmdb's own reader takes deleted objects
  // for live ones, and can loop without end on a damaged property record (properties are
  // not needed here).
  Table objects;
  std::deque<MdbCatalogEntry> entries;

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

  void readCatalogue() {
    MdbCatalogEntry sys{};
    sys.mdb = mdb;
    std::snprintf(sys.object_name, sizeof sys.object_name, "%s", "MSysObjects");
    sys.object_type = MDB_TABLE;
    sys.table_pg = 2;
    sys.flags = static_cast<int>(0x80000002);
    objects = read(&sys, {"Id", "Name", "Type", "Flags", "Database", "ForeignName", "Connect"});
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
  std::string longValue(const MdbField& f) const {
    if (f.siz < MDB_MEMO_OVERHEAD) damaged("a memo field is cut short");
    const auto* p = static_cast<const unsigned char*>(f.value);
    std::uint32_t lenFlags = le32(p);
    size_t total = lenFlags & 0x3fffffff;
    if (lenFlags & 0x80000000) {
      if (total > static_cast<size_t>(f.siz - MDB_MEMO_OVERHEAD)) damaged("a memo field is longer than its row");
      return std::string(reinterpret_cast<const char*>(p + MDB_MEMO_OVERHEAD), total);
    }
    if (total > fileSize) damaged("a memo claims to be longer than the file");
    std::string out;
    out.reserve(total);
    std::uint32_t pgRow = le32(p + 4);
    bool single = lenFlags & 0x40000000;
    std::set<std::uint32_t> visited;
    while (pgRow != 0 && out.size() < total) {
      if (!visited.insert(pgRow).second) damaged("a memo's pages form a loop");
      void* buf = nullptr;
      int off = 0;
      size_t len = 0;
      if (mdb_find_pg_row(mdb, static_cast<int>(pgRow), &buf, &off, &len) != 0)
        damaged("a memo points to a page that is missing");
      const auto* row = static_cast<const unsigned char*>(buf) + off;
      if (single) {
        out.append(reinterpret_cast<const char*>(row), std::min(len, total));
        break;
      }
      if (len < 4) damaged("a memo page is cut short");
      pgRow = le32(row);
      out.append(reinterpret_cast<const char*>(row + 4), len - 4);
    }
    if (out.size() < total) damaged("a memo value is shorter than its stored length");
    out.resize(total);
    return out;
  }

  store::Value decode(const Column& c, const MdbField& f) const {
    if (c.type == ColumnType::Boolean) return store::Value(f.is_null ? 0 : -1);  // stored in the null mask
    if (f.is_null) return {};
    const auto* p = static_cast<const unsigned char*>(f.value);
    auto need = [&](int n) {
      if (f.siz < n) damaged("a value of column '" + c.name + "' is cut short");
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
        std::string raw = longValue(f);
        return store::Value(text(reinterpret_cast<const unsigned char*>(raw.data()), raw.size()));
      }
      case ColumnType::OleObject: return store::Value(longValue(f));
      case ColumnType::Boolean: break;
    }
    return {};
  }

  // Reads row `row` of the page in the page buffer (page number `page`) into out.
  // false: no live row there.
  bool readRow(MdbTableDef* t, const std::vector<Column>& cols, const std::vector<bool>& wanted, guint32 page, int row,
               bool followed, int hops, Row& out) const {
    int start = 0;
    size_t len = 0;
    if (mdb_find_row(mdb, row, &start, &len) != 0) damaged("a row of table '" + std::string(t->name) + "' lies outside its page");
    if (len == 0) return false;
    if ((start & kDeletedRow) && !followed) return false;
    int offset = start & kOffsetMask;
    if (start & kOverflowRow) {
      if (len < 4 || hops >= kMaxOverflowHops) damaged("a moved row of table '" + std::string(t->name) + "' cannot be found");
      std::uint32_t pgRow = le32(mdb->pg_buf + offset);
      if (mdb_read_pg(mdb, pgRow >> 8) != mdb->fmt->pg_size) damaged("a moved row points to a missing page");
      bool found = readRow(t, cols, wanted, pgRow >> 8, static_cast<int>(pgRow & 0xff), true, hops + 1, out);
      if (mdb_read_pg(mdb, page) != mdb->fmt->pg_size) damaged("a page cannot be read again");
      return found;
    }
    std::vector<MdbField> fields(t->num_cols);
    if (mdb_crack_row(t, offset, len, fields.data()) < 0) damaged("a row of table '" + std::string(t->name) + "' cannot be split into its fields");
    out.clear();
    for (size_t i = 0; i < cols.size(); ++i) {
      const MdbField& f = fields[i];
      if (!f.is_null && (f.siz < 0 || f.start < 0 || f.start + f.siz > mdb->fmt->pg_size))
        damaged("a value of table '" + std::string(t->name) + "' lies outside its page");
      out.push_back(wanted[i] ? decode(cols[i], f) : store::Value());
    }
    return true;
  }

  // only: the columns to decode (others read as Null); empty: all.
  Table read(MdbCatalogEntry* e, const std::set<std::string>& only = {}) const {
    MdbTableDef* t = mdb_read_table(e);
    if (!t) damaged("the definition of table '" + std::string(e->object_name) + "' cannot be read");
    struct Free {
      MdbTableDef* t;
      ~Free() { mdb_free_tabledef(t); }
    } freeLater{t};
    if (!mdb_read_columns(t)) damaged("the columns of table '" + std::string(e->object_name) + "' cannot be read");
    Table table;
    table.name = e->object_name;
    std::vector<bool> wanted;
    for (unsigned i = 0; i < t->num_cols; ++i) {
      auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
      table.columns.push_back({c->name, static_cast<ColumnType>(c->col_type), c->col_size, c->col_prec, c->col_scale});
      wanted.push_back(only.empty() || only.count(c->name) > 0);
    }
    mdb_rewind_table(t);
    Row row;
    while (mdb_read_next_dpg(t)) {
      guint32 page = t->cur_phys_pg;
      int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
      for (int r = 0; r < rows; ++r)
        if (readRow(t, table.columns, wanted, page, r, false, 0, row)) table.rows.push_back(row);
    }
    // A page the table owns that could not be read ends the walk early: the file is cut short.
    if (mdb_map_find_next(mdb, t->usage_map, static_cast<unsigned>(t->map_sz), t->cur_phys_pg) > 0)
      damaged("table '" + table.name + "' has pages beyond the end of the file");
    return table;
  }
};

Reader::Reader(const fs::path& file, const std::string& jet3Charset) : d_(std::make_unique<Impl>()) {
  d_->file = file;
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) throw JetError("The Jet database " + quoted(file) + " does not exist.");
  long pageSize = headerPageSize(file);
  if (pageSize == 0) throw JetError(quoted(file) + " is not a Jet database.");
  auto size = d_->fileSize = fs::file_size(file, ec);
  if (ec || size < 3 * static_cast<std::uintmax_t>(pageSize) || size % static_cast<std::uintmax_t>(pageSize) != 0)
    d_->damaged("its length is not a whole number of pages");
  d_->mdb = mdb_open(file.c_str(), MDB_NOFLAGS);
  if (!d_->mdb) d_->damaged("its header cannot be read");
  d_->charset = jet3Charset;
  if (d_->charset.empty())
    d_->charset = d_->mdb->f->code_page ? "CP" + std::to_string(d_->mdb->f->code_page) : std::string("CP1252");
  d_->readCatalogue();
}

Reader::~Reader() = default;

const fs::path& Reader::file() const { return d_->file; }

int Reader::jetVersion() const {
  switch (d_->mdb->f->jet_version) {
    case MDB_VER_JET3: return 3;
    case MDB_VER_JET4: return 4;
    default: return 5;
  }
}

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
  return d_->read(e);
}

Database readDatabase(const fs::path& file, const std::string& jet3Charset) {
  Reader reader(file, jet3Charset);
  Database db{file, {}, reader.links()};
  for (const std::string& name : reader.tableNames()) db.tables.push_back(reader.readTable(name));
  return db;
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
