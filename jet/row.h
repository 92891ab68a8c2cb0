// Cracking a row into its columns' raw bytes. A row is: the count of columns
// stored in it, the fixed-length data, the variable-length data, then from
// the end backwards: the null mask (one bit per column number, 1 = present),
// the count of var table entries, the var table (offsets, last entry first),
// and the offset where the variable data ends (eod). Jet3 stores 1-byte
// offsets and adds a jump table: each entry names the first var entry whose
// offset is 256 more than its byte says.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/env_names.h"
#include "jet/tdef.h"

namespace jet {

// One column's value in a row: where its bytes are within the row.
struct FieldRef {
  bool null = true;
  bool flag = false;      // a Bool column's value, which lives in the null mask
  uint32_t offset = 0;    // within the row
  uint32_t length = 0;
};

struct CrackedRow {
  uint16_t column_count = 0;  // as stored in the row
  uint16_t var_count = 0;     // var table entries stored in the row
  uint32_t fixed_end = 0;     // where the var data starts
  uint32_t var_end = 0;       // eod: where the var data ends
  uint32_t trailer_start = 0; // where eod, the var table (and jump table) begin
  std::vector<uint32_t> var_offsets;  // the var table: var_count + 1 entries, eod last
  std::vector<FieldRef> fields;  // parallel to TableDefinition::columns

  Bytes Value(Bytes row, size_t column) const {
    const FieldRef& f = fields[column];
    return f.null ? Bytes() : row.subspan(f.offset, f.length);
  }
};

// kCorrupt when the row's own counts or offsets do not fit in it.
Result<CrackedRow> CrackRow(Bytes row, const TableDefinition& def, const Format& format);
// The same into `out`, reusing its storage: a scan cracks row after row.
Status CrackRow(Bytes row, const TableDefinition& def, const Format& format, CrackedRow& out);

}  // namespace jet
