#include "dbbuilder/table_definition.h"

#include <algorithm>

#include "jet/format.h"

namespace dbbuilder {

namespace {

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
    p.flags = layout.col_flag_nullable;
    if (!p.variable) p.flags |= layout.col_flag_fixed;
    if (c.auto_number) p.flags |= layout.col_flag_auto_long;
    if (system) p.flags |= layout.col_flag_replication;
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
  jet::NewTableDefinition out;
  out.table_type = plan.system ? layout.table_type_system : layout.table_type_user;
  out.num_rows = def.rows;
  out.next_autonumber = def.next_autonumber;
  out.max_cols = static_cast<uint16_t>(plan.columns.size());  // no column was ever dropped
  out.num_var_cols = plan.variable_count;
  out.used_pages = jet::RowPointer::Decode(def.used_map);
  out.free_pages = jet::RowPointer::Decode(def.free_map);
  out.code_page = static_cast<uint16_t>(def.code_page);
  for (const ColumnPlan* c : ListingOrder(layout, plan)) {
    const ColumnType type = c->column.type;
    jet::Column column;
    column.type = static_cast<uint8_t>(type);
    column.number = c->number;
    column.var_index = c->var_index;
    column.fixed_offset = c->variable ? 0 : c->fixed_offset;
    column.length = c->stored_length;
    column.flags = c->flags;
    // Every column names the "General" sort order: in a field of its own
    // where the family has one (the code page of its text in misc then),
    // else in misc, as the desktop engine does for text and system columns.
    column.sort_order = kGeneralSortOrder;
    if (layout.col_sort_order) column.misc = static_cast<uint16_t>(def.code_page);
    else column.misc = plan.system || IsText(type) ? kGeneralSortOrder : 0;
    column.misc_flags = !plan.system && IsText(type) && c->column.compressed
                          ? layout.col_misc_flag_compressed_unicode.value_or(0)
                          : 0;
    column.name = c->column.name;
    out.columns.push_back(std::move(column));

    if (!IsLongValue(type)) continue;
    auto it = std::find_if(def.long_value_maps.begin(), def.long_value_maps.end(),
                           [&](const TableDefinition::LongValueMaps& m) { return m.column == c->number; });
    const bool found = it != def.long_value_maps.end();
    out.long_value_maps.push_back({c->number, jet::RowPointer::Decode(found ? it->used_map : 0),
                                   jet::RowPointer::Decode(found ? it->free_map : 0)});
  }
  out.indexes = def.indexes;
  // System tables cascade both ways with the same byte the desktop engine gives them.
  for (IndexDefinition& ix : out.indexes) ix.cascade_updates = ix.cascade_deletes = plan.system ? 0x04 : 0;
  return jet::EncodeTableDefinition(out, layout);
}

}  // namespace dbbuilder
