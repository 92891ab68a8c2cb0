#include "jet/tdef.h"

#include <unordered_set>

#include "jet/text.h"

namespace jet {
namespace {


}  // namespace

const Column* TableDefinition::Find(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : &columns[static_cast<size_t>(i)];
}

int TableDefinition::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < columns.size(); ++i)
    if (EqualsIgnoreCase(columns[i].name, name)) return static_cast<int>(i);
  return -1;
}

Result<std::vector<uint8_t>> ReadTableDefinitionBytes(Pager& pager, uint32_t first_page,
                                                      std::vector<uint32_t>* pages) {
  std::vector<uint8_t> bytes;
  std::unordered_set<uint32_t> seen;
  if (pages) pages->clear();
  for (uint32_t page = first_page; page != 0;) {
    if (!seen.insert(page).second) return Status::Corrupt("the pages of a table definition loop at page " + std::to_string(page));
    Result<std::vector<uint8_t>> data = pager.ReadPage(page);
    if (!data.ok()) return data.status();
    if ((*data)[0] != kPageTableDef)
      return Status::Corrupt("page " + std::to_string(page) + " is not a table definition page");
    if (pages) pages->push_back(page);
    bytes.insert(bytes.end(), data->begin() + (bytes.empty() ? 0 : kTableDefPageHeader), data->end());
    page = LoadU32(data->data() + pager.format().tdef_next_page);
  }
  return bytes;
}

Result<TableDefinition> ParseTableDefinition(Bytes tdef, const Format& f, uint16_t code_page) {
  ByteView v(tdef);
  if (v.U8(0) != kPageTableDef) return Status::Corrupt("not a table definition");
  TableDefinition def;
  def.num_rows = v.U32(f.tdef_num_rows);
  def.table_type = v.U8(f.tdef_table_type);
  def.max_cols = v.U16(f.tdef_max_cols);
  def.num_var_cols = v.U16(f.tdef_num_var_cols);
  def.num_cols = v.U16(f.tdef_num_cols);
  def.num_idx = v.U32(f.tdef_num_idx);
  def.num_real_idx = v.U32(f.tdef_num_real_idx);
  def.used_pages = RowPointer::Decode(v.U32(f.tdef_used_pages));
  def.free_pages = RowPointer::Decode(v.U32(f.tdef_free_pages));
  if (!v.ok()) return Status::Corrupt("table definition too short");
  if (def.num_real_idx > tdef.size() / f.tdef_real_idx_entry)
    return Status::Corrupt("table definition has more indexes than it has room for");

  size_t pos = f.tdef_end_of_block + static_cast<size_t>(def.num_real_idx) * f.tdef_real_idx_entry;
  if (!InBounds(tdef.size(), pos, static_cast<size_t>(def.num_cols) * f.col_entry))
    return Status::Corrupt("table definition ends inside its columns");
  def.columns.resize(def.num_cols);
  for (Column& c : def.columns) {
    c.type = v.U8(pos + f.col_type);
    c.number = v.U16(pos + f.col_number);
    c.var_index = v.U16(pos + f.col_var_index);
    c.misc = v.U16(pos + f.col_misc);
    c.sort_order = f.col_sort_order ? v.U16(pos + *f.col_sort_order) : 0;
    c.flags = v.U8(pos + f.col_flags);
    c.misc_flags = f.col_misc_flags ? v.U8(pos + *f.col_misc_flags) : 0;
    c.fixed_offset = v.U16(pos + f.col_fixed_offset);
    c.length = v.U16(pos + f.col_length);
    if (!v.ok()) return Status::Corrupt("table definition ends inside its columns");
    pos += f.col_entry;
  }
  for (Column& c : def.columns) {
    size_t len = f.col_name_length_size == 1 ? v.U8(pos) : v.U16(pos);
    pos += f.col_name_length_size;
    Bytes name = v.Sub(pos, len);
    if (!v.ok()) return Status::Corrupt("table definition ends inside its column names");
    c.name = DecodeText(name, f, code_page);
    pos += len;
  }
  def.column_names_end = pos;
  return def;
}

Result<TableDefinition> ReadTableDefinition(Pager& pager, uint32_t first_page, uint16_t code_page) {
  std::vector<uint32_t> pages;
  Result<std::vector<uint8_t>> bytes = ReadTableDefinitionBytes(pager, first_page, &pages);
  if (!bytes.ok()) return bytes.status();
  Result<TableDefinition> def = ParseTableDefinition(*bytes, pager.format(), code_page);
  if (!def.ok()) return def.status();
  def->pages = std::move(pages);
  return def;
}

Result<uint32_t> ReadRowCount(Pager& pager, uint32_t first_page) {
  Result<std::vector<uint8_t>> data = pager.ReadPage(first_page);
  if (!data.ok()) return data.status();
  if ((*data)[0] != kPageTableDef)
    return Status::Corrupt("page " + std::to_string(first_page) + " is not a table definition page");
  return LoadU32(data->data() + pager.format().tdef_num_rows);
}

}  // namespace jet
