// Table definitions (TDEF pages): a table's columns, row count and the
// pointers to its page usage maps. A definition may span several pages,
// chained by their next-page field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/pager.h"
#include "jet/env_names.h"

namespace jet {

enum ColumnType : uint8_t {
  kColBool = 0x01,
  kColByte = 0x02,
  kColInt = 0x03,
  kColLong = 0x04,
  kColMoney = 0x05,
  kColFloat = 0x06,
  kColDouble = 0x07,
  kColDateTime = 0x08,
  kColBinary = 0x09,
  kColText = 0x0A,
  kColOle = 0x0B,
  kColMemo = 0x0C,
  kColGuid = 0x0F,
  kColNumeric = 0x10,
  kColComplex = 0x12,
};

// The flag bits of columns, indexes and table types are the Format table's
// (col_flag_*, idx_flag_*, table_type_*): ask the table of the file's version.

// A physical index entry has this many column slots, each a column number
// (kNoIndexColumn in those not used) and its order (idx_column_ascending).
inline constexpr size_t kIndexColumnSlots = 10;
inline constexpr uint16_t kNoIndexColumn = 0xffff;

// A definition ends with the long value maps of its memo and OLE columns:
// per column its number, its used map and its free map, then this number.
inline constexpr size_t kLongValueMapEntry = 10;
inline constexpr uint16_t kNoMoreLongValueMaps = 0xffff;
// A physical index entry in the block counts the index's rows here.
inline constexpr size_t kRealIndexRows = 4;

struct Column {
  uint8_t type = 0;
  uint16_t number = 0;        // its bit in a row's null mask
  uint16_t var_index = 0;     // its entry in a row's var table (variable columns)
  uint16_t fixed_offset = 0;  // its place among the fixed data (fixed columns)
  uint16_t length = 0;        // 0 for memo/OLE
  uint8_t flags = 0;
  uint8_t misc_flags = 0;
  uint16_t misc = 0;          // code page (Jet3 text), sort order, or precision/scale
  uint16_t sort_order = 0;    // where the family has the field (Jet3); else in misc
  std::string name;           // UTF-8

  bool fixed(const Format& f) const { return (flags & f.col_flag_fixed) != 0; }
  bool compressed_unicode(const Format& f) const {
    return f.col_misc_flag_compressed_unicode && (misc_flags & *f.col_misc_flag_compressed_unicode) != 0;
  }
  bool long_value() const { return type == kColMemo || type == kColOle; }
};

struct TableDefinition {
  std::vector<uint32_t> pages;  // the definition's pages, first one first
  uint32_t num_rows = 0;
  uint8_t table_type = 0;
  uint16_t max_cols = 0;
  uint16_t num_var_cols = 0;
  uint16_t num_cols = 0;
  uint32_t num_idx = 0;
  uint32_t num_real_idx = 0;
  RowPointer used_pages;  // the row holding the map of the table's pages
  RowPointer free_pages;
  std::vector<Column> columns;  // in stored order
  size_t column_names_end = 0;  // where the column names end in the definition's bytes

  uint32_t page() const { return pages.empty() ? 0 : pages.front(); }
  // The column of that name, compared without regard to case; null if none.
  const Column* Find(std::string_view name) const;
  int IndexOf(std::string_view name) const;  // -1 if none
};

// The definition's bytes: its first page whole, then each following page
// without its 8-byte header. `pages` receives the chain.
Result<std::vector<uint8_t>> ReadTableDefinitionBytes(Pager& pager, uint32_t first_page,
                                                      std::vector<uint32_t>* pages);

Result<TableDefinition> ParseTableDefinition(Bytes tdef, const Format& format, uint16_t code_page);

// Reads and parses the definition that starts at first_page.
Result<TableDefinition> ReadTableDefinition(Pager& pager, uint32_t first_page, uint16_t code_page);

// The row count alone: reads the first page of the definition only.
Result<uint32_t> ReadRowCount(Pager& pager, uint32_t first_page);

}  // namespace jet
