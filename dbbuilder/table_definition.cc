#include "dbbuilder/table_definition.h"

#include <algorithm>

#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/text.h"

namespace dbbuilder {

namespace {

// Constants every definition written by the desktop engine carries in fields
// whose meaning is unknown; readers ignore them, the engine may not.
constexpr uint32_t kJet4DefinitionTag = 0x0659;
constexpr uint32_t kJet4IndexTag = 0x0783;
using jet::kGeneralSortOrder;

uint16_t StoredLength(const Layout& layout, const Column& c) {
  switch (c.type) {
    case ColumnType::kText: {
      int chars = c.length > 0 ? c.length : 255;
      return static_cast<uint16_t>(layout.text_encoding == jet::TextEncoding::kUcs2 ? 2 * chars : chars);
    }
    case ColumnType::kBinary:
      return static_cast<uint16_t>(c.length > 0 ? c.length : 255);
    case ColumnType::kMemo:
    case ColumnType::kOle:
      return 0;
    case ColumnType::kBoolean:
      return 1;
    default:
      return static_cast<uint16_t>(FixedSize(c.type));
  }
}

bool IsText(ColumnType t) { return t == ColumnType::kText || t == ColumnType::kMemo; }

// The order in which a definition lists its columns: the desktop engine lists
// the columns of its own Jet4 system tables by name.
std::vector<const ColumnPlan*> ListingOrder(const Layout& layout, const TablePlan& plan) {
  std::vector<const ColumnPlan*> order;
  for (const auto& c : plan.columns) order.push_back(&c);
  if (plan.system && layout.family != jet::Family::kJet3)
    std::stable_sort(order.begin(), order.end(),
                     [](const ColumnPlan* a, const ColumnPlan* b) { return a->column.name < b->column.name; });
  return order;
}

jet::Status PutName(const Layout& layout, int code_page, const std::string& name, ByteWriter& out) {
  auto encoded = jet::EncodeText(name, layout, static_cast<uint16_t>(code_page), false);
  if (!encoded.ok() || encoded->size() > (layout.col_name_length_size == 1 ? 255u : 0xFFFFu))
    return jet::Status::InvalidArgument("name cannot be stored: " + name);
  if (layout.col_name_length_size == 1) out.U8(static_cast<uint8_t>(encoded->size()));
  else out.U16(static_cast<uint16_t>(encoded->size()));
  out.Append(encoded.value());
  return jet::Status::Ok();
}

}  // namespace

jet::Result<TablePlan> PlanTable(const Layout& layout, const std::vector<Column>& columns, bool system,
                                 const std::vector<uint8_t>& extra_flags) {
  if (columns.empty() || columns.size() > 255) return jet::Status::InvalidArgument("a table needs 1 to 255 columns");
  TablePlan plan;
  plan.system = system;
  uint16_t variables = 0;
  size_t fixed = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    const Column& c = columns[i];
    if (c.name.empty()) return jet::Status::InvalidArgument("a column needs a name");
    if (c.type == ColumnType::kText && c.length > 255)
      return jet::Status::InvalidArgument("text column " + c.name + " is longer than 255 characters");
    if (c.auto_number && c.type != ColumnType::kLong)
      return jet::Status::InvalidArgument("only a long integer column counts itself: " + c.name);
    ColumnPlan p;
    p.column = c;
    p.number = static_cast<uint16_t>(i);
    p.variable = IsVariable(c.type);
    p.stored_length = StoredLength(layout, c);
    p.flags = kColumnNullable;
    if (!p.variable) p.flags |= kColumnFixed;
    if (c.auto_number) p.flags |= kColumnAutoLong;
    if (system) p.flags |= kColumnSystem;
    if (i < extra_flags.size()) p.flags |= extra_flags[i];
    if (p.variable) {
      p.var_index = variables++;
    } else {
      p.var_index = variables;
      p.fixed_offset = static_cast<uint16_t>(fixed);
      fixed += FixedSize(c.type);
    }
    plan.columns.push_back(std::move(p));
  }
  plan.fixed_bytes = fixed;
  plan.variable_count = variables;
  return plan;
}

jet::Result<ByteVector> EncodeTableDefinition(const Layout& layout, const TableDefinition& def) {
  const TablePlan& plan = *def.plan;
  const bool jet3 = layout.family == jet::Family::kJet3;
  // The fixed block; the free-space field (Jet4) and next-page field of the
  // page header are set per page, the total length at the end.
  ByteWriter out(jet::BlankPage(static_cast<uint32_t>(layout.tdef_end_of_block), jet::kPageTableDef));
  ByteVector& block = out.bytes();
  if (jet3) {
    // Where Jet4 counts a page's free space, Jet3 keeps two letters.
    block[jet::kPageFreeSpace] = 'V';
    block[jet::kPageFreeSpace + 1] = 'C';
  } else {
    Put32(block, *layout.tdef_tag, kJet4DefinitionTag);
    block[*layout.tdef_autonumber_flag] = 0x01;  // lets the desktop program count autonumbers
  }
  Put32(block, layout.tdef_num_rows, def.rows);
  Put32(block, layout.tdef_autonumber, def.next_autonumber);
  block[layout.tdef_table_type] = plan.system ? jet::kTableSystem : jet::kTableUser;
  Put16(block, layout.tdef_max_cols, static_cast<uint16_t>(plan.columns.size()));  // columns ever in a row
  Put16(block, layout.tdef_num_var_cols, plan.variable_count);
  Put16(block, layout.tdef_num_cols, static_cast<uint16_t>(plan.columns.size()));
  Put32(block, layout.tdef_num_idx, static_cast<uint32_t>(def.indexes.size()));
  Put32(block, layout.tdef_num_real_idx, static_cast<uint32_t>(def.indexes.size()));
  Put32(block, layout.tdef_used_pages, def.used_map);
  Put32(block, layout.tdef_free_pages, def.free_map);

  // Physical indexes in slot order.
  std::vector<const IndexDefinition*> physical;
  for (const auto& ix : def.indexes) physical.push_back(&ix);
  std::sort(physical.begin(), physical.end(),
            [](const IndexDefinition* a, const IndexDefinition* b) { return a->number < b->number; });
  for (size_t i = 0; i < physical.size(); ++i)
    if (physical[i]->number != i) return jet::Status::InvalidArgument("index numbers must run from 0");

  // The entries below are written field by field; each must come out as long
  // as the engine steps over it when it reads a definition.
  auto entry_from = [&](size_t start, size_t expected) {
    return out.size() - start == expected ? jet::Status::Ok()
                                          : jet::Status::InvalidArgument("a table definition entry has the wrong length");
  };
  for (const auto* ix : physical) {
    const size_t start = out.size();
    out.U32(0);
    out.U32(ix->rows);
    if (!jet3) out.U32(0);
    JET_RETURN_IF_ERROR(entry_from(start, layout.tdef_real_idx_entry));
  }

  const auto listing = ListingOrder(layout, plan);
  for (const ColumnPlan* c : listing) {
    const ColumnType type = c->column.type;
    ByteVector entry(layout.col_entry, 0);
    entry[layout.col_type] = static_cast<uint8_t>(type);
    Put16(entry, layout.col_number, c->number);
    Put16(entry, layout.col_var_index, c->var_index);
    Put16(entry, layout.col_number_again, c->number);
    entry[layout.col_flags] = c->flags;
    Put16(entry, layout.col_fixed_offset, c->variable ? 0 : c->fixed_offset);
    Put16(entry, layout.col_length, c->stored_length);
    if (jet3) {
      Put16(entry, *layout.col_unknown, 0x0001);
      Put16(entry, *layout.col_sort_order, kGeneralSortOrder);
      Put16(entry, layout.col_misc, static_cast<uint16_t>(def.code_page));
    } else {
      Put32(entry, *layout.col_tag, kJet4DefinitionTag);
      Put16(entry, layout.col_misc, plan.system || IsText(type) ? kGeneralSortOrder : 0);
      entry[*layout.col_misc_flags] =
          !plan.system && IsText(type) && c->column.compressed ? jet::kColumnCompressedUnicode : 0;
    }
    out.Append(entry);
  }
  for (const ColumnPlan* c : listing) JET_RETURN_IF_ERROR(PutName(layout, def.code_page, c->column.name, out));

  for (const auto* ix : physical) {
    if (ix->columns.empty() || ix->columns.size() > 10)
      return jet::Status::InvalidArgument("an index holds 1 to 10 columns: " + ix->name);
    const size_t start = out.size();
    if (!jet3) out.U32(kJet4IndexTag);
    for (size_t k = 0; k < 10; ++k) {
      if (k < ix->columns.size()) {
        out.U16(ix->columns[k]);
        out.U8(0x01);  // ascending
      } else {
        out.U16(0xFFFF);
        out.U8(0);
      }
    }
    out.U32(ix->used_map);
    out.U32(ix->first_page);
    if (jet3) {
      out.U8(ix->flags);
    } else {
      out.U32(0);
      out.U8(static_cast<uint8_t>(0x80 | ix->flags));
      out.Fill(5, 0);
    }
    JET_RETURN_IF_ERROR(entry_from(start, layout.tdef_index_columns_entry));
  }
  for (const auto& ix : def.indexes) {
    const size_t start = out.size();
    if (!jet3) out.U32(kJet4DefinitionTag);
    out.U32(ix.number);
    out.U32(ix.number);
    out.U8(0);            // no foreign key
    out.U32(0xFFFFFFFF);
    out.U32(0);
    out.U8(plan.system ? 0x04 : 0);
    out.U8(plan.system ? 0x04 : 0);
    out.U8(ix.primary ? 0x01 : 0);
    if (!jet3) out.U32(0);
    JET_RETURN_IF_ERROR(entry_from(start, layout.tdef_logical_index_entry));
  }
  for (const auto& ix : def.indexes) JET_RETURN_IF_ERROR(PutName(layout, def.code_page, ix.name, out));

  // Usage maps of the long-value pages, in listing order.
  for (const ColumnPlan* c : listing) {
    if (!IsLongValue(c->column.type)) continue;
    auto it = std::find_if(def.long_value_maps.begin(), def.long_value_maps.end(),
                           [&](const TableDefinition::LongValueMaps& m) { return m.column == c->number; });
    const size_t start = out.size();
    out.U16(c->number);
    out.U32(it == def.long_value_maps.end() ? 0 : it->used_map);
    out.U32(it == def.long_value_maps.end() ? 0 : it->free_map);
    JET_RETURN_IF_ERROR(entry_from(start, jet::kLongValueMapEntry));
  }
  out.U16(jet::kNoMoreLongValueMaps);

  ByteVector bytes = out.Take();
  Put32(bytes, layout.tdef_length, static_cast<uint32_t>(bytes.size()));
  return bytes;
}

uint32_t TableDefinitionPageCount(const Layout& layout, size_t length) {
  if (length <= layout.page_size) return 1;
  size_t rest = length - layout.page_size;
  size_t per_page = layout.page_size - jet::kTableDefPageHeader;
  return static_cast<uint32_t>(1 + (rest + per_page - 1) / per_page);
}

std::vector<ByteVector> TableDefinitionPages(const Layout& layout, const ByteVector& definition,
                                        const std::vector<uint32_t>& page_numbers) {
  std::vector<ByteVector> pages;
  size_t at = 0;
  for (size_t i = 0; i < page_numbers.size(); ++i) {
    ByteVector page(layout.page_size, 0);
    size_t header = i == 0 ? 0 : jet::kTableDefPageHeader;
    if (i > 0) std::copy(definition.begin(), definition.begin() + jet::kTableDefPageHeader, page.begin());
    size_t take = std::min(definition.size() - at, layout.page_size - header);
    std::copy(definition.begin() + static_cast<std::ptrdiff_t>(at),
              definition.begin() + static_cast<std::ptrdiff_t>(at + take), page.begin() + static_cast<std::ptrdiff_t>(header));
    at += take;
    Put32(page, layout.tdef_next_page, i + 1 < page_numbers.size() ? page_numbers[i + 1] : 0);
    // The field counts 8 bytes less than the page leaves free.
    size_t free = layout.page_size - header - take;
    if (layout.tdef_free_space) Put16(page, *layout.tdef_free_space, static_cast<uint16_t>(free >= 8 ? free - 8 : 0));
    pages.push_back(std::move(page));
  }
  return pages;
}

}  // namespace dbbuilder
