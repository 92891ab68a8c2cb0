// Rewriting rows of a data page: the changed rows change, nothing else does.
#include "jet/data_page_writer.h"

#include "jet/data_page.h"
#include "jet/format.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;
using jet::Bytes;
using jet::SlotWrite;

std::vector<uint8_t> RowBytes(Bytes page, const jet::RowSlot& s) {
  return std::vector<uint8_t>(page.begin() + s.start, page.begin() + s.end);
}

// Every row of `after` is the row of `before` unless written, flags included.
void ExpectOnlyWritesChanged(Bytes before, Bytes after, const jet::Format& f, const std::vector<SlotWrite>& writes,
                             const std::string& where) {
  auto b = jet::ParseDataPage(before, f);
  auto a = jet::ParseDataPage(after, f);
  ASSERT_TRUE(b.ok() && a.ok()) << where;
  size_t added = 0;
  for (const auto& w : writes) added += w.row >= b->slots.size();
  ASSERT_EQ(a->slots.size(), b->slots.size() + added) << where;
  for (size_t i = 0; i < a->slots.size(); ++i) {
    const SlotWrite* w = nullptr;
    for (const auto& x : writes)
      if (x.row == i) w = &x;
    const uint16_t flags = a->slots[i].raw & ~jet::kRowOffsetMask;
    if (w) {
      EXPECT_EQ(RowBytes(after, a->slots[i]), w->bytes) << where << " row " << i;
      EXPECT_EQ(flags, w->flags) << where << " row " << i;
    } else {
      EXPECT_EQ(RowBytes(after, a->slots[i]), RowBytes(before, b->slots[i])) << where << " row " << i;
      EXPECT_EQ(flags, b->slots[i].raw & ~jet::kRowOffsetMask) << where << " row " << i;
    }
  }
  // The header beyond the row count is the table's, untouched.
  EXPECT_EQ(after[0], before[0]);
  EXPECT_TRUE(std::equal(after.begin() + 4, after.begin() + static_cast<ptrdiff_t>(f.data_row_count),
                         before.begin() + 4))
      << where;
  // The free-space count is the gap, and the gap is clean.
  const size_t lowest = a->slots.empty() ? after.size() : a->slots.back().start;
  const size_t slots_end = jet::SlotsEnd(f, a->slots.size());
  EXPECT_EQ(a->free_space, lowest - slots_end) << where;
  EXPECT_TRUE(std::all_of(after.begin() + static_cast<ptrdiff_t>(slots_end),
                          after.begin() + static_cast<ptrdiff_t>(lowest), [](uint8_t x) { return x == 0; }))
      << where;
}

// A data page with rows of the given sizes (0: a deleted, empty row).
std::vector<uint8_t> MakePage(const jet::Format& f, const std::vector<size_t>& sizes) {
  std::vector<uint8_t> page(f.page_size, 0xee);
  page[0] = jet::kPageData;
  page[1] = 1;
  jet::StoreU32(&page[f.data_tdef_page], 0x1234);
  jet::StoreU16(&page[f.data_row_count], static_cast<uint16_t>(sizes.size()));
  size_t end = f.page_size;
  for (size_t i = 0; i < sizes.size(); ++i) {
    size_t start = end - sizes[i];
    for (size_t k = start; k < end; ++k) page[k] = static_cast<uint8_t>(i + 1);
    jet::StoreU16(&page[f.data_row_offsets + 2 * i], static_cast<uint16_t>(start | (sizes[i] ? 0 : jet::kRowDeleted)));
    end = start;
  }
  jet::StoreU16(&page[2], static_cast<uint16_t>(end - jet::SlotsEnd(f, sizes.size())));
  return page;
}

TEST(RepackDataPage, RewritesRowsOfSyntheticPages) {
  for (uint8_t version : {0, 1, 3}) {
    auto f = *jet::FormatForVersion(version);
    const auto page = MakePage(f, {40, 0, 100, 7, 0, 300});
    const size_t free = jet::LoadU16(&page[2]);
    struct Case {
      std::string name;
      std::vector<SlotWrite> writes;
      bool fits;
    };
    const std::vector<Case> cases = {
        {"nothing", {}, true},
        {"first row longer", {{0, 0, std::vector<uint8_t>(90, 0xa1)}}, true},
        {"middle row shorter", {{2, 0, std::vector<uint8_t>(3, 0xa2)}}, true},
        {"last row to empty", {{5, jet::kRowDeleted, {}}}, true},
        {"deleted row revived", {{1, 0, std::vector<uint8_t>(12, 0xa3)}}, true},
        {"row moved away", {{3, jet::kRowLookup, {0x05, 0x01, 0x00, 0x00}}}, true},
        {"two rows and a new one",
         {{0, 0, std::vector<uint8_t>(10, 1)}, {6, jet::kRowDeleted | jet::kRowLookup, std::vector<uint8_t>(50, 2)}},
         true},
        {"row takes the whole free space", {{3, 0, std::vector<uint8_t>(7 + free, 0xa4)}}, true},
        {"row one byte too long", {{3, 0, std::vector<uint8_t>(8 + free, 0xa5)}}, false},
        {"new row without room for its slot", {{6, 0, std::vector<uint8_t>(free - 1, 0xa6)}}, false},
    };
    for (const auto& c : cases) {
      const std::string where = "version " + std::to_string(version) + ": " + c.name;
      auto out = jet::RepackDataPage(page, f, c.writes);
      if (!c.fits) {
        EXPECT_EQ(out.status().code(), jet::Code::kInvalidArgument) << where;
        continue;
      }
      ASSERT_TRUE(out.ok()) << where << ": " << out.status().message();
      ExpectOnlyWritesChanged(page, *out, f, c.writes, where);
    }
  }
}

// Every data page of the real files: laid out again unchanged, and with one
// row grown, every other row stays as the desktop program wrote it.
TEST(RepackDataPage, KeepsTheRowsOfRealPages) {
  SKIP_WITHOUT_SHARED();
  int pages = 0;
  for (const char* name : {"jet3/testV1997.mdb", "jet3/delTestV1997.mdb", "jet3/overflowTestV1997.mdb",
                           "jet4/overflowTestV2000.mdb", "jet4/testUnicodeCompV2003.mdb", "jet4/delColTestV2003.mdb",
                           "ace/linkerTestV2007.accdb", "ace/overflowTestV2010.accdb"}) {
    const auto file = ReadBytes(SharedDir() / "corpus" / name);
    auto f = *jet::FormatForVersion(file.at(0x14));
    for (size_t at = f.page_size; at + f.page_size <= file.size(); at += f.page_size) {
      Bytes page(file.data() + at, f.page_size);
      if (page[0] != jet::kPageData) continue;
      auto parsed = jet::ParseDataPage(page, f);
      ASSERT_TRUE(parsed.ok());
      const std::string where = std::string(name) + " page " + std::to_string(at / f.page_size);
      ++pages;
      auto same = jet::RepackDataPage(page, f, {});
      ASSERT_TRUE(same.ok()) << where << ": " << same.status().message();
      ExpectOnlyWritesChanged(page, *same, f, {}, where);
      EXPECT_EQ(jet::LoadU16(&(*same)[2]), parsed->free_space) << where;

      for (size_t row = 0; row < parsed->slots.size(); ++row) {
        if (parsed->slots[row].deleted()) continue;
        std::vector<SlotWrite> grow = {{static_cast<uint16_t>(row), 0, RowBytes(page, parsed->slots[row])}};
        grow[0].bytes.resize(grow[0].bytes.size() + std::min<size_t>(parsed->free_space, 20), 0x77);
        auto out = jet::RepackDataPage(page, f, grow);
        ASSERT_TRUE(out.ok()) << where << ": " << out.status().message();
        ExpectOnlyWritesChanged(page, *out, f, grow, where + " row " + std::to_string(row));
        break;
      }
    }
  }
  EXPECT_GT(pages, 50);
}

}  // namespace
