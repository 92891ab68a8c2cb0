// A table's definition (TDEF): how its columns sit in a row, and the bytes of
// the definition pages that describe them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/format.h"
#include "dbbuilder/schema.h"
#include "jet/env_names.h"

namespace dbbuilder {

// One column as both the definition and every row see it.
struct ColumnPlan {
  Column column;
  uint16_t number = 0;        // position in a row's null mask
  uint16_t var_index = 0;     // variable columns: slot in the offset table; fixed: variable columns before it
  uint16_t fixed_offset = 0;  // fixed columns: where in the fixed area
  uint16_t stored_length = 0; // the definition's length field, in bytes
  uint8_t flags = 0;
  bool variable = false;
};

struct TablePlan {
  std::vector<ColumnPlan> columns;  // by column number
  size_t fixed_bytes = 0;
  uint16_t variable_count = 0;
  bool system = false;
};

// Column flag bits.
inline constexpr uint8_t kColumnFixed = jet::kColumnFixed;
inline constexpr uint8_t kColumnNullable = 0x02;
inline constexpr uint8_t kColumnAutoLong = 0x04;
inline constexpr uint8_t kColumnSystem = 0x10;

// Lays out columns in the order given. `extra_flags`, when not empty, holds
// further flag bits per column (the system tables carry some).
jet::Result<TablePlan> PlanTable(const Layout& layout, const std::vector<Column>& columns, bool system,
                                 const std::vector<uint8_t>& extra_flags = {});

struct IndexDefinition {
  std::string name;
  uint32_t number = 0;               // also its slot among the physical indexes
  std::vector<uint16_t> columns;     // column numbers, ascending order each
  uint8_t flags = 0;                 // 0x01 unique, 0x02 ignore nulls, 0x08 required
  bool primary = false;
  uint32_t used_map = 0;             // row pointer of the index's usage map
  uint32_t first_page = 0;           // the index's root page
  uint32_t rows = 0;
};
inline constexpr uint8_t kIndexUnique = 0x01;
inline constexpr uint8_t kIndexRequired = 0x08;

struct TableDefinition {
  const TablePlan* plan = nullptr;
  uint32_t rows = 0;
  uint32_t next_autonumber = 0;
  uint32_t used_map = 0;  // row pointers of the table's two usage maps
  uint32_t free_map = 0;
  // For each memo or OLE column, by column number: its long-value page maps.
  struct LongValueMaps {
    uint16_t column = 0;
    uint32_t used_map = 0;
    uint32_t free_map = 0;
  };
  std::vector<LongValueMaps> long_value_maps;
  std::vector<IndexDefinition> indexes;  // logical order; numbers name the physical slots
  int code_page = 1252;
};

// The definition as one run of bytes, its first 8 being the page header that
// every page of the definition repeats.
jet::Result<ByteVector> EncodeTableDefinition(const Layout& layout, const TableDefinition& def);

// How many pages a definition of this length needs.
uint32_t TableDefinitionPageCount(const Layout& layout, size_t length);

// Cuts an encoded definition into pages chained by their next-page fields.
std::vector<ByteVector> TableDefinitionPages(const Layout& layout, const ByteVector& definition,
                                        const std::vector<uint32_t>& page_numbers);

}  // namespace dbbuilder
