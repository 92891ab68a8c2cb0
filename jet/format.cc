#include "jet/format.h"

namespace jet {

Result<Format> FormatForVersion(uint8_t version) {
  Format f;  // defaults: Jet4
  f.version = version;
  if (version == 0) {
    f.family = Family::kJet3;
    f.page_size = 2048;
    f.header_mask_length = 126;
    f.password_length = 20;
    f.header_sort_order = 0x3a;
    f.header_tail = 0x600;
    f.data_row_count = 8;
    f.data_row_offsets = 10;
    f.tdef_tag = 0;
    f.tdef_num_rows = 0x0c;
    f.tdef_autonumber = 0x10;
    f.tdef_autonumber_flag = 0;
    f.tdef_complex_columns = 0;
    f.tdef_table_type = 0x14;
    f.tdef_max_cols = 0x15;
    f.tdef_num_var_cols = 0x17;
    f.tdef_num_cols = 0x19;
    f.tdef_num_idx = 0x1b;
    f.tdef_num_real_idx = 0x1f;
    f.tdef_used_pages = 0x23;
    f.tdef_free_pages = 0x27;
    f.tdef_end_of_block = 0x2b;
    f.tdef_real_idx_entry = 8;
    f.col_entry = 18;
    f.col_type = 0;
    f.col_tag = 0;
    f.col_number = 1;
    f.col_var_index = 3;
    f.col_number_again = 5;
    f.col_unknown = 7;
    f.col_sort_order = 9;
    f.col_misc = 11;  // the code page of a text column
    f.col_flags = 13;
    f.col_misc_flags = 0;  // none: Jet3 text is never compressed
    f.col_fixed_offset = 14;
    f.col_length = 16;
    f.col_name_length_size = 1;
    f.tdef_index_columns_entry = 39;
    f.tdef_logical_index_entry = 20;
    f.index_prev_page = 8;
    f.index_next_page = 12;
    f.index_tail_page = 16;
    f.index_prefix_length = 20;
    f.index_bitmap = 0x16;
    f.index_first_entry = 0xf8;
    f.row_count_size = 1;
    f.usage_map_bitmap = 128;
    return f;
  }
  if (version == 1) return f;
  // ACE versions 2 (2007) up to 6 (2019) share the Jet4 layout; later ones
  // have not been seen, but the byte grows with every release.
  if (version >= 2 && version <= 0x10) {
    f.family = Family::kAce;
    return f;
  }
  return Status::BadFormat("unknown version byte " + std::to_string(version));
}

std::vector<uint8_t> BlankPage(uint32_t page_size, PageType type) {
  std::vector<uint8_t> page(page_size, 0);
  page[kPageTypeByte] = type;
  page[kPageMark] = kPageMarkValue;
  return page;
}

std::string ToString(RowPointer p) { return std::to_string(p.page) + ":" + std::to_string(p.row); }

}  // namespace jet
