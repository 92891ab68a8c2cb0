#include "jet/data_page.h"

namespace jet {

Result<DataPage> ParseDataPage(Bytes page, const Format& f) {
  ByteView v(page);
  if (page.size() != f.page_size || v.U8(0) != kPageData) return Status::Corrupt("not a data page");
  DataPage dp;
  dp.free_space = v.U16(kPageFreeSpace);
  dp.owner = v.U32(f.data_tdef_page);
  const uint16_t rows = v.U16(f.data_row_count);
  const size_t slots_end = SlotsEnd(f, rows);
  if (slots_end > page.size()) return Status::Corrupt("the row table of a data page does not fit in it");
  dp.slots.resize(rows);
  size_t end = page.size();
  for (uint16_t i = 0; i < rows; ++i) {
    RowSlot& s = dp.slots[i];
    s.raw = v.U16(f.data_row_offsets + 2 * i);
    const size_t start = s.raw & kRowOffsetMask;
    if (start < slots_end || start > end) {
      // A deleted row's extent is never used; a live one must be sound.
      if (!s.deleted()) return Status::Corrupt("row " + std::to_string(i) + " of a data page lies outside its room");
      s.start = s.end = static_cast<uint16_t>(end);
      continue;
    }
    s.start = static_cast<uint16_t>(start);
    s.end = static_cast<uint16_t>(end);
    end = start;
  }
  return dp;
}

Result<PageRow> ReadPageRow(Pager& pager, RowPointer where, bool live_only) {
  Result<std::vector<uint8_t>> page = pager.ReadPage(where.page);
  if (!page.ok()) return page.status();
  Result<DataPage> dp = ParseDataPage(*page, pager.format());
  if (!dp.ok()) return dp.status();
  if (where.row >= dp->slots.size() || (live_only && dp->slots[where.row].deleted()))
    return Status::Corrupt("row " + ToString(where) + " does not exist");
  return PageRow{std::move(*page), dp->slots[where.row]};
}

}  // namespace jet
