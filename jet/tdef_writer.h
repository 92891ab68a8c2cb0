// Writing table definitions (see tdef.h for the reader): the definition
// block, the physical index entries, the column entries and names, the
// logical index entries and names, and the long value maps, laid out as the
// format table says; then the bytes cut into pages chained by their
// next-page fields.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/long_value_writer.h"
#include "jet/env_names.h"
#include "jet/tdef.h"

namespace jet {

// One index as a definition lists it: its physical entry (columns, usage
// map, root page, flags) and its logical one (number, kind, name). Each
// index here has a physical entry of its own, in the slot of its number.
struct IndexDefinition {
  std::string name;
  uint32_t number = 0;
  std::vector<uint16_t> columns;  // column numbers, each ascending: 1 to kIndexColumnSlots
  uint8_t flags = 0;              // the Format's idx_flag_* bits
  bool primary = false;
  uint8_t cascade_updates = 0;
  uint8_t cascade_deletes = 0;
  RowPointer used_pages;          // the index's usage map
  uint32_t first_page = 0;        // its root page
  uint32_t rows = 0;
};

// What a new definition holds.
struct NewTableDefinition {
  uint8_t table_type = 0;  // the Format's table_type_user or table_type_system
  uint32_t num_rows = 0;
  uint32_t next_autonumber = 0;
  uint16_t max_cols = 0;  // the most columns a row has had
  uint16_t num_var_cols = 0;
  RowPointer used_pages;
  RowPointer free_pages;
  std::vector<Column> columns;  // in the order the definition lists them
  uint16_t code_page = 0;       // of Jet3 names
  std::vector<IndexDefinition> indexes;        // in logical order; numbers 0 to n-1
  std::vector<LongValueMaps> long_value_maps;  // in the order of their columns' entries
};

// The definition as one run of bytes: a first page's header (the next-page
// field 0; Jet4 and ACE's free-space field left for the pages), the block and
// the rest, as ReadTableDefinitionBytes joins them. kInvalidArgument for an
// index of no or too many columns, numbers that are not 0 to n-1, or a name
// the family cannot store.
Result<std::vector<uint8_t>> EncodeTableDefinition(const NewTableDefinition& def, const Format& format);

// How many pages a definition of this length needs.
uint32_t TableDefinitionPageCount(const Format& format, size_t length);

// The pages of an encoded definition, chained through `pages` (as many as
// TableDefinitionPageCount says): each page after the first repeats the
// first's header, and each counts its free space where the family does.
std::vector<std::vector<uint8_t>> TableDefinitionPages(const Format& format, Bytes definition,
                                                       std::span<const uint32_t> pages);

}  // namespace jet
