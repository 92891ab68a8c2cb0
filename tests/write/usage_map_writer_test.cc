// Marking pages in usage maps, and taking a page for new rows.
#include "jet/usage_map_writer.h"

#include "jet/data_page_writer.h"
#include "jet/usage_map.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;
using jet::RowPointer;

constexpr uint32_t kPageSize = 4096;
const jet::Format kFormat = *jet::FormatForVersion(1);

std::vector<uint8_t> InlineMap(uint32_t start, size_t bytes, std::vector<uint32_t> pages) {
  std::vector<uint8_t> row(5 + bytes, 0);
  jet::StoreU32(&row[1], start);
  for (uint32_t p : pages) row[5 + (p - start) / 8] |= static_cast<uint8_t>(1u << ((p - start) % 8));
  return row;
}

std::vector<uint8_t> DataPage(const std::vector<std::vector<uint8_t>>& rows) {
  std::vector<uint8_t> page(kPageSize, 0);
  page[0] = jet::kPageData;
  page[1] = 1;
  jet::StoreU16(&page[2], static_cast<uint16_t>(kPageSize - kFormat.data_row_offsets));
  std::vector<jet::SlotWrite> writes;
  for (size_t i = 0; i < rows.size(); ++i) writes.push_back({static_cast<uint16_t>(i), 0, rows[i]});
  return *jet::RepackDataPage(page, kFormat, writes);
}

// A file of `pages` pages: page 1 holds the free-page map (marking `free`),
// page 3 the maps under test, page 4 a bitmap page for a map of the second kind.
struct MapFile {
  TempDir dir;
  fs::path path = dir / "maps.mdb";
  std::unique_ptr<jet::File> file;
  std::unique_ptr<jet::Pager> pager;

  MapFile(uint32_t pages, std::vector<uint32_t> free, std::vector<std::vector<uint8_t>> maps) {
    std::vector<uint8_t> bytes(size_t{pages} * kPageSize, 0);
    auto put = [&](uint32_t n, const std::vector<uint8_t>& page) { std::copy(page.begin(), page.end(), bytes.begin() + n * kPageSize); };
    put(1, DataPage({InlineMap(0, 16, free)}));
    put(3, DataPage(maps));
    std::vector<uint8_t> bitmap_page(kPageSize, 0);
    bitmap_page[0] = jet::kPageUsageMap;
    bitmap_page[1] = 1;
    put(4, bitmap_page);
    WriteBytes(path, bytes);
    file = std::move(*jet::Env::Default().Open(path.string(), jet::OpenMode::kReadWrite));
    pager = std::make_unique<jet::Pager>(*file, kFormat, 0, bytes.size(), nullptr);
  }
};

std::vector<uint32_t> Marked(jet::PageTransaction& tx, RowPointer where) {
  auto page = tx.Read(where.page);
  auto dp = jet::ParseDataPage(*page, kFormat);
  const auto& slot = dp->slots[where.row];
  std::vector<uint8_t> row(page->begin() + slot.start, page->begin() + slot.end);
  std::vector<uint32_t> out;
  if (row[0] == jet::kUsageMapInline) {
    const uint32_t start = jet::LoadU32(&row[1]);
    for (uint32_t bit = 0; bit < (row.size() - 5) * 8; ++bit)
      if ((row[5 + bit / 8] >> (bit % 8)) & 1) out.push_back(start + bit);
    return out;
  }
  auto bitmap = tx.Read(jet::LoadU32(&row[1]));
  for (uint32_t bit = 0; bit < (kPageSize - 4) * 8; ++bit)
    if (((*bitmap)[4 + bit / 8] >> (bit % 8)) & 1) out.push_back(bit);
  return out;
}

TEST(UsageMapWriter, MarksPagesAndMovesAWindowWhenItMust) {
  std::vector<uint8_t> paged = {jet::kUsageMapPages, 4, 0, 0, 0};  // one bitmap page: page 4
  struct Case {
    std::string name;
    uint16_t row;          // the map under test on page 3
    uint32_t page;
    bool on;
    jet::Code code;
    std::vector<uint32_t> marked;  // afterwards
  };
  const std::vector<Case> cases = {
      {"a page in reach", 0, 9, true, jet::Code::kOk, {3, 9}},
      {"a page cleared", 0, 3, false, jet::Code::kOk, {}},
      {"a page out of reach cleared: nothing to do", 0, 500, false, jet::Code::kOk, {3}},
      {"an empty map moves its window", 1, 1000, true, jet::Code::kOk, {1000}},
      {"a window moved as far as its marks allow", 2, 64, true, jet::Code::kOk, {33, 64}},
      {"a page too far from the marks", 0, 500, true, jet::Code::kUnsupported, {3}},
      {"a page of a bitmap page", 3, 7000, true, jet::Code::kOk, {7000}},
      {"a page past the bitmap pages", 3, 40000, true, jet::Code::kUnsupported, {}},
      {"a page past the bitmap pages cleared", 3, 40000, false, jet::Code::kOk, {}},
  };
  for (const Case& c : cases) {
    MapFile f(8, {}, {InlineMap(0, 4, {3}), InlineMap(0, 4, {}), InlineMap(32, 4, {33}), paged});
    jet::PageTransaction tx(*f.pager);
    const RowPointer where{3, static_cast<uint8_t>(c.row)};
    auto can = jet::UsageMapCanMark(tx, where, c.page);
    ASSERT_TRUE(can.ok()) << c.name;
    if (c.on) {
      EXPECT_EQ(*can, c.code == jet::Code::kOk) << c.name;
    }
    EXPECT_EQ(jet::SetUsageMapBit(tx, where, c.page, c.on).code(), c.code) << c.name;
    EXPECT_EQ(Marked(tx, where), c.marked) << c.name;
  }
}

TEST(UsageMapWriter, TakesAFreePageTheOwnerCanListOrGrowsTheFile) {
  struct Case {
    std::string name;
    std::vector<uint32_t> free;
    std::function<bool(uint32_t)> usable;
    jet::Code code;
    uint32_t page;
  };
  const std::vector<Case> cases = {
      {"the first free page inside the file", {2, 5, 6, 40}, [](uint32_t) { return true; }, jet::Code::kOk, 5},
      {"a free page the owner can list", {5, 6, 40}, [](uint32_t p) { return p != 5; }, jet::Code::kOk, 6},
      {"none free: the file grows", {40, 41}, [](uint32_t) { return true; }, jet::Code::kOk, 8},
      {"no page will do", {5}, [](uint32_t) { return false; }, jet::Code::kUnsupported, 0},
  };
  for (const Case& c : cases) {
    MapFile f(8, c.free, {InlineMap(0, 4, {})});
    jet::PageTransaction tx(*f.pager);
    auto page = jet::TakeFreePage(tx, [&](uint32_t p) -> jet::Result<bool> { return c.usable(p); });
    EXPECT_EQ(page.status().code(), c.code) << c.name;
    if (!page.ok()) {
      EXPECT_TRUE(tx.empty()) << c.name;
      continue;
    }
    EXPECT_EQ(*page, c.page) << c.name;
    // It is no longer free; the other free pages are.
    std::vector<uint32_t> still_free;
    for (uint32_t p : c.free)
      if (p != c.page) still_free.push_back(p);
    EXPECT_EQ(Marked(tx, jet::kFreePageMap), still_free) << c.name;
    EXPECT_EQ(tx.page_count(), std::max<uint32_t>(8, c.page + 1)) << c.name;
  }
}

}  // namespace
