#include "jet/catalog.h"

#include <algorithm>
#include <cstring>

#include "jet/long_value.h"
#include "jet/row.h"
#include "jet/table_scan.h"
#include "jet/text.h"

namespace jet {
namespace {

constexpr uint32_t kReservedObjects = 1u << 16;

// Where the catalog's columns are in its definition; -1 when absent.
struct CatalogColumns {
  int id, parent_id, name, type, flags, database, connect, foreign_name, date_create, date_update, lv;

  explicit CatalogColumns(const TableDefinition& d)
      : id(d.IndexOf("Id")),
        parent_id(d.IndexOf("ParentId")),
        name(d.IndexOf("Name")),
        type(d.IndexOf("Type")),
        flags(d.IndexOf("Flags")),
        database(d.IndexOf("Database")),
        connect(d.IndexOf("Connect")),
        foreign_name(d.IndexOf("ForeignName")),
        date_create(d.IndexOf("DateCreate")),
        date_update(d.IndexOf("DateUpdate")),
        lv(d.IndexOf("Lv")) {}
};

bool IsNull(const CrackedRow& r, int col) { return col < 0 || r.fields[static_cast<size_t>(col)].null; }

// A fixed integer column, sign-extended from its stored width.
int64_t Integer(Bytes row, const CrackedRow& r, int col) {
  if (IsNull(r, col)) return 0;
  Bytes b = r.Value(row, static_cast<size_t>(col));
  switch (b.size()) {
    case 1: return b[0];
    case 2: return static_cast<int16_t>(LoadU16(b.data()));
    case 4: return static_cast<int32_t>(LoadU32(b.data()));
    default: return 0;
  }
}

std::optional<double> Double(Bytes row, const CrackedRow& r, int col) {
  if (IsNull(r, col)) return std::nullopt;
  Bytes b = r.Value(row, static_cast<size_t>(col));
  if (b.size() != 8) return std::nullopt;
  uint64_t bits = LoadU64(b.data());
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace

const CatalogObject* Catalog::FindTable(std::string_view name) const {
  for (const CatalogObject& o : objects)
    if (o.table() && EqualsIgnoreCase(o.name, name)) return &o;
  return nullptr;
}

namespace {

// What decoding a row needs besides the row: the places of the catalog's
// columns, found once in its definition, and storage that a scan reuses
// from row to row.
struct RowDecoder {
  const TableDefinition& def;
  CatalogColumns c;
  uint16_t code_page;
  CrackedRow cracked;
  std::vector<uint8_t> long_value;

  RowDecoder(const TableDefinition& d, uint16_t cp) : def(d), c(d), code_page(cp) {}
};

Result<CatalogObject> DecodeRow(Pager& pager, RowDecoder& d, Bytes row) {
  const TableDefinition& def = d.def;
  const CatalogColumns& c = d.c;
  const uint16_t code_page = d.code_page;
  CrackedRow& r = d.cracked;
  const Format& f = pager.format();
  JET_RETURN_IF_ERROR(CrackRow(row, def, f, r));

  auto text = [&](int col) -> std::optional<std::string> {
    if (IsNull(r, col)) return std::nullopt;
    return DecodeText(r.Value(row, static_cast<size_t>(col)), f, code_page);
  };
  auto memo = [&](int col) -> Result<std::optional<std::string>> {
    if (IsNull(r, col)) return std::optional<std::string>();
    JET_RETURN_IF_ERROR(ReadLongValue(pager, r.Value(row, static_cast<size_t>(col)), d.long_value));
    return std::optional<std::string>(DecodeText(d.long_value, f, code_page));
  };

  CatalogObject o;
  o.id = static_cast<int32_t>(Integer(row, r, c.id));
  o.parent_id = static_cast<int32_t>(Integer(row, r, c.parent_id));
  if (!IsNull(r, c.name)) o.name = DecodeText(r.Value(row, static_cast<size_t>(c.name)), f, code_page);
  o.type = static_cast<int>(Integer(row, r, c.type));
  o.flags = static_cast<uint32_t>(Integer(row, r, c.flags));
  o.foreign_name = text(c.foreign_name);
  o.date_create = Double(row, r, c.date_create);
  o.date_update = Double(row, r, c.date_update);
  o.lv_null = IsNull(r, c.lv);
  Result<std::optional<std::string>> database = memo(c.database);
  if (!database.ok()) return database.status();
  o.database = std::move(*database);
  Result<std::optional<std::string>> connect = memo(c.connect);
  if (!connect.ok()) return connect.status();
  o.connect = std::move(*connect);
  return o;
}

}  // namespace

Result<Catalog> ReadCatalog(Pager& pager, uint16_t code_page) {
  Catalog catalog;
  Result<TableDefinition> def = ReadTableDefinition(pager, kCatalogPage, code_page);
  if (!def.ok()) return def.status();
  catalog.def = std::move(*def);
  RowDecoder decoder(catalog.def, code_page);
  const CatalogColumns& c = decoder.c;
  if (c.id < 0 || c.name < 0 || c.type < 0 || c.flags < 0) return Status::Corrupt("the catalog lacks its key columns");

  // The long values of all rows together cannot exceed what the file holds
  // (UTF-8 may take three bytes for each stored one); a hostile catalog whose
  // rows all point at one long chain would otherwise be read again and again.
  uint64_t text_budget = 3ull * pager.page_count() * pager.page_size();
  // The definition's row count saves the vector's regrowth (copies, and
  // fresh pages the kernel must fault in); it is only a hint, and a hostile
  // one can claim no more than a modest reservation.
  catalog.objects.reserve(std::min<uint32_t>(catalog.def.num_rows, kReservedObjects));
  JET_RETURN_IF_ERROR(ScanTable(pager, catalog.def, [&](TableRow& row) -> Status {
    Result<CatalogObject> o = DecodeRow(pager, decoder, row.bytes);
    if (!o.ok()) return o.status();
    const uint64_t text = (o->database ? o->database->size() : 0) + (o->connect ? o->connect->size() : 0);
    if (text > text_budget) return Status::Corrupt("the catalog's long values add up to more than the file holds");
    text_budget -= text;
    o->location = row.slot;
    o->moved = row.moved;
    catalog.objects.push_back(std::move(*o));
    return Status::Ok();
  }));
  return catalog;
}

}  // namespace jet
