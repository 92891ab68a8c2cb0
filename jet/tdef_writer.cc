#include "jet/tdef_writer.h"

#include <algorithm>

#include "jet/data_page.h"
#include "jet/text.h"

namespace jet {
namespace {

// Every field the writer stores lies inside its entry, in every version.
constexpr bool FieldsFitTheirEntries(const Format& f) {
  auto within = [](std::optional<size_t> at, size_t width, size_t entry) { return !at || *at + width <= entry; };
  return within(f.tdef_free_pages, 4, f.tdef_end_of_block) && within(kRealIndexRows, 4, f.tdef_real_idx_entry) &&
         within(f.col_length, 2, f.col_entry) && within(f.col_misc_flags, 1, f.col_entry) &&
         within(f.col_flags, 1, f.col_entry) && within(f.col_unknown, 2, f.col_entry) &&
         within(f.col_sort_order, 2, f.col_entry) && within(f.col_tag, 4, f.col_entry) &&
         within(f.idx_columns, 3 * kIndexColumnSlots, f.tdef_index_columns_entry) &&
         within(f.idx_first_page, 4, f.tdef_index_columns_entry) && within(f.idx_flags, 1, f.tdef_index_columns_entry) &&
         within(f.lidx_foreign_index, 4, f.tdef_logical_index_entry) && within(f.lidx_type, 1, f.tdef_logical_index_entry);
}
static_assert(std::all_of(std::begin(kFormats), std::end(kFormats), FieldsFitTheirEntries));

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) { StoreU16(out.data() + at, v); }
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) { StoreU32(out.data() + at, v); }

// Appends an entry of `length` zero bytes and returns where it starts.
size_t AddEntry(std::vector<uint8_t>& out, size_t length) {
  const size_t at = out.size();
  out.resize(at + length, 0);
  return at;
}

Status PutName(std::vector<uint8_t>& out, const std::string& name, const Format& f, uint16_t code_page) {
  Result<std::vector<uint8_t>> encoded = EncodeText(name, f, code_page, false);
  const size_t longest = f.col_name_length_size == 1 ? 0xff : 0xffff;
  if (!encoded.ok() || encoded->size() > longest) return Status::InvalidArgument("name cannot be stored: " + name);
  const size_t at = AddEntry(out, f.col_name_length_size);
  if (f.col_name_length_size == 1) out[at] = static_cast<uint8_t>(encoded->size());
  else Put16(out, at, static_cast<uint16_t>(encoded->size()));
  out.insert(out.end(), encoded->begin(), encoded->end());
  return Status::Ok();
}

void PutBlock(std::vector<uint8_t>& out, const NewTableDefinition& def, const Format& f) {
  std::copy(f.tdef_id.begin(), f.tdef_id.end(), out.begin() + kPageFreeSpace);
  if (f.tdef_tag) Put32(out, *f.tdef_tag, *f.definition_tag);
  if (f.tdef_autonumber_flag) out[*f.tdef_autonumber_flag] = *f.tdef_autonumber_on;
  Put32(out, f.tdef_num_rows, def.num_rows);
  Put32(out, f.tdef_autonumber, def.next_autonumber);
  out[f.tdef_table_type] = def.table_type;
  Put16(out, f.tdef_max_cols, def.max_cols);
  Put16(out, f.tdef_num_var_cols, def.num_var_cols);
  Put16(out, f.tdef_num_cols, static_cast<uint16_t>(def.columns.size()));
  Put32(out, f.tdef_num_idx, static_cast<uint32_t>(def.indexes.size()));
  Put32(out, f.tdef_num_real_idx, static_cast<uint32_t>(def.indexes.size()));
  Put32(out, f.tdef_used_pages, def.used_pages.Encode());
  Put32(out, f.tdef_free_pages, def.free_pages.Encode());
}

void PutColumn(std::vector<uint8_t>& out, const Column& c, const Format& f) {
  const size_t at = AddEntry(out, f.col_entry);
  out[at + f.col_type] = c.type;
  if (f.col_tag) Put32(out, at + *f.col_tag, *f.definition_tag);
  Put16(out, at + f.col_number, c.number);
  Put16(out, at + f.col_var_index, c.var_index);
  Put16(out, at + f.col_number_again, c.number);
  if (f.col_unknown) Put16(out, at + *f.col_unknown, *f.col_unknown_word);
  if (f.col_sort_order) Put16(out, at + *f.col_sort_order, c.sort_order);
  Put16(out, at + f.col_misc, c.misc);
  out[at + f.col_flags] = c.flags;
  if (f.col_misc_flags) out[at + *f.col_misc_flags] = c.misc_flags;
  Put16(out, at + f.col_fixed_offset, c.fixed_offset);
  Put16(out, at + f.col_length, c.length);
}

void PutPhysicalIndex(std::vector<uint8_t>& out, const IndexDefinition& ix, const Format& f) {
  const size_t at = AddEntry(out, f.tdef_index_columns_entry);
  if (f.idx_tag) Put32(out, at + *f.idx_tag, *f.index_columns_tag);
  for (size_t k = 0; k < kIndexColumnSlots; ++k) {
    const size_t slot = at + f.idx_columns + 3 * k;
    const bool used = k < ix.columns.size();
    Put16(out, slot, used ? ix.columns[k] : kNoIndexColumn);
    out[slot + 2] = used ? f.idx_column_ascending : 0;
  }
  Put32(out, at + f.idx_used_pages, ix.used_pages.Encode());
  Put32(out, at + f.idx_first_page, ix.first_page);
  out[at + f.idx_flags] = static_cast<uint8_t>(f.idx_flags_always | ix.flags);
}

void PutLogicalIndex(std::vector<uint8_t>& out, const IndexDefinition& ix, const Format& f) {
  const size_t at = AddEntry(out, f.tdef_logical_index_entry);
  if (f.lidx_tag) Put32(out, at + *f.lidx_tag, *f.definition_tag);
  Put32(out, at + f.lidx_number, ix.number);
  Put32(out, at + f.lidx_columns_entry, ix.number);
  Put32(out, at + f.lidx_foreign_index, 0xffffffff);  // not a foreign key
  out[at + f.lidx_cascade_updates] = ix.cascade_updates;
  out[at + f.lidx_cascade_deletes] = ix.cascade_deletes;
  out[at + f.lidx_type] = ix.primary ? f.lidx_type_primary : 0;
}

}  // namespace

Result<std::vector<uint8_t>> EncodeTableDefinition(const NewTableDefinition& def, const Format& f) {
  // Physical entries go in slot order, one per index.
  std::vector<const IndexDefinition*> physical;
  for (const IndexDefinition& ix : def.indexes) {
    if (ix.columns.empty() || ix.columns.size() > kIndexColumnSlots)
      return Status::InvalidArgument("an index holds 1 to 10 columns: " + ix.name);
    physical.push_back(&ix);
  }
  std::sort(physical.begin(), physical.end(),
            [](const IndexDefinition* a, const IndexDefinition* b) { return a->number < b->number; });
  for (size_t i = 0; i < physical.size(); ++i)
    if (physical[i]->number != i) return Status::InvalidArgument("index numbers must run from 0");

  std::vector<uint8_t> out = BlankPage(static_cast<uint32_t>(f.tdef_end_of_block), kPageTableDef);
  PutBlock(out, def, f);
  for (const IndexDefinition* ix : physical) {
    const size_t at = AddEntry(out, f.tdef_real_idx_entry);
    Put32(out, at + kRealIndexRows, ix->rows);
  }
  for (const Column& c : def.columns) PutColumn(out, c, f);
  for (const Column& c : def.columns) JET_RETURN_IF_ERROR(PutName(out, c.name, f, def.code_page));
  for (const IndexDefinition* ix : physical) PutPhysicalIndex(out, *ix, f);
  for (const IndexDefinition& ix : def.indexes) PutLogicalIndex(out, ix, f);
  for (const IndexDefinition& ix : def.indexes) JET_RETURN_IF_ERROR(PutName(out, ix.name, f, def.code_page));
  for (const LongValueMaps& m : def.long_value_maps) {
    const size_t at = AddEntry(out, kLongValueMapEntry);
    Put16(out, at, m.column_number);
    Put32(out, at + 2, m.used.Encode());
    Put32(out, at + 6, m.free.Encode());
  }
  const size_t end = AddEntry(out, 2);
  Put16(out, end, kNoMoreLongValueMaps);
  Put32(out, f.tdef_length, static_cast<uint32_t>(out.size()));
  return out;
}

uint32_t TableDefinitionPageCount(const Format& f, size_t length) {
  if (length <= f.page_size) return 1;
  const size_t rest = length - f.page_size;
  const size_t per_page = f.page_size - kTableDefPageHeader;
  return static_cast<uint32_t>(1 + (rest + per_page - 1) / per_page);
}

std::vector<std::vector<uint8_t>> TableDefinitionPages(const Format& f, Bytes definition,
                                                       std::span<const uint32_t> pages) {
  std::vector<std::vector<uint8_t>> out;
  size_t at = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::vector<uint8_t> page(f.page_size, 0);
    const size_t header = i == 0 ? 0 : kTableDefPageHeader;
    if (i > 0) std::copy(definition.begin(), definition.begin() + kTableDefPageHeader, page.begin());
    const size_t take = std::min(definition.size() - at, f.page_size - header);
    std::copy(definition.begin() + static_cast<ptrdiff_t>(at), definition.begin() + static_cast<ptrdiff_t>(at + take),
              page.begin() + static_cast<ptrdiff_t>(header));
    at += take;
    Put32(page, f.tdef_next_page, i + 1 < pages.size() ? pages[i + 1] : 0);
    // The field counts 8 bytes less than the page leaves free.
    const size_t free = f.page_size - header - take;
    if (f.tdef_free_space) Put16(page, *f.tdef_free_space, static_cast<uint16_t>(free >= 8 ? free - 8 : 0));
    out.push_back(std::move(page));
  }
  return out;
}

}  // namespace jet
