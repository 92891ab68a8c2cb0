// A table's definition (TDEF): how the builder lays its columns out in a row,
// and what it chooses for the definition's fields; jet/tdef_writer.h encodes
// the definition and cuts it into pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/format.h"
#include "dbbuilder/schema.h"
#include "jet/env_names.h"
#include "jet/tdef_writer.h"

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

// Lays out columns in the order given. `extra_flags`, when not empty, holds
// further flag bits per column (the system tables carry some).
jet::Result<TablePlan> PlanTable(const Layout& layout, const std::vector<Column>& columns, bool system,
                                 const std::vector<uint8_t>& extra_flags = {});

using jet::IndexDefinition;

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

// The definition as one run of bytes (see jet/tdef_writer.h), with what the
// builder chooses for the fields the plan does not say.
jet::Result<ByteVector> EncodeTableDefinition(const Layout& layout, const TableDefinition& def);

using jet::TableDefinitionPageCount;
using jet::TableDefinitionPages;

}  // namespace dbbuilder
