#include "jet/usage_map.h"

#include "jet/data_page.h"

namespace jet {
namespace {

Status AddBits(Bytes bitmap, uint64_t first_page, uint32_t page_count, std::vector<uint32_t>& out) {
  for (size_t byte = 0; byte < bitmap.size(); ++byte) {
    if (bitmap[byte] == 0) continue;
    for (int bit = 0; bit < 8; ++bit) {
      if (!((bitmap[byte] >> bit) & 1)) continue;
      const uint64_t page = first_page + byte * 8 + bit;
      if (page >= page_count)
        return Status::Corrupt("a usage map marks page " + std::to_string(page) + " past the end of the file");
      out.push_back(static_cast<uint32_t>(page));
    }
  }
  return Status::Ok();
}

}  // namespace

std::vector<uint8_t> InlineUsageMapRow(uint32_t first, std::span<const uint32_t> pages, size_t bitmap_bytes) {
  std::vector<uint8_t> row(kUsageMapInlineHeader + bitmap_bytes, 0);
  row[0] = kUsageMapInline;
  StoreU32(&row[kUsageMapFirst], first);
  const std::span<uint8_t> bitmap(row.data() + kUsageMapInlineHeader, bitmap_bytes);
  for (uint32_t p : pages) SetUsageBit(bitmap, p - first, true);
  return row;
}

std::vector<uint8_t> PagedUsageMapRow(std::span<const uint32_t> bitmap_pages, size_t row_bytes) {
  std::vector<uint8_t> row(row_bytes, 0);
  row[0] = kUsageMapPages;
  for (size_t n = 0; n < bitmap_pages.size(); ++n) StoreU32(&row[PagedMapPointer(n)], bitmap_pages[n]);
  return row;
}

Result<std::vector<uint32_t>> DecodeUsageMap(Bytes map, Pager& pager) {
  ByteView v(map);
  std::vector<uint32_t> pages;
  const uint8_t type = v.U8(0);
  if (type == kUsageMapInline) {
    const uint32_t start = v.U32(kUsageMapFirst);
    if (!v.ok()) return Status::Corrupt("usage map too short");
    JET_RETURN_IF_ERROR(AddBits(map.subspan(kUsageMapInlineHeader), start, pager.page_count(), pages));
    return pages;
  }
  if (type != kUsageMapPages) return Status::Corrupt("unknown usage map type " + std::to_string(type));
  const uint64_t pages_per_map_page = pager.format().PagesPerMapPage();
  for (size_t i = 0; PagedMapPointer(i + 1) <= map.size(); ++i) {
    const uint32_t map_page = v.U32(PagedMapPointer(i));
    if (map_page == 0) continue;
    Result<std::vector<uint8_t>> data = pager.ReadPage(map_page);
    if (!data.ok()) return data.status();
    if ((*data)[0] != kPageUsageMap) return Status::Corrupt("page " + std::to_string(map_page) + " is not a usage map page");
    JET_RETURN_IF_ERROR(AddBits(Bytes(*data).subspan(kUsageMapPageHeader), i * pages_per_map_page, pager.page_count(), pages));
  }
  return pages;
}

Result<std::vector<uint32_t>> ReadUsageMap(Pager& pager, RowPointer where) {
  Result<PageRow> row = ReadPageRow(pager, where, true);
  if (!row.ok()) return row.status();
  return DecodeUsageMap(row->bytes(), pager);
}

}  // namespace jet
