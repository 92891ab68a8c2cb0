// The three families of the file format and where their structures keep
// their fields. Everything that differs between Jet3 (2 KiB pages, code-page
// text) and Jet4/ACE (4 KiB pages, UCS-2 text) is a field of one table per
// version here, so that readers and writers are written once and ask the
// table, never the family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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

// An index entry's key: each column's key starts with this byte (ascending).
inline constexpr uint8_t kIndexKeyAscending = 0x7f;

// The text sort order "General", as a header and a text column name it.
inline constexpr uint16_t kGeneralSortOrder = 0x0409;

// A table definition continued on further pages repeats the first page's
// 8-byte page header on each; its data follows.
inline constexpr size_t kTableDefPageHeader = 8;

// How a family stores text: Jet3 in the database's code page, Jet4 and ACE
// as UCS-2 (which a column may compress).
enum class TextEncoding { kCodePage, kUcs2 };

// Where one version keeps its fields. Every version is one constexpr value
// below, written out in full; a field a family does not have is nullopt.
struct Format {
  Family family;
  uint8_t version;  // header byte 0x14
  uint32_t page_size;
  TextEncoding text_encoding;

  // Header page: the engine's name at its start; the RC4-masked area from 0x18.
  std::string_view header_name;
  size_t header_mask_length;
  size_t password_length;
  size_t header_sort_order;  // the default text sort order
  size_t header_sort_order_size;  // its bytes
  size_t header_tail;        // a repeated two-byte pattern fills the page from here
  // The creation date (days since 1899-12-30), which also masks the password.
  std::optional<size_t> header_creation_date;
  // Fields of unknown meaning that every file the desktop engine writes
  // fills alike (readers ignore them): a word in the masked area, and where
  // the family has them a second word past it and the engine's version as
  // text.
  size_t header_unknown;
  uint16_t header_unknown_word;
  std::optional<size_t> header_unknown2;
  std::optional<uint16_t> header_unknown2_word;
  std::optional<size_t> header_engine_version;
  std::string_view header_engine_version_text;

  // Data pages.
  size_t data_tdef_page;     // the owning table's definition page
  size_t data_row_count;
  size_t data_row_offsets;   // 2-byte slots from here

  // Table definition block (first page, from the page start).
  std::optional<size_t> tdef_free_space;  // Jet3 has the letters "VC" there
  size_t tdef_next_page;
  size_t tdef_length;        // bytes of the whole definition
  std::optional<size_t> tdef_tag;  // a constant of unknown meaning
  size_t tdef_num_rows;
  size_t tdef_autonumber;    // the next value of the autonumber column
  std::optional<size_t> tdef_autonumber_flag;  // 1 lets the desktop program count
  std::optional<size_t> tdef_complex_columns;
  size_t tdef_table_type;
  size_t tdef_max_cols;
  size_t tdef_num_var_cols;
  size_t tdef_num_cols;
  size_t tdef_num_idx;
  size_t tdef_num_real_idx;
  size_t tdef_used_pages;
  size_t tdef_free_pages;
  size_t tdef_end_of_block;  // the physical index entries start here
  size_t tdef_real_idx_entry;  // bytes per physical index entry

  // One column entry of a table definition.
  size_t col_entry;
  size_t col_type;
  std::optional<size_t> col_tag;  // the definition's tag again
  size_t col_number;
  size_t col_var_index;
  size_t col_number_again;
  std::optional<size_t> col_unknown;     // a word of unknown meaning, 1 in every file
  std::optional<size_t> col_sort_order;  // of a text column; Jet4/ACE keep it in misc
  size_t col_misc;  // precision/scale; for text the code page (Jet3) or sort order
  size_t col_flags;
  std::optional<size_t> col_misc_flags;  // col_misc_flag_compressed_unicode
  size_t col_fixed_offset;
  size_t col_length;
  size_t col_name_length_size;

  // The index entries of a table definition. A physical one: its columns
  // (kIndexColumnSlots of them: number and order), usage map, first page and
  // flags; a logical one: its number, the physical entry it uses, what it
  // refers to as a foreign key, and its kind.
  size_t tdef_index_columns_entry;
  std::optional<size_t> idx_tag;  // index_columns_tag
  size_t idx_columns;
  size_t idx_used_pages;
  size_t idx_first_page;
  size_t idx_flags;
  uint8_t idx_flags_always;  // bits of unknown meaning every entry of the family has
  size_t tdef_logical_index_entry;
  std::optional<size_t> lidx_tag;  // definition_tag
  size_t lidx_number;
  size_t lidx_columns_entry;
  size_t lidx_foreign_index;  // 0xFFFFFFFF: not a foreign key
  size_t lidx_cascade_updates;
  size_t lidx_cascade_deletes;
  size_t lidx_type;

  // Index pages (node and leaf): the neighbouring pages of the same level,
  // the rightmost leaf under a node, the length of the prefix every entry
  // shares with the page's first, the bitmap of where entries start, and the
  // first entry.
  size_t index_prev_page;
  size_t index_next_page;
  size_t index_tail_page;
  size_t index_prefix_length;
  size_t index_bitmap;
  size_t index_first_entry;

  // Rows: the column count; the var table's eod, offsets and entry count,
  // and whether a jump table marks where offsets pass each 256 bytes.
  size_t row_count_size;
  size_t row_offset_size;
  bool row_jump_table;

  // Usage maps: the bitmap bytes of an inline (type 0) map row as a table's
  // definition points at it.
  size_t usage_map_bitmap;

  // The bits of a column entry's flags byte, and the one bit of its
  // misc_flags byte where the family has that byte (Jet3 has none, so no
  // Jet3 text is compressed).
  uint8_t col_flag_fixed;
  uint8_t col_flag_nullable;
  uint8_t col_flag_auto_long;
  uint8_t col_flag_replication;  // every column of a system table has it
  uint8_t col_flag_security;     // the owner and security-id columns of system tables
  std::optional<uint8_t> col_misc_flag_compressed_unicode;

  // The bits of a physical index entry's flags byte; the order byte of a
  // column slot in use; a logical index entry's type for the primary key.
  uint8_t idx_flag_unique;
  uint8_t idx_flag_ignore_nulls;
  uint8_t idx_flag_required;
  uint8_t idx_column_ascending;
  uint8_t lidx_type_primary;

  // A definition's table type.
  uint8_t table_type_user;
  uint8_t table_type_system;

  // Constants of unknown meaning a definition carries: where Jet4 counts a
  // definition page's free space, Jet3 has two letters; where the table
  // names a tag offset (the block, each column entry and each logical index
  // entry), the definition tag stands, and in each physical index entry the
  // index columns tag; Jet3's column entries hold a word of unknown meaning
  // (col_unknown); tdef_autonumber_flag holds this value.
  std::string_view tdef_id;  // empty where the family counts free space there
  std::optional<uint32_t> definition_tag;
  std::optional<uint32_t> index_columns_tag;
  std::optional<uint16_t> col_unknown_word;
  std::optional<uint8_t> tdef_autonumber_on;

  // The longest row a data page holds (one row, one slot).
  constexpr size_t MaxRow() const { return page_size - data_row_offsets - 2; }
  // Pages one usage map page (type 5) of a type 1 map covers.
  constexpr uint32_t PagesPerMapPage() const { return static_cast<uint32_t>((page_size - kUsageMapPageHeader) * 8); }
  // Page pointers in a type 1 usage map row of a table's map length.
  constexpr size_t MapPagePointers() const { return usage_map_bitmap / 4 + 1; }
  // A table's usage map row: its type byte, start page and bitmap.
  constexpr size_t MapRowBytes() const { return kUsageMapInlineHeader + usage_map_bitmap; }
};

// The engine names in the header.
inline constexpr char kJetHeaderName[] = "Standard Jet DB";
inline constexpr char kAceHeaderName[] = "Standard ACE DB";

// Access 97.
inline constexpr Format kJet3Format{
    .family = Family::kJet3,
    .version = 0,
    .page_size = 2048,
    .text_encoding = TextEncoding::kCodePage,
    .header_name = kJetHeaderName,
    .header_mask_length = 126,
    .password_length = 20,
    .header_sort_order = 0x3a,
    .header_sort_order_size = 2,
    .header_tail = 0x600,
    .header_creation_date = std::nullopt,
    .header_unknown = 0x38,
    .header_unknown_word = 0x0001,
    .header_unknown2 = std::nullopt,
    .header_unknown2_word = std::nullopt,
    .header_engine_version = std::nullopt,
    .header_engine_version_text = "",
    .data_tdef_page = 4,
    .data_row_count = 8,
    .data_row_offsets = 10,
    .tdef_free_space = std::nullopt,
    .tdef_next_page = 4,
    .tdef_length = 8,
    .tdef_tag = std::nullopt,
    .tdef_num_rows = 0x0c,
    .tdef_autonumber = 0x10,
    .tdef_autonumber_flag = std::nullopt,
    .tdef_complex_columns = std::nullopt,
    .tdef_table_type = 0x14,
    .tdef_max_cols = 0x15,
    .tdef_num_var_cols = 0x17,
    .tdef_num_cols = 0x19,
    .tdef_num_idx = 0x1b,
    .tdef_num_real_idx = 0x1f,
    .tdef_used_pages = 0x23,
    .tdef_free_pages = 0x27,
    .tdef_end_of_block = 0x2b,
    .tdef_real_idx_entry = 8,
    .col_entry = 18,
    .col_type = 0,
    .col_tag = std::nullopt,
    .col_number = 1,
    .col_var_index = 3,
    .col_number_again = 5,
    .col_unknown = 7,
    .col_sort_order = 9,
    .col_misc = 11,
    .col_flags = 13,
    .col_misc_flags = std::nullopt,
    .col_fixed_offset = 14,
    .col_length = 16,
    .col_name_length_size = 1,
    .tdef_index_columns_entry = 39,
    .idx_tag = std::nullopt,
    .idx_columns = 0,
    .idx_used_pages = 30,
    .idx_first_page = 34,
    .idx_flags = 38,
    .idx_flags_always = 0,
    .tdef_logical_index_entry = 20,
    .lidx_tag = std::nullopt,
    .lidx_number = 0,
    .lidx_columns_entry = 4,
    .lidx_foreign_index = 9,
    .lidx_cascade_updates = 17,
    .lidx_cascade_deletes = 18,
    .lidx_type = 19,
    .index_prev_page = 8,
    .index_next_page = 12,
    .index_tail_page = 16,
    .index_prefix_length = 20,
    .index_bitmap = 0x16,
    .index_first_entry = 0xf8,
    .row_count_size = 1,
    .row_offset_size = 1,
    .row_jump_table = true,
    .usage_map_bitmap = 128,
    .col_flag_fixed = 0x01,
    .col_flag_nullable = 0x02,
    .col_flag_auto_long = 0x04,
    .col_flag_replication = 0x10,
    .col_flag_security = 0x20,
    .col_misc_flag_compressed_unicode = std::nullopt,
    .idx_flag_unique = 0x01,
    .idx_flag_ignore_nulls = 0x02,
    .idx_flag_required = 0x08,
    .idx_column_ascending = 0x01,
    .lidx_type_primary = 0x01,
    .table_type_user = 0x4e,
    .table_type_system = 0x53,
    .tdef_id = "VC",
    .definition_tag = std::nullopt,
    .index_columns_tag = std::nullopt,
    .col_unknown_word = 0x0001,
    .tdef_autonumber_on = std::nullopt,
};

// Access 2000 to 2003.
inline constexpr Format kJet4Format{
    .family = Family::kJet4,
    .version = 1,
    .page_size = 4096,
    .text_encoding = TextEncoding::kUcs2,
    .header_name = kJetHeaderName,
    .header_mask_length = 128,
    .password_length = 40,
    .header_sort_order = 0x6e,
    .header_sort_order_size = 4,
    .header_tail = 0xe00,
    .header_creation_date = 0x72,
    .header_unknown = 0x6a,
    .header_unknown_word = 0x11a6,
    .header_unknown2 = 0x98,
    .header_unknown2_word = 0x0654,
    .header_engine_version = 0x9c,
    .header_engine_version_text = "4.0",
    .data_tdef_page = 4,
    .data_row_count = 12,
    .data_row_offsets = 14,
    .tdef_free_space = 2,
    .tdef_next_page = 4,
    .tdef_length = 8,
    .tdef_tag = 0x0c,
    .tdef_num_rows = 0x10,
    .tdef_autonumber = 0x14,
    .tdef_autonumber_flag = 0x18,
    .tdef_complex_columns = 0x1c,
    .tdef_table_type = 0x28,
    .tdef_max_cols = 0x29,
    .tdef_num_var_cols = 0x2b,
    .tdef_num_cols = 0x2d,
    .tdef_num_idx = 0x2f,
    .tdef_num_real_idx = 0x33,
    .tdef_used_pages = 0x37,
    .tdef_free_pages = 0x3b,
    .tdef_end_of_block = 0x3f,
    .tdef_real_idx_entry = 12,
    .col_entry = 25,
    .col_type = 0,
    .col_tag = 1,
    .col_number = 5,
    .col_var_index = 7,
    .col_number_again = 9,
    .col_unknown = std::nullopt,
    .col_sort_order = std::nullopt,
    .col_misc = 11,
    .col_flags = 15,
    .col_misc_flags = 16,
    .col_fixed_offset = 21,
    .col_length = 23,
    .col_name_length_size = 2,
    .tdef_index_columns_entry = 52,
    .idx_tag = 0,
    .idx_columns = 4,
    .idx_used_pages = 34,
    .idx_first_page = 38,
    .idx_flags = 46,
    .idx_flags_always = 0x80,
    .tdef_logical_index_entry = 28,
    .lidx_tag = 0,
    .lidx_number = 4,
    .lidx_columns_entry = 8,
    .lidx_foreign_index = 13,
    .lidx_cascade_updates = 21,
    .lidx_cascade_deletes = 22,
    .lidx_type = 23,
    .index_prev_page = 12,
    .index_next_page = 16,
    .index_tail_page = 20,
    .index_prefix_length = 24,
    .index_bitmap = 0x1b,
    .index_first_entry = 0x1e0,
    .row_count_size = 2,
    .row_offset_size = 2,
    .row_jump_table = false,
    .usage_map_bitmap = 64,
    .col_flag_fixed = 0x01,
    .col_flag_nullable = 0x02,
    .col_flag_auto_long = 0x04,
    .col_flag_replication = 0x10,
    .col_flag_security = 0x20,
    .col_misc_flag_compressed_unicode = 0x01,
    .idx_flag_unique = 0x01,
    .idx_flag_ignore_nulls = 0x02,
    .idx_flag_required = 0x08,
    .idx_column_ascending = 0x01,
    .lidx_type_primary = 0x01,
    .table_type_user = 0x4e,
    .table_type_system = 0x53,
    .tdef_id = "",
    .definition_tag = 0x0659,
    .index_columns_tag = 0x0783,
    .col_unknown_word = std::nullopt,
    .tdef_autonumber_on = 0x01,
};

// Access 2007 and later: the Jet4 layout under the ACE name, each release
// with a version byte of its own.
constexpr Format AceFormat(uint8_t version) {
  Format f = kJet4Format;
  f.family = Family::kAce;
  f.version = version;
  f.header_name = kAceHeaderName;
  return f;
}

// Every version the header's byte may name, by that byte: 0 Jet3, 1 Jet4,
// 2 ACE 2007, 3 2010, 4 2013, 5 2016, 6 2019.
inline constexpr Format kFormats[] = {kJet3Format,   kJet4Format,   AceFormat(2), AceFormat(3),
                                      AceFormat(4), AceFormat(5), AceFormat(6)};
static_assert([] {
  for (size_t i = 0; i < std::size(kFormats); ++i)
    if (kFormats[i].version != i) return false;
  return true;
}());
// A field's constant is there exactly where the field is.
static_assert([] {
  for (const Format& f : kFormats) {
    if (f.tdef_id.empty() != f.tdef_free_space.has_value()) return false;
    if (f.definition_tag.has_value() != (f.tdef_tag && f.col_tag && f.lidx_tag)) return false;
    if (f.index_columns_tag.has_value() != f.idx_tag.has_value()) return false;
    if (f.col_unknown_word.has_value() != f.col_unknown.has_value()) return false;
    if (f.tdef_autonumber_on.has_value() != f.tdef_autonumber_flag.has_value()) return false;
    if (f.col_misc_flag_compressed_unicode.has_value() != f.col_misc_flags.has_value()) return false;
    if (f.header_unknown2_word.has_value() != f.header_unknown2.has_value()) return false;
    if (f.header_engine_version_text.empty() == f.header_engine_version.has_value()) return false;
  }
  return true;
}());

// Rows on one data page: a row pointer has one byte for the row, so a page
// can hold 256; the desktop program puts a new row on a page of at most 255
// rows, and so do our writers.
inline constexpr size_t kRowsAddressable = 256;
inline constexpr size_t kMaxRowsPerPage = 255;

// The format of a header version byte; kBadFormat for a byte no version has.
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
