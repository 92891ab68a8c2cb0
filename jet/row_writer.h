// Encoding a row again with some of its columns changed: the inverse of
// CrackRow (see row.h for the layout). Everything not changed keeps its
// bytes: the fixed data area as it was (null fixed columns included), the
// stored column count, the null mask bits and var data of columns the
// definition no longer lists, bytes some rows keep between their var data
// and var table. Variable data is laid out again in var table order.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/env_names.h"
#include "jet/tdef.h"

namespace jet {

// The new value of one column.
struct ColumnValue {
  size_t column = 0;  // its index in TableDefinition::columns
  bool null = true;
  bool flag = false;           // the value of a Bool column (which is never null)
  std::vector<uint8_t> bytes;  // as stored: a fixed column's exact length; for a
                               // memo or OLE column, its 12-byte field (and the
                               // data after it when inline)
};

// A row's parts in stored order, for AssembleRow.
struct RowParts {
  std::vector<uint8_t> head;  // the column count and the fixed data area
  std::vector<Bytes> var_data;  // the var entries' bytes, in var table order
  Bytes gap;                  // bytes some rows keep between eod and the var table
  bool var_table = false;     // the table has var columns, so the row has a var table
  Bytes null_mask;
};

// The length AssembleRow gives for parts whose head, var data and gap take
// `data_end` bytes (Jet3's jump table grows with the row it describes).
size_t AssembledRowSize(const Format& format, size_t data_end, size_t var_entries, bool var_table, size_t mask_len);

// The row: head, var data, gap, then (with a var table) eod and the var
// offsets from the last down, Jet3's jump table and the entry count, then
// the null mask. kInvalidArgument when an offset does not fit its field.
Result<std::vector<uint8_t>> AssembleRow(const Format& format, const RowParts& parts);

// The row with the values changed. kCorrupt when the row cannot be cracked;
// kInvalidArgument for a value that does not fit its column; kUnsupported
// for a row stored before a column that is to be set existed.
Result<std::vector<uint8_t>> RewriteRow(Bytes row, const TableDefinition& def, const Format& format,
                                        std::span<const ColumnValue> values);

}  // namespace jet
