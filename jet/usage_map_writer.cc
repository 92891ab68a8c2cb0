#include "jet/usage_map_writer.h"

#include <algorithm>
#include <vector>

#include "jet/data_page.h"
#include "jet/reason.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

struct MapRow {
  std::vector<uint8_t> page;
  size_t start = 0;  // of the row within the page
  size_t size = 0;
};

Result<MapRow> ReadMapRow(PageTransaction& tx, RowPointer where) {
  MapRow m;
  auto page = tx.Read(where.page);
  if (!page.ok()) return page.status();
  auto dp = ParseDataPage(*page, tx.format());
  if (!dp.ok()) return dp.status();
  if (where.row >= dp->slots.size()) return Status::Corrupt("usage map row " + ToString(where) + " does not exist");
  m.start = dp->slots[where.row].start;
  m.size = dp->slots[where.row].size();
  if (m.size < 1) return Status::Corrupt("usage map row " + ToString(where) + " is empty");
  m.page = std::move(*page);
  return m;
}

// Which page and map it was tells the user nothing to act on.
Status Unreachable() {
  return Status::Error(Code::kUnsupported, JET_REASON("a usage map of the file does not reach a page the change needs"));
}

}  // namespace

namespace {

// Sets or clears the bit; with `write` false only says whether it could.
Status MarkPage(PageTransaction& tx, RowPointer where, uint32_t page, bool on, bool write) {
  auto m = ReadMapRow(tx, where);
  if (!m.ok()) return m.status();
  const uint8_t type = m->page[m->start];
  if (type == kUsageMapInline) {
    if (m->size < kUsageMapInlineHeader) return Status::Corrupt("usage map too short");
    const std::span<uint8_t> bitmap(&m->page[m->start + kUsageMapInlineHeader], m->size - kUsageMapInlineHeader);
    const uint32_t first = LoadU32(&m->page[m->start + kUsageMapFirst]);
    const uint64_t reach = uint64_t{bitmap.size()} * 8;
    if (page < first || page - first >= reach) {
      if (!on) return Status::Ok();  // a page out of reach is not marked
      // The map holds a window of pages from its first page on; it can move
      // its window when the pages it marks and the new one all fit in it.
      std::vector<uint32_t> marked;
      for (uint32_t bit = 0; bit < reach; ++bit)
        if (UsageBit(bitmap, bit)) marked.push_back(first + bit);
      const uint32_t low = std::min(page, marked.empty() ? page : marked.front());
      const uint32_t high = std::max(page, marked.empty() ? page : marked.back());
      uint32_t start = low & ~7u;
      if (high - start >= reach) start = low;
      if (high - start >= reach) return Unreachable();
      marked.push_back(page);
      const std::vector<uint8_t> moved = InlineUsageMapRow(start, marked, bitmap.size());
      std::copy(moved.begin(), moved.end(), m->page.begin() + static_cast<ptrdiff_t>(m->start));
      return write ? tx.Write(where.page, std::move(m->page)) : Status::Ok();
    }
    SetUsageBit(bitmap, page - first, on);
    return write ? tx.Write(where.page, std::move(m->page)) : Status::Ok();
  }
  if (type != kUsageMapPages) return Status::Corrupt("unknown usage map type " + std::to_string(type));
  const uint32_t per_map_page = tx.format().PagesPerMapPage();
  const size_t entry = page / per_map_page;
  const uint32_t map_page =
      PagedMapPointer(entry + 1) > m->size ? 0 : LoadU32(&m->page[m->start + PagedMapPointer(entry)]);
  if (map_page == 0) return on ? Unreachable() : Status::Ok();
  auto bitmap = tx.Read(map_page);
  if (!bitmap.ok()) return bitmap.status();
  if ((*bitmap)[0] != kPageUsageMap) return Status::Corrupt("page " + std::to_string(map_page) + " is not a usage map page");
  SetUsageBit(std::span<uint8_t>(*bitmap).subspan(kUsageMapPageHeader), page % per_map_page, on);
  return write ? tx.Write(map_page, std::move(*bitmap)) : Status::Ok();
}

}  // namespace

Status SetUsageMapBit(PageTransaction& tx, RowPointer where, uint32_t page, bool on) {
  return MarkPage(tx, where, page, on, true);
}

Result<bool> UsageMapCanMark(PageTransaction& tx, RowPointer where, uint32_t page) {
  Status s = MarkPage(tx, where, page, true, false);
  if (s.ok()) return true;
  if (s.code() == Code::kUnsupported) return false;
  return s;
}

Result<uint32_t> TakeFreePage(PageTransaction& tx, const std::function<Result<bool>(uint32_t)>& usable) {
  auto m = ReadMapRow(tx, kFreePageMap);
  if (!m.ok()) return m.status();
  auto take = [&](uint32_t page) -> Result<bool> {
    auto ok = usable(page);
    if (!ok.ok() || !*ok) return ok;
    JET_RETURN_IF_ERROR(SetUsageMapBit(tx, kFreePageMap, page, false));
    return true;
  };
  // Only the inline kind is searched: a file whose free-page map needs pages
  // of its own is large, and grows at its end.
  if (m->page[m->start] == kUsageMapInline && m->size >= kUsageMapInlineHeader) {
    const uint32_t first = LoadU32(&m->page[m->start + kUsageMapFirst]);
    const uint32_t pages = tx.pager().page_count();  // pages the file had before this change
    for (size_t byte = 0; byte < m->size - kUsageMapInlineHeader; ++byte) {
      const uint8_t bits = m->page[m->start + kUsageMapInlineHeader + byte];
      for (unsigned bit = 0; bits && bit < 8; ++bit) {
        const uint64_t page = first + byte * 8 + bit;
        if (!((bits >> bit) & 1) || page < 3 || page >= pages) continue;
        auto taken = take(static_cast<uint32_t>(page));
        if (!taken.ok()) return taken.status();
        if (*taken) return static_cast<uint32_t>(page);
      }
    }
  }
  const uint32_t page = tx.page_count();
  auto usable_end = usable(page);
  if (!usable_end.ok()) return usable_end.status();
  if (!*usable_end)
    return Status::Error(Code::kUnsupported, JET_REASON("no free page of the file can be listed in the usage maps of its owner"));
  tx.Append();
  JET_RETURN_IF_ERROR(SetUsageMapBit(tx, kFreePageMap, page, false));
  return page;
}

}  // namespace jet
