#include "dbbuilder/usage_maps.h"

#include <algorithm>

#include "dbbuilder/row_packer.h"
#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/format.h"
#include "jet/usage_map.h"

namespace dbbuilder {

std::optional<ByteVector> InlineUsageMap(const std::vector<uint32_t>& pages, size_t bitmap_bytes) {
  const uint32_t bits = static_cast<uint32_t>(bitmap_bytes * 8);
  uint32_t start = 0;
  if (!pages.empty()) {
    uint32_t lo = *std::min_element(pages.begin(), pages.end());
    uint32_t hi = *std::max_element(pages.begin(), pages.end());
    if (hi >= bits) start = lo & ~7u;
    if (hi - start >= bits) return std::nullopt;
  }
  return jet::InlineUsageMapRow(start, pages, bitmap_bytes);
}

namespace {

// Writes the type 5 pages for the given bitmap function and returns the row.
template <typename IsSet>
jet::Result<ByteVector> WriteMapPages(PageFile& file, const Layout& layout, uint32_t covered_pages, IsSet is_set,
                                 bool allocate_all) {
  const uint32_t per_page = layout.PagesPerMapPage();
  const size_t pointers = layout.MapPagePointers();
  const uint32_t needed = (covered_pages + per_page - 1) / per_page;
  if (needed > pointers) return jet::Status::InvalidArgument("more pages than a usage map can cover");
  std::vector<uint32_t> bitmap_pages(needed, 0);
  for (uint32_t k = 0; k < needed; ++k) {
    ByteVector page = BlankPage(layout, jet::kPageUsageMap);
    const std::span<uint8_t> bitmap = std::span<uint8_t>(page).subspan(jet::kUsageMapPageHeader);
    bool any = false;
    for (uint32_t b = 0; b < per_page; ++b) {
      if (is_set(k * per_page + b)) {
        jet::SetUsageBit(bitmap, b, true);
        any = true;
      }
    }
    if (!any && !allocate_all) continue;
    bitmap_pages[k] = file.Allocate();
    JET_RETURN_IF_ERROR(file.Write(bitmap_pages[k], page));
  }
  return jet::PagedUsageMapRow(bitmap_pages, layout.MapRowBytes());
}

}  // namespace

jet::Result<ByteVector> PagedUsageMap(PageFile& file, const Layout& layout, const std::vector<uint32_t>& pages) {
  std::vector<uint32_t> sorted = pages;
  std::sort(sorted.begin(), sorted.end());
  uint32_t covered = sorted.empty() ? 0 : sorted.back() + 1;
  return WriteMapPages(
      file, layout, covered, [&](uint32_t p) { return std::binary_search(sorted.begin(), sorted.end(), p); }, false);
}

UsageMaps::UsageMaps(PageFile& file, const Layout& layout) : file_(file), layout_(layout) {}

uint32_t UsageMaps::Reserve() {
  const size_t row = layout_.MapRowBytes();
  const size_t per_page = jet::RowsPerPage(layout_, row);
  if (pages_.empty() || pages_.back().rows.size() >= per_page) pages_.push_back({file_.Allocate(), {}});
  auto& page = pages_.back();
  page.rows.push_back(ByteVector(row, 0));
  return RowPointer(page.number, static_cast<uint8_t>(page.rows.size() - 1));
}

jet::Status UsageMaps::Set(uint32_t map, const std::vector<uint32_t>& pages) {
  const jet::RowPointer at = jet::RowPointer::Decode(map);
  auto it = std::find_if(pages_.begin(), pages_.end(), [&](const MapPage& p) { return p.number == at.page; });
  if (it == pages_.end() || at.row >= it->rows.size()) return jet::Status::InvalidArgument("no such usage map");
  auto inline_map = InlineUsageMap(pages, layout_.usage_map_bitmap);
  if (inline_map) {
    it->rows[at.row] = std::move(*inline_map);
    return jet::Status::Ok();
  }
  auto paged = PagedUsageMap(file_, layout_, pages);
  if (!paged.ok()) return paged.status();
  it->rows[at.row] = std::move(paged.value());
  return jet::Status::Ok();
}

jet::Status UsageMaps::Finish() {
  for (const auto& p : pages_) {
    auto page = DataPage(layout_, 0, p.rows);
    if (!page.ok()) return page.status();
    JET_RETURN_IF_ERROR(file_.Write(p.number, *page));
  }
  return jet::Status::Ok();
}

jet::Result<ByteVector> GlobalUsagePage(PageFile& file, const Layout& layout) {
  // The desktop engine keeps at least the usual bitmap and grows it in steps
  // of 32 bytes to cover the whole file; past what a row can hold it has to
  // use map pages.
  // Two rows of equal length share the page: the free-page map and the second.
  const size_t longest = (layout.page_size - jet::SlotsEnd(layout, 2)) / 2 - jet::kUsageMapInlineHeader;
  uint32_t pages = file.page_count();
  size_t bytes = std::max<size_t>(layout.usage_map_bitmap, (pages / 8 + 1 + 31) / 32 * 32);
  ByteVector free_map;
  if (bytes <= longest) {
    std::vector<uint32_t> past_end;
    for (uint32_t p = pages; p < bytes * 8; ++p) past_end.push_back(p);
    free_map = jet::InlineUsageMapRow(0, past_end, bytes);
  } else {
    // Allocate the map pages first, so that the map sees the file's final end.
    const uint32_t per_page = layout.PagesPerMapPage();
    uint32_t needed = (pages + per_page - 1) / per_page;
    while ((pages + needed + per_page - 1) / per_page > needed) ++needed;
    uint32_t end = pages + needed;
    auto row = WriteMapPages(file, layout, end, [&](uint32_t p) { return p >= end; }, true);
    if (!row.ok()) return row.status();
    free_map = std::move(row.value());
  }
  ByteVector second(free_map.size(), 0);
  return DataPage(layout, 1, {free_map, second});
}

}  // namespace dbbuilder
