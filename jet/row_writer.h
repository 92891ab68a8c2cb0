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
#include "jet/status.h"
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

// The row with the values changed. kCorrupt when the row cannot be cracked;
// kInvalidArgument for a value that does not fit its column; kUnsupported
// for a row stored before a column that is to be set existed.
Result<std::vector<uint8_t>> RewriteRow(Bytes row, const TableDefinition& def, const Format& format,
                                        std::span<const ColumnValue> values);

}  // namespace jet
