// The facts of each file family that the builder needs: page size, header
// sizes, where fields sit in a table definition. One place, so that the
// writers below never test the family themselves beyond asking this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "jet/tdef.h"

namespace dbbuilder {

// The header's version byte is the enumerator's value.
enum class Format : uint8_t {
  kJet3 = 0,   // Access 97: 2 KiB pages, code-page text
  kJet4 = 1,   // Access 2000-2003: 4 KiB pages, UCS-2 text
  kAce12 = 2,  // Access 2007 (often still named .mdb)
  kAce14 = 3,  // Access 2010
};

std::string_view FormatName(Format f);           // "jet3", "jet4", "ace12", "ace14"
bool ParseFormat(std::string_view name, Format* out);

struct Layout {
  Format format;
  bool jet3;                  // one-byte row offsets, code-page text, 18-byte columns
  uint32_t page_size;
  size_t data_header;         // bytes before a data page's row offset table
  size_t row_count_offset;    // where a data page keeps its row count
  size_t map_bitmap_bytes;    // bitmap bytes of a type 0 usage map row
  size_t tdef_block;          // fixed part of a table definition, from page start
  size_t tdef_column;         // one column descriptor
  size_t tdef_real_index;     // one entry of the first index list (row counts)
  size_t tdef_index_columns;  // one physical index descriptor
  size_t tdef_logical_index;  // one logical index descriptor
  size_t name_length_bytes;   // length prefix of a column or index name
  size_t header_mask_bytes;   // RC4-masked bytes of page 0 from 0x18
  size_t password_bytes;      // the password field at 0x42
  // The longest row a data page can hold (one row, one offset entry).
  size_t MaxRow() const { return page_size - data_header - 2; }
  // Pages covered by one type 5 page of a type 1 usage map.
  uint32_t PagesPerMapPage() const { return (page_size - 4) * 8; }
  // Page pointers in a type 1 usage map row.
  size_t MapPagePointers() const { return map_bitmap_bytes / 4 + 1; }
  size_t MapRowBytes() const { return 1 + 4 + map_bitmap_bytes; }
};

const Layout& LayoutFor(Format f);

// Column type codes as a table definition stores them.
enum class ColumnType : uint8_t {
  kBoolean = jet::kColBool,
  kByte = jet::kColByte,
  kInteger = jet::kColInt,
  kLong = jet::kColLong,
  kCurrency = jet::kColMoney,
  kSingle = jet::kColFloat,
  kDouble = jet::kColDouble,
  kDateTime = jet::kColDateTime,
  kBinary = jet::kColBinary,
  kText = jet::kColText,
  kOle = jet::kColOle,
  kMemo = jet::kColMemo,
  kGuid = jet::kColGuid,
};

// Bytes a fixed-length column occupies in a row; 0 for variable-length
// columns and for booleans, which live in the null mask.
size_t FixedSize(ColumnType t);
bool IsLongValue(ColumnType t);  // memo and OLE: stored through a 12-byte header
bool IsVariable(ColumnType t);   // text, binary, memo, OLE

// A row's place: page number in the high 24 bits, row number in the low 8.
inline uint32_t RowPointer(uint32_t page, uint8_t row) { return (page << 8) | row; }

// Rows on one page are numbered by a byte.
inline constexpr size_t kMaxRowsPerPage = 255;

}  // namespace dbbuilder
