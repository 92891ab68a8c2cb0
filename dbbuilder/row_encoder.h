// One row in its stored form: column count, fixed area, variable data, the
// offset table (with its jump table in Jet3) and the null mask.
#pragma once

#include <vector>

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/format.h"
#include "dbbuilder/schema.h"
#include "dbbuilder/table_definition.h"
#include "jet/env_names.h"

namespace dbbuilder {

// A column's value as stored: exactly FixedSize bytes for fixed columns, the
// data of variable ones, the 12-byte header (and any inline part) of long
// values. Booleans have no bytes: their value is their bit in the null mask.
struct Cell {
  bool present = false;  // false: null
  ByteVector bytes;
  bool truth = false;    // booleans
};

// Encodes a value for its column. Long values come back as their payload (the
// text or bytes), for the long-value writer to place.
jet::Result<Cell> EncodeValue(const Layout& layout, int code_page, const ColumnPlan& column, const Value& value);

jet::Result<ByteVector> EncodeRow(const Layout& layout, const TablePlan& plan, const std::vector<Cell>& cells);

// The length EncodeRow would produce.
size_t RowLength(const Layout& layout, const TablePlan& plan, const std::vector<Cell>& cells);

}  // namespace dbbuilder
