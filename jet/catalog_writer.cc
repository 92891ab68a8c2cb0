#include "jet/catalog_writer.h"

#include <cstring>
#include <map>
#include <memory>

#include "jet/long_value.h"
#include "jet/long_value_writer.h"
#include "jet/row.h"
#include "jet/row_writer.h"
#include "jet/table_scan.h"
#include "jet/table_writer.h"
#include "jet/text.h"

namespace jet {
namespace {

struct Columns {
  int database, connect, date_update, lv;
  explicit Columns(const TableDefinition& d)
      : database(d.IndexOf("Database")),
        connect(d.IndexOf("Connect")),
        date_update(d.IndexOf("DateUpdate")),
        lv(d.IndexOf("Lv")) {}
  bool complete() const { return database >= 0 && connect >= 0 && date_update >= 0 && lv >= 0; }
};

std::vector<uint8_t> DoubleBytes(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  std::vector<uint8_t> out(8);
  StoreU64(out.data(), bits);
  return out;
}

size_t CharacterCount(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

// The long value writers of the catalog's columns, made as they are needed.
class LongValues {
 public:
  LongValues(PageTransaction& tx, const TableDefinition& def, std::vector<LongValueMaps> maps)
      : tx_(tx), def_(def), maps_(std::move(maps)) {}

  Result<LongValueWriter*> For(int column) {
    auto it = writers_.find(column);
    if (it != writers_.end()) return it->second.get();
    const uint16_t number = def_.columns[static_cast<size_t>(column)].number;
    for (const LongValueMaps& m : maps_)
      if (m.column_number == number)
        return writers_.emplace(column, std::make_unique<LongValueWriter>(tx_, m)).first->second.get();
    return Status::Corrupt("the catalog's definition lists no pages for column " + def_.columns[static_cast<size_t>(column)].name);
  }

  // The value's field, stored as short values are, or out of row (always,
  // with out_of_row).
  Result<std::vector<uint8_t>> Write(int column, Bytes value, bool out_of_row = false) {
    if (value.size() <= kMaxInlineLongValue && !out_of_row) return InlineLongValue(value);
    auto w = For(column);
    if (!w.ok()) return w.status();
    return (*w)->Write(value, out_of_row);
  }

  Status Free(int column, Bytes field) {
    auto ref = ParseLongValueField(field);
    if (!ref.ok()) return ref.status();
    if (ref->kind == LongValueKind::kInline) return Status::Ok();
    auto w = For(column);
    if (!w.ok()) return w.status();
    return (*w)->Free(field);
  }

 private:
  PageTransaction& tx_;
  const TableDefinition& def_;
  std::vector<LongValueMaps> maps_;
  std::map<int, std::unique_ptr<LongValueWriter>> writers_;
};

}  // namespace

Result<std::vector<CatalogObject>> WriteLinks(PageTransaction& tx, const Catalog& catalog, uint16_t code_page,
                                              std::span<const StoredLink> links) {
  Pager& pager = tx.pager();
  const Format& f = pager.format();
  const TableDefinition& def = catalog.def;
  const Columns c(def);
  if (!c.complete()) return Status::Corrupt("the catalog lacks the columns of a link");
  auto tdef = ReadTableDefinitionBytes(pager, kCatalogPage, nullptr);
  if (!tdef.ok()) return tdef.status();
  auto maps = ParseLongValueMaps(*tdef, def, f);
  if (!maps.ok()) return maps.status();
  LongValues long_values(tx, def, std::move(*maps));
  RowSpace rows(tx, kCatalogPage, def.used_pages, def.free_pages);

  // The fields of the link under way whose values are stored out of row
  // already: a second encoding of the row takes them as they are.
  std::map<int, std::vector<uint8_t>> stored_out_of_row;
  auto encode = [&](int column, const std::string& text, bool out_of_row) -> Result<std::vector<uint8_t>> {
    if (auto it = stored_out_of_row.find(column); it != stored_out_of_row.end()) return it->second;
    const Column& col = def.columns[static_cast<size_t>(column)];
    auto bytes = EncodeText(text, f, code_page, col.compressed_unicode(f) && CharacterCount(text) <= kMaxCompressedMemo);
    if (!bytes.ok()) return bytes.status();
    auto field = long_values.Write(column, *bytes, out_of_row);
    if (field.ok() && (out_of_row || bytes->size() > kMaxInlineLongValue)) stored_out_of_row[column] = *field;
    return field;
  };

  std::vector<CatalogObject> stored;
  // The old values' rows outside the row, freed once no row points at them.
  std::vector<std::pair<int, std::vector<uint8_t>>> old_values;
  for (const StoredLink& link : links) {
    stored_out_of_row.clear();
    const CatalogObject* object = catalog.FindTable(link.name);
    if (!object || object->type != kObjectLink) return Status::NotFound("no link named " + link.name);
    std::optional<RowPointer> moved;
    auto row = ReadRowAt(pager, object->location, &moved);
    if (!row.ok()) return row.status();
    auto cracked = CrackRow(*row, def, f);
    if (!cracked.ok()) return cracked.status();

    for (int column : {c.database, c.connect, c.lv}) {
      if (cracked->fields[static_cast<size_t>(column)].null) continue;
      const Bytes value = cracked->Value(*row, static_cast<size_t>(column));
      old_values.emplace_back(column, std::vector<uint8_t>(value.begin(), value.end()));
    }
    // The row as rewritten, the link's texts kept in it where they fit
    // (out_of_row: never): their long values are written into tx already.
    auto rewrite = [&](bool out_of_row) -> Result<std::vector<uint8_t>> {
      std::vector<ColumnValue> values;
      auto database = encode(c.database, link.database, out_of_row);
      if (!database.ok()) return database.status();
      values.push_back(ColumnValue{static_cast<size_t>(c.database), false, false, std::move(*database)});
      if (link.connect) {
        auto connect = encode(c.connect, *link.connect, out_of_row);
        if (!connect.ok()) return connect.status();
        values.push_back(ColumnValue{static_cast<size_t>(c.connect), false, false, std::move(*connect)});
      } else {
        values.push_back(ColumnValue{static_cast<size_t>(c.connect), true, false, {}});
      }
      values.push_back(ColumnValue{static_cast<size_t>(c.date_update), false, false, DoubleBytes(link.date_update)});
      // The cached definition in Lv: a link the desktop program wrote keeps in
      // it a copy of the back-end table's definition, in a form that is not
      // documented and that names the old back-end again. The desktop engine
      // rebuilds it from the new back-end on a relink; we cannot, and a cache
      // that describes the old back-end must not outlive the relink. So Lv
      // becomes null (its rows are freed below): the state of a link that
      // other tools create, which the desktop program accepts, filling the
      // cache again itself. LvProp (the user's properties), LvExtra and every
      // other column stay as they are.
      values.push_back(ColumnValue{static_cast<size_t>(c.lv), true, false, {}});
      return RewriteRow(*row, def, f, values);
    };
    auto new_row = rewrite(false);
    if (!new_row.ok()) return new_row.status();
    // A row that no longer fits its page would move to another, and readers
    // that know nothing of the journal would see it on both pages, or on
    // neither, between the two page writes: they pass by a slot that points
    // elsewhere and read the moved bytes where they lie, whatever their
    // flags. With its texts out of row (long values first, a step of their
    // own, nothing pointing at them yet) it usually stays: one page write
    // turns it from old to new.
    auto in_place = RepackedInPlace(tx, moved.value_or(object->location), *new_row);
    if (!in_place.ok()) return in_place.status();
    // (Where the catalog lists no long value pages for a column, the row moves.)
    const bool can_go_out_of_row = long_values.For(c.database).ok() && (!link.connect || long_values.For(c.connect).ok());
    if (!*in_place && can_go_out_of_row) {
      new_row = rewrite(true);
      if (!new_row.ok()) return new_row.status();
    }
    // The new values' long values reach the file before the row that points
    // at them; the row then turns to its new values on one page.
    tx.EndStep(PageTransaction::Step::kAdds);
    JET_RETURN_IF_ERROR(ReplaceRow(tx, rows, object->location, moved, *new_row));

    CatalogObject now = *object;
    now.database = link.database;
    now.connect = link.connect;
    now.date_update = link.date_update;
    now.lv_null = true;
    stored.push_back(std::move(now));
  }
  for (const auto& [column, value] : old_values) JET_RETURN_IF_ERROR(long_values.Free(column, value));
  tx.EndStep(PageTransaction::Step::kReleases);
  return stored;
}

}  // namespace jet
