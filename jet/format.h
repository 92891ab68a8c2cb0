// The three families of the file format and where their structures keep
// their fields. Everything that differs between Jet3 (2 KiB pages, code-page
// text) and Jet4/ACE (4 KiB pages, UCS-2 text) is a number here, so the
// parsers are written once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jet/env_names.h"

namespace jet {

enum class Family { kJet3, kJet4, kAce };

// Page types: the first byte of every page.
enum PageType : uint8_t {
  kPageHeader = 0x00,
  kPageData = 0x01,
  kPageTableDef = 0x02,
  kPageIndexNode = 0x03,
  kPageIndexLeaf = 0x04,
  kPageUsageMap = 0x05,
};

// Every page starts with its type and the byte 0x01.
inline constexpr size_t kPageTypeByte = 0;
inline constexpr size_t kPageMark = 1;
inline constexpr uint8_t kPageMarkValue = 0x01;

// A page of the given type with nothing in it but its first two bytes.
std::vector<uint8_t> BlankPage(uint32_t page_size, PageType type);

// A usage map row starts with its type byte; after it come the first page of
// its window and its bitmap (inline map) or the pointers of its bitmap pages
// (paged map), each bitmap page's bitmap following a 4-byte page header.
inline constexpr size_t kUsageMapFirst = 1;
inline constexpr size_t kUsageMapInlineHeader = kUsageMapFirst + 4;
inline constexpr size_t kUsageMapPageHeader = 4;

// The text sort order "General", as a header and a text column name it.
inline constexpr uint16_t kGeneralSortOrder = 0x0409;

// A table definition continued on further pages repeats the first page's
// 8-byte page header on each; its data follows.
inline constexpr size_t kTableDefPageHeader = 8;

struct Format {
  Family family = Family::kJet4;
  uint8_t version = 0;  // header byte 0x14: 0 Jet3, 1 Jet4, 2.. ACE
  uint32_t page_size = 4096;

  // Header page: the RC4-masked area starts at 0x18.
  size_t header_mask_length = 128;
  size_t password_length = 40;
  size_t header_sort_order = 0x6e;  // the default text sort order: 4 bytes (2 in Jet3)
  size_t header_tail = 0xe00;       // a repeated two-byte pattern fills the page from here

  // Data pages.
  size_t data_tdef_page = 4;        // the owning table's definition page
  size_t data_row_count = 12;
  size_t data_row_offsets = 14;     // 2-byte slots from here

  // Table definition block (first page, from the page start). A field at 0
  // is one this family does not have.
  size_t tdef_next_page = 4;
  size_t tdef_length = 8;           // bytes of the whole definition
  size_t tdef_tag = 0x0c;           // a constant of unknown meaning; none in Jet3
  size_t tdef_num_rows = 0x10;
  size_t tdef_autonumber = 0x14;    // the next value of the autonumber column
  size_t tdef_autonumber_flag = 0x18;  // 1 lets the desktop program count; none in Jet3
  size_t tdef_complex_columns = 0x1c;  // none in Jet3
  size_t tdef_table_type = 0x28;
  size_t tdef_max_cols = 0x29;
  size_t tdef_num_var_cols = 0x2b;
  size_t tdef_num_cols = 0x2d;
  size_t tdef_num_idx = 0x2f;
  size_t tdef_num_real_idx = 0x33;
  size_t tdef_used_pages = 0x37;
  size_t tdef_free_pages = 0x3b;
  size_t tdef_end_of_block = 0x3f;  // the physical index entries start here
  size_t tdef_real_idx_entry = 12;  // bytes per physical index entry

  // One column entry of a table definition. Offset 0 is the column's type,
  // so a field at 0 other than col_type is one Jet3 does not have.
  size_t col_entry = 25;
  size_t col_type = 0;
  size_t col_tag = 1;       // the definition's tag again; none in Jet3
  size_t col_number = 5;
  size_t col_var_index = 7;
  size_t col_number_again = 9;
  size_t col_sort_order = 11;  // of a text column
  size_t col_misc = 11;     // precision/scale, or sort order of text
  size_t col_unknown = 13;  // a word of unknown meaning: 0 in Jet4, 1 in Jet3
  size_t col_flags = 15;
  size_t col_misc_flags = 16;  // Jet4/ACE: 0x01 compressed unicode; none in Jet3
  size_t col_fixed_offset = 21;
  size_t col_length = 23;
  size_t col_name_length_size = 2;  // 1 in Jet3

  // Index entries of a table definition: one physical index (its columns
  // and maps), one logical index.
  size_t tdef_index_columns_entry = 52;  // 39 in Jet3
  size_t tdef_logical_index_entry = 28;  // 20 in Jet3

  // Index pages (node and leaf): the neighbouring pages of the same level,
  // the rightmost leaf under a node, the length of the prefix every entry
  // shares with the page's first, the bitmap of where entries start, and the
  // first entry.
  size_t index_prev_page = 12;
  size_t index_next_page = 16;
  size_t index_tail_page = 20;
  size_t index_prefix_length = 24;
  size_t index_bitmap = 0x1b;
  size_t index_first_entry = 0x1e0;

  // Rows: the column count, eod, var_len and var table entries.
  size_t row_count_size = 2;  // 1 in Jet3 (and 1-byte offsets with a jump table)

  // Usage maps: the bitmap bytes of an inline (type 0) map row as a table's
  // definition points at it.
  size_t usage_map_bitmap = 64;  // 128 in Jet3

  bool jet3() const { return family == Family::kJet3; }
  bool ucs2_text() const { return family != Family::kJet3; }

  // The longest row a data page holds (one row, one slot).
  size_t MaxRow() const { return page_size - data_row_offsets - 2; }
  // Pages one usage map page (type 5) of a type 1 map covers.
  uint32_t PagesPerMapPage() const { return (page_size - kUsageMapPageHeader) * 8; }
  // Page pointers in a type 1 usage map row of a table's map length.
  size_t MapPagePointers() const { return usage_map_bitmap / 4 + 1; }
  // A table's usage map row: its type byte, start page and bitmap.
  size_t MapRowBytes() const { return kUsageMapInlineHeader + usage_map_bitmap; }
};

// Rows on one data page: a row pointer has one byte for the row, so a page
// can hold 256; the desktop program puts a new row on a page of at most 255
// rows, and so do our writers.
inline constexpr size_t kRowsAddressable = 256;
inline constexpr size_t kMaxRowsPerPage = 255;

// The format of a header version byte; kBadFormat for an unknown one.
Result<Format> FormatForVersion(uint8_t version);

// A row's address: a page number (24 bits) and the row's slot on that page.
struct RowPointer {
  uint32_t page = 0;
  uint8_t row = 0;

  static RowPointer Decode(uint32_t raw) { return RowPointer{raw >> 8, static_cast<uint8_t>(raw & 0xff)}; }
  uint32_t Encode() const { return (page << 8) | row; }
  bool null() const { return page == 0 && row == 0; }
  friend bool operator==(const RowPointer&, const RowPointer&) = default;
  friend auto operator<=>(const RowPointer&, const RowPointer&) = default;
};

std::string ToString(RowPointer p);

}  // namespace jet
