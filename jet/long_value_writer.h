// Writing long values (memo and OLE columns; see long_value.h for their
// three forms) and freeing the rows of one that is replaced.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/page_transaction.h"
#include "jet/env_names.h"
#include "jet/table_writer.h"
#include "jet/tdef.h"

namespace jet {

// Values up to this many bytes stay in their row. Longer ones go to long
// value pages, so that a row that holds them stays small enough to keep its
// place among the rows of its page.
inline constexpr size_t kMaxInlineLongValue = 256;

// A long value field without inline data: the length with its form's flags
// in `head`, then where the value's (first) row is.
std::vector<uint8_t> LongValueField(uint32_t head, RowPointer first);

// One row of a chain: the pointer of the next row (none in the last), then
// its piece of the value.
inline constexpr size_t kLongValueChainPointer = 4;
// The most of a value one row of a chain carries.
inline size_t LongValueChainPiece(const Format& format) { return format.MaxRow() - kLongValueChainPointer; }
std::vector<uint8_t> LongValueChainRow(RowPointer next, Bytes piece);

// The field of a value kept in its row (at most kMaxInlineLongValue bytes).
std::vector<uint8_t> InlineLongValue(Bytes value);

// Where a long value column keeps its rows: the pair of usage maps the end of
// its table's definition lists for it.
struct LongValueMaps {
  uint16_t column_number = 0;
  RowPointer used;
  RowPointer free;
};

// The long value maps of every memo and OLE column of a table, from the
// definition's bytes (as ReadTableDefinitionBytes gives them).
Result<std::vector<LongValueMaps>> ParseLongValueMaps(Bytes tdef, const TableDefinition& def, const Format& format);

// The long values of one column.
class LongValueWriter {
 public:
  LongValueWriter(PageTransaction& tx, const LongValueMaps& maps)
      : tx_(tx), space_(tx, kLongValueOwner, maps.used, maps.free) {}

  // Stores a value and returns its field for the row: inline when short
  // (unless out_of_row), else one row of a long value page, else a chain of
  // such rows.
  Result<std::vector<uint8_t>> Write(Bytes value, bool out_of_row = false);

  // Frees what the value in `field` holds outside its row: each of its rows
  // is deleted from its page (its bytes given back to the page, which is
  // then listed as having room for the column's next values). The pages stay
  // with the column. An inline value holds nothing outside its row.
  Status Free(Bytes field);

 private:
  PageTransaction& tx_;
  RowSpace space_;
};

}  // namespace jet
