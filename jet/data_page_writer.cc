#include "jet/data_page_writer.h"

#include <algorithm>
#include <map>
#include <string>

namespace jet {
namespace {

constexpr uint16_t kSlotFlags = static_cast<uint16_t>(~kRowOffsetMask);

}  // namespace

std::vector<uint8_t> EmptyDataPage(const Format& f, uint32_t owner) {
  std::vector<uint8_t> page = BlankPage(f.page_size, kPageData);
  StoreU32(&page[f.data_tdef_page], owner);
  StoreU16(&page[kPageFreeSpace], static_cast<uint16_t>(f.page_size - SlotsEnd(f, 0)));
  return page;
}

Status CheckRepackable(Bytes page, const Format& f, uint32_t page_count) {
  ByteView v(page);
  if (page.size() != f.page_size || v.U8(0) != kPageData) return Status::Corrupt("not a data page");
  const uint16_t rows = v.U16(f.data_row_count);
  const size_t slots_end = SlotsEnd(f, rows);
  if (rows > kRowsAddressable || slots_end > page.size())
    return Status::Corrupt("the row table of a data page does not fit in it");
  size_t end = page.size();
  for (uint16_t i = 0; i < rows; ++i) {
    const uint16_t raw = v.U16(f.data_row_offsets + 2 * i);
    const size_t start = raw & kRowOffsetMask;
    const std::string row = "row " + std::to_string(i) + " of a data page";
    if (start < slots_end || start > page.size()) return Status::Corrupt(row + " starts outside the page's rows");
    if (start > end) return Status::Corrupt(row + " overlaps the row before it");
    if ((raw & kRowLookup) && !(raw & kRowDeleted)) {
      const uint32_t to = end - start < 4 ? 0 : RowPointer::Decode(v.U32(start)).page;
      if (to == 0 || to >= page_count) return Status::Corrupt(row + " is an overflow slot without a sound pointer");
    }
    end = start;
  }
  if (v.U16(kPageFreeSpace) != end - slots_end)
    return Status::Corrupt("the free-space count of a data page is not what its rows leave");
  return Status::Ok();
}

Result<std::vector<uint8_t>> RepackDataPage(Bytes page, const Format& format, std::span<const SlotWrite> writes) {
  auto parsed = ParseDataPage(page, format);
  if (!parsed.ok()) return parsed.status();

  // Each row's new flags and bytes; the unchanged ones point into the old page.
  struct Row {
    uint16_t flags = 0;
    Bytes bytes;
  };
  std::vector<Row> rows;
  rows.reserve(parsed->slots.size() + 1);
  for (const RowSlot& s : parsed->slots)
    rows.push_back(Row{static_cast<uint16_t>(s.raw & kSlotFlags), page.subspan(s.start, s.size())});
  std::map<uint16_t, const SlotWrite*> by_row;
  for (const SlotWrite& w : writes) {
    if ((w.flags & kRowOffsetMask) != 0) return Status::InvalidArgument("a row's flags must be slot flags");
    if (!by_row.emplace(w.row, &w).second) return Status::InvalidArgument("a row is written twice on one page");
  }
  for (const auto& [row, w] : by_row) {
    if (row == rows.size()) rows.emplace_back();
    if (row >= rows.size()) return Status::InvalidArgument("a new row must take the next free row number");
    rows[row] = Row{w->flags, Bytes(w->bytes)};
  }
  if (rows.size() > kRowsAddressable) return Status::InvalidArgument("a data page holds at most 256 rows");

  const size_t slots_end = SlotsEnd(format, rows.size());
  size_t used = 0;
  for (const Row& r : rows) used += r.bytes.size();
  if (slots_end > page.size() || used > page.size() - slots_end)
    return Status::InvalidArgument("the rows do not fit on the page");

  std::vector<uint8_t> out(page.begin(), page.begin() + static_cast<ptrdiff_t>(format.data_row_offsets));
  out.resize(page.size(), 0);
  size_t end = page.size();
  for (size_t i = 0; i < rows.size(); ++i) {
    const size_t start = end - rows[i].bytes.size();
    std::copy(rows[i].bytes.begin(), rows[i].bytes.end(), out.begin() + static_cast<ptrdiff_t>(start));
    StoreU16(&out[format.data_row_offsets + 2 * i], static_cast<uint16_t>(start | rows[i].flags));
    end = start;
  }
  StoreU16(&out[format.data_row_count], static_cast<uint16_t>(rows.size()));
  StoreU16(&out[kPageFreeSpace], static_cast<uint16_t>(end - slots_end));
  return out;
}

}  // namespace jet
