// Data pages, usage maps, long values, definition chains and table scans
// on hand-built pages: the shapes real files have, and the broken ones
// hostile files may have (loops, pointers past the end, lengths that lie).
#include <algorithm>

#include "jet/data_page.h"
#include "jet/long_value.h"
#include "jet/table_scan.h"
#include "jet/tdef.h"
#include "jet/usage_map.h"
#include "tests/jet/mem_file.h"
#include "tests/jet/family_param.h"
#include "tests/support/support.h"

namespace {

using jet::RowPointer;
using jet_test::MemDb;
using jet_test::U32Bytes;
using Bytes8 = std::vector<uint8_t>;

Bytes8 Bytes(size_t n, uint8_t fill) { return Bytes8(n, fill); }

class StructuresTest : public ::testing::TestWithParam<jet_test::Family> {
 protected:
  MemDb db{GetParam().version, 16};
  const jet::Format& f() { return db.format; }
};

TEST_P(StructuresTest, DataPageSlotsGiveEachRowItsExtent) {
  db.PutDataPage(3, 9, {Bytes(10, 'a'), Bytes(4, 'b'), Bytes(6, 'c')}, {0, jet::kRowLookup, jet::kRowDeleted});
  auto dp = jet::ParseDataPage(jet::Bytes(db.page(3), f().page_size), f());
  ASSERT_TRUE(dp.ok()) << dp.status().message();
  EXPECT_EQ(dp->owner, 9u);
  ASSERT_EQ(dp->slots.size(), 3u);
  const uint32_t end = f().page_size;
  EXPECT_EQ(dp->slots[0].start, end - 10);
  EXPECT_EQ(dp->slots[0].end, end);
  EXPECT_EQ(dp->slots[1].size(), 4);
  EXPECT_TRUE(dp->slots[1].lookup());
  EXPECT_FALSE(dp->slots[1].deleted());
  EXPECT_EQ(dp->slots[2].size(), 6);
  EXPECT_TRUE(dp->slots[2].deleted());
}

TEST_P(StructuresTest, DataPageWithImpossibleSlotsIsCorrupt) {
  struct Case {
    const char* what;
    std::function<void(uint8_t*)> damage;
  };
  const size_t rows_at = f().data_row_count, slots_at = f().data_row_offsets;
  const Case cases[] = {
      {"not a data page", [](uint8_t* p) { p[0] = jet::kPageTableDef; }},
      {"more slots than the page holds", [&](uint8_t* p) { jet::StoreU16(p + rows_at, 0x7FFF); }},
      {"row inside the slot table", [&](uint8_t* p) { jet::StoreU16(p + slots_at, 2); }},
      {"row starts after the row before it", [&](uint8_t* p) { jet::StoreU16(p + slots_at + 2, jet::LoadU16(p + slots_at) + 1); }},
  };
  for (const Case& c : cases) {
    db.PutDataPage(3, 9, {Bytes(10, 'a'), Bytes(4, 'b')});
    c.damage(db.page(3));
    auto dp = jet::ParseDataPage(jet::Bytes(db.page(3), f().page_size), f());
    EXPECT_FALSE(dp.ok()) << c.what;
  }
  // A deleted row may point anywhere: nobody reads it.
  db.PutDataPage(3, 9, {Bytes(10, 'a'), Bytes(4, 'b')}, {0, jet::kRowDeleted});
  jet::StoreU16(db.page(3) + slots_at + 2, jet::kRowDeleted | 1);
  EXPECT_TRUE(jet::ParseDataPage(jet::Bytes(db.page(3), f().page_size), f()).ok());
}

Bytes8 InlineMap(uint32_t start, Bytes8 bitmap) {
  Bytes8 m = {jet::kUsageMapInline};
  Bytes8 s = U32Bytes(start);
  m.insert(m.end(), s.begin(), s.end());
  m.insert(m.end(), bitmap.begin(), bitmap.end());
  return m;
}

TEST_P(StructuresTest, UsageMapsOfBothKinds) {
  using Pages = std::vector<uint32_t>;
  auto decode = [&](const Bytes8& map) { return jet::DecodeUsageMap(map, *db.pager); };

  auto inline_map = decode(InlineMap(3, {0x05, 0x02}));  // bits 0, 2, 9
  ASSERT_TRUE(inline_map.ok()) << inline_map.status().message();
  EXPECT_EQ(*inline_map, (Pages{3, 5, 12}));

  EXPECT_FALSE(decode(InlineMap(3, {0x00, 0x80})).ok()) << "page 18 is past the file's 16";
  EXPECT_FALSE(decode(InlineMap(0xFFFFFFF0u, {0xFF})).ok()) << "start page near the top of 32 bits";
  EXPECT_FALSE(decode({0x07, 0, 0, 0, 0}).ok()) << "unknown map type";
  EXPECT_FALSE(decode({jet::kUsageMapInline, 1}).ok()) << "too short for its start page";

  // Type 1: the second map page covers pages from (page size - 4) * 8 on,
  // all past this small file; the first marks pages 7 and 8.
  db.page(6)[0] = jet::kPageUsageMap;
  db.page(6)[4] = 0x80;
  db.page(6)[5] = 0x01;
  Bytes8 paged = {jet::kUsageMapPages};
  for (uint32_t p : {6u, 0u}) {
    Bytes8 b = U32Bytes(p);
    paged.insert(paged.end(), b.begin(), b.end());
  }
  auto by_pages = decode(paged);
  ASSERT_TRUE(by_pages.ok()) << by_pages.status().message();
  EXPECT_EQ(*by_pages, (Pages{7, 8}));

  Bytes8 wrong_page = {jet::kUsageMapPages, 5, 0, 0, 0};  // page 5 is not a map page
  EXPECT_FALSE(decode(wrong_page).ok());
  Bytes8 past_end = {jet::kUsageMapPages, 0, 1, 0, 0};  // page 256
  EXPECT_FALSE(decode(past_end).ok());
}

Bytes8 Field(uint32_t head, RowPointer where, Bytes8 inline_data = {}) {
  Bytes8 f(jet::kLongValueFieldSize, 0);
  jet::StoreU32(f.data(), head);
  jet::StoreU32(f.data() + 4, where.Encode());
  f.insert(f.end(), inline_data.begin(), inline_data.end());
  return f;
}

Bytes8 ChainRow(RowPointer next, Bytes8 data) {
  Bytes8 r = U32Bytes(next.Encode());
  r.insert(r.end(), data.begin(), data.end());
  return r;
}

TEST_P(StructuresTest, LongValuesInlineSingleAndChained) {
  const uint32_t lval = 0x4C41564C;  // 'LVAL'
  db.PutDataPage(5, lval, {ChainRow({4, 2}, Bytes(3, 'y')), ChainRow({}, Bytes(4, 'w'))});
  db.PutDataPage(4, lval, {Bytes(7, 's'), ChainRow({5, 0}, Bytes(5, 'x')), ChainRow({5, 1}, Bytes(2, 'z'))},
                 {jet::kRowDeleted, 0, 0});
  struct Case {
    const char* what;
    Bytes8 field;
    Bytes8 value;
    std::vector<RowPointer> rows;
  };
  Bytes8 chained = Bytes(5, 'x');
  for (uint8_t c : Bytes(3, 'y')) chained.push_back(c);
  for (uint8_t c : Bytes(2, 'z')) chained.push_back(c);
  for (uint8_t c : Bytes(4, 'w')) chained.push_back(c);
  const Case cases[] = {
      {"inline", Field(jet::kLongValueInline | 3, {}, {'a', 'b', 'c'}), {'a', 'b', 'c'}, {}},
      {"single row, flagged deleted as such rows are", Field(jet::kLongValueSingle | 7, {4, 0}), Bytes(7, 's'), {{4, 0}}},
      {"single row, value shorter than the row", Field(jet::kLongValueSingle | 5, {4, 0}), Bytes(5, 's'), {{4, 0}}},
      {"chain of four rows", Field(14, {4, 1}), chained, {{4, 1}, {5, 0}, {4, 2}, {5, 1}}},
      {"chain cut at its length", Field(6, {4, 1}), Bytes8{'x', 'x', 'x', 'x', 'x', 'y'}, {{4, 1}, {5, 0}}},
  };
  for (const Case& c : cases) {
    auto value = jet::ReadLongValue(*db.pager, c.field);
    ASSERT_TRUE(value.ok()) << c.what << ": " << value.status().message();
    EXPECT_EQ(*value, c.value) << c.what;
    auto rows = jet::LongValueRows(*db.pager, c.field);
    ASSERT_TRUE(rows.ok()) << c.what;
    EXPECT_EQ(*rows, c.rows) << c.what;
  }
}

TEST_P(StructuresTest, BrokenLongValuesAreCorruptNotEndless) {
  const uint32_t lval = 0x4C41564C;
  db.PutDataPage(4, lval, {ChainRow({4, 1}, Bytes(5, 'x')), ChainRow({4, 0}, Bytes(5, 'y')), Bytes(3, 's'),
                           ChainRow({}, Bytes(5, 'e')), ChainRow({4, 3}, {})});
  struct Case {
    const char* what;
    Bytes8 field;
  };
  const Case cases[] = {
      {"chain that loops", Field(1000, {4, 0})},
      {"chain that ends early", Field(1000, {4, 3})},
      {"chain row too short for its pointer", Field(1000, {4, 2})},
      {"chain row with a pointer and no data", Field(1000, {4, 4})},
      {"inline value longer than its row", Field(jet::kLongValueInline | 20, {}, {'a'})},
      {"single row shorter than the value", Field(jet::kLongValueSingle | 9, {4, 2})},
      {"row past the end of the file", Field(jet::kLongValueSingle | 3, {200, 0})},
      {"row the page does not have", Field(jet::kLongValueSingle | 3, {4, 9})},
      {"row on a page that is not a data page", Field(jet::kLongValueSingle | 3, {7, 0})},
      {"longer than the whole file", Field(jet::kLongValueLengthMask, {4, 0})},
      {"field too short", Bytes8{1, 2, 3}},
  };
  for (const Case& c : cases) {
    auto value = jet::ReadLongValue(*db.pager, c.field);
    ASSERT_FALSE(value.ok()) << c.what;
    EXPECT_EQ(value.status().code(), jet::Code::kCorrupt) << c.what;
  }
}

void PutTdefPage(MemDb& db, uint32_t page, uint32_t next, uint8_t fill) {
  uint8_t* p = db.page(page);
  std::fill(p, p + db.format.page_size, fill);
  p[0] = jet::kPageTableDef;
  p[1] = 1;
  jet::StoreU16(p + 2, 0);
  jet::StoreU32(p + db.format.tdef_next_page, next);
}

TEST_P(StructuresTest, DefinitionChainsJoinPagesAndStopAtLoops) {
  PutTdefPage(db, 2, 9, 0xA1);
  PutTdefPage(db, 9, 0, 0xB2);
  std::vector<uint32_t> pages;
  auto bytes = jet::ReadTableDefinitionBytes(*db.pager, 2, &pages);
  ASSERT_TRUE(bytes.ok()) << bytes.status().message();
  EXPECT_EQ(pages, (std::vector<uint32_t>{2, 9}));
  ASSERT_EQ(bytes->size(), 2 * f().page_size - 8);
  EXPECT_EQ((*bytes)[f().page_size - 1], 0xA1);
  EXPECT_EQ((*bytes)[f().page_size], 0xB2) << "the second page's header is left out";

  struct Case {
    const char* what;
    uint32_t next_of_9;
  };
  const Case cases[] = {{"loop back to the first page", 2}, {"loop onto itself", 9}, {"past the end", 4000},
                        {"onto a page that is no definition", 3}};
  for (const Case& c : cases) {
    PutTdefPage(db, 9, c.next_of_9, 0xB2);
    auto broken = jet::ReadTableDefinitionBytes(*db.pager, 2, nullptr);
    ASSERT_FALSE(broken.ok()) << c.what;
    EXPECT_EQ(broken.status().code(), jet::Code::kCorrupt) << c.what;
  }
}

TEST_P(StructuresTest, ScanVisitsLiveRowsFollowsOverflowAndSkipsOthersPages) {
  const uint32_t owner = 2;
  jet::TableDefinition def;
  def.pages = {owner};
  def.used_pages = RowPointer{1, 0};
  db.PutDataPage(1, 0, {InlineMap(0, {0x70, 0x01})});  // pages 4, 5, 6 and 8
  db.PutDataPage(4, owner, {Bytes(5, 'a'), U32Bytes(RowPointer{5, 1}.Encode()), Bytes(5, 'd')},
                 {0, jet::kRowLookup, jet::kRowDeleted});
  db.PutDataPage(5, owner, {Bytes(6, 'b'), Bytes(9, 'm')}, {0, jet::kRowDeleted});
  db.PutDataPage(6, 77, {Bytes(5, 'o')});  // another table's page the map still names
  db.page(8)[0] = jet::kPageIndexLeaf;

  struct Seen {
    RowPointer slot;
    std::optional<RowPointer> moved;
    Bytes8 bytes;
  };
  std::vector<Seen> seen;
  jet::Status s = jet::ScanTable(*db.pager, def, [&](jet::TableRow& row) {
    seen.push_back({row.slot, row.moved, row.bytes});
    return jet::Status::Ok();
  });
  ASSERT_TRUE(s.ok()) << s.message();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].slot, (RowPointer{4, 0}));
  EXPECT_EQ(seen[0].bytes, Bytes(5, 'a'));
  EXPECT_EQ(seen[1].slot, (RowPointer{4, 1}));
  ASSERT_TRUE(seen[1].moved.has_value());
  EXPECT_EQ(*seen[1].moved, (RowPointer{5, 1}));
  EXPECT_EQ(seen[1].bytes, Bytes(9, 'm'));
  EXPECT_EQ(seen[2].slot, (RowPointer{5, 0}));
  EXPECT_EQ(seen[2].bytes, Bytes(6, 'b'));

  std::optional<RowPointer> moved;
  auto direct = jet::ReadRowAt(*db.pager, RowPointer{4, 1}, &moved);
  ASSERT_TRUE(direct.ok());
  EXPECT_EQ(*direct, Bytes(9, 'm'));
  EXPECT_EQ(moved, (RowPointer{5, 1}));
  EXPECT_FALSE(jet::ReadRowAt(*db.pager, RowPointer{4, 2}, &moved).ok()) << "a deleted row";

  // An overflow pointer past the file ends the scan with an error.
  db.PutDataPage(4, owner, {U32Bytes(RowPointer{900, 0}.Encode())}, {jet::kRowLookup});
  s = jet::ScanTable(*db.pager, def, [](jet::TableRow&) { return jet::Status::Ok(); });
  EXPECT_EQ(s.code(), jet::Code::kCorrupt);
}

INSTANTIATE_TEST_SUITE_P(Families, StructuresTest, ::testing::Values(jet_test::kJet3Family, jet_test::kJet4Family),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
