// The pieces of a built file, checked byte for byte or through our own
// reader: the header page, usage maps, rows, table definitions, and the
// builder's refusals. These need no outside program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "dbbuilder/header_page.h"
#include "dbbuilder/row_encoder.h"
#include "dbbuilder/table_definition.h"
#include "dbbuilder/usage_maps.h"
#include "jet/header.h"
#include "jet/tdef.h"
#include "tests/support/support.h"

namespace {

using namespace dbbuilder;
using testing_support::ReadBytes;
using testing_support::TempDir;

TEST(HeaderPage, OurReaderSeesFamilyCodePageDateAndNoPassword) {
  struct Case {
    FormatVersion format;
    int code_page;
    jet::Family family;
    const char* magic;
  };
  const Case cases[] = {
      {FormatVersion::kJet3, 1250, jet::Family::kJet3, "Standard Jet DB"},
      {FormatVersion::kJet3, 1252, jet::Family::kJet3, "Standard Jet DB"},
      {FormatVersion::kJet4, 1252, jet::Family::kJet4, "Standard Jet DB"},
      {FormatVersion::kAce12, 1252, jet::Family::kAce, "Standard ACE DB"},
      {FormatVersion::kAce14, 1252, jet::Family::kAce, "Standard ACE DB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(FormatName(c.format)) + " " + std::to_string(c.code_page));
    const Layout& layout = LayoutFor(c.format);
    auto built = HeaderPage(layout, c.code_page, DateTime{38143.546});
    ASSERT_TRUE(built.ok()) << built.status().message();
    const ByteVector& page = *built;
    ASSERT_EQ(page.size(), layout.page_size);
    EXPECT_EQ(std::string(page.begin() + 4, page.begin() + 19), c.magic);
    auto header = jet::ParseHeader(page);
    ASSERT_TRUE(header.ok()) << header.status().message();
    EXPECT_EQ(header->format.family, c.family);
    EXPECT_EQ(header->format.version, static_cast<uint8_t>(c.format));
    EXPECT_EQ(header->code_page, layout.family == jet::Family::kJet3 ? c.code_page : 1252);
    EXPECT_EQ(header->db_key, 0u);
    EXPECT_FALSE(header->has_password);
    EXPECT_FALSE(header->needs_password());
    if (layout.family != jet::Family::kJet3) {
      EXPECT_DOUBLE_EQ(header->creation_date, 38143.546);
      // Unmasked, the password field is only its date mask.
      auto plain = jet::ToggleHeaderMask(page, header->format);
      uint32_t mask = jet::PasswordMask(38143.546);
      for (size_t i = 0; i < layout.password_length; ++i)
        EXPECT_EQ(plain[jet::kHeaderPassword + i], static_cast<uint8_t>(mask >> (8 * (i % 4)))) << i;
    }
  }
}

// A database password goes into the header as our reader reads it back, the
// longest that fits too; one too long, or in an ACE file, is refused.
TEST(HeaderPage, PasswordReadsBack) {
  struct Case {
    FormatVersion format;
    int code_page;
    std::string password;
    bool built;
  };
  const Case cases[] = {
      {FormatVersion::kJet3, 1250, "Geslo-\xC4\x8D\xC5\xBE", true},  // č, ž in Windows-1250
      {FormatVersion::kJet3, 1252, std::string(20, 'x'), true},
      {FormatVersion::kJet3, 1252, std::string(21, 'x'), false},
      {FormatVersion::kJet4, 1252, "Geslo-\xC4\x8D\xC5\xBE", true},
      {FormatVersion::kJet4, 1252, std::string(20, 'y'), true},
      {FormatVersion::kJet4, 1252, std::string(21, 'y'), false},
      {FormatVersion::kAce12, 1252, "geslo", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(FormatName(c.format)) + " " + c.password);
    const Layout& layout = LayoutFor(c.format);
    auto page = HeaderPage(layout, c.code_page, DateTime{38143.546}, c.password);
    ASSERT_EQ(page.ok(), c.built) << page.status().message();
    if (!c.built) continue;
    auto header = jet::ParseHeader(*page);
    ASSERT_TRUE(header.ok());
    EXPECT_TRUE(header->has_password);
    EXPECT_EQ(jet::DatabasePassword(*page, *header), c.password);
  }
}

TEST(UsageMap, InlineMapsStartWhereThePagesAre) {
  struct Case {
    std::vector<uint32_t> pages;
    size_t bitmap_bytes;
    bool fits;
    uint32_t start;
    std::vector<size_t> set_bits;  // bit numbers from the start page
  };
  const Case cases[] = {
      {{}, 64, true, 0, {}},
      {{3, 4, 17}, 64, true, 0, {3, 4, 17}},
      {{511}, 64, true, 0, {511}},
      {{512}, 64, true, 512, {0}},          // past the bitmap from 0: start moves up
      {{515, 1000}, 64, true, 512, {3, 488}},
      {{10, 600}, 64, false, 0, {}},        // 590 pages apart: more than 512 bits
      {{1023}, 128, true, 0, {1023}},
  };
  for (const auto& c : cases) {
    auto map = InlineUsageMap(c.pages, c.bitmap_bytes);
    ASSERT_EQ(map.has_value(), c.fits);
    if (!map) continue;
    ASSERT_EQ(map->size(), 5 + c.bitmap_bytes);
    EXPECT_EQ((*map)[0], 0x00);
    EXPECT_EQ((*map)[1] | (*map)[2] << 8 | (*map)[3] << 16 | (*map)[4] << 24, static_cast<int>(c.start));
    std::vector<size_t> bits;
    for (size_t b = 0; b < c.bitmap_bytes * 8; ++b)
      if ((*map)[5 + b / 8] & (1 << (b % 8))) bits.push_back(b);
    EXPECT_EQ(bits, c.set_bits);
  }
}

TEST(RowEncoder, SmallRowsByteForByte) {
  // A long integer and a text: the fixed area, the text, then the offset
  // table from the end backwards and the null mask.
  struct Case {
    FormatVersion format;
    Row row;
    ByteVector expected;
  };
  const Case cases[] = {
      {FormatVersion::kJet4, {int64_t{7}, std::string("Abc")},  // compressed: shorter than UCS-2
       {0x02, 0x00, 0x07, 0x00, 0x00, 0x00, 0xFF, 0xFE, 'A', 'b', 'c', 0x0B, 0x00, 0x06, 0x00, 0x01, 0x00, 0x03}},
      {FormatVersion::kJet4, {int64_t{7}, std::string("Ab")},  // compressed would be no shorter
       {0x02, 0x00, 0x07, 0x00, 0x00, 0x00, 'A', 0x00, 'b', 0x00, 0x0A, 0x00, 0x06, 0x00, 0x01, 0x00, 0x03}},
      {FormatVersion::kJet4, {int64_t{7}, Value{}},
       {0x02, 0x00, 0x07, 0x00, 0x00, 0x00, 0x06, 0x00, 0x06, 0x00, 0x01, 0x00, 0x01}},
      {FormatVersion::kJet4, {Value{}, std::string("\xC4\x8D")},  // č has no one-byte form: plain UCS-2
       {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0D, 0x01, 0x08, 0x00, 0x06, 0x00, 0x01, 0x00, 0x02}},
      {FormatVersion::kJet3, {int64_t{7}, std::string("Ab")},
       {0x02, 0x07, 0x00, 0x00, 0x00, 'A', 'b', 0x07, 0x05, 0x01, 0x03}},
      {FormatVersion::kJet3, {int64_t{-1}, std::string("\xC4\x8D")},  // č in Windows-1250
       {0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xE8, 0x06, 0x05, 0x01, 0x03}},
  };
  for (const auto& c : cases) {
    const Layout& layout = LayoutFor(c.format);
    auto plan = PlanTable(layout, {MakeColumn("ID", ColumnType::kLong), MakeColumn("T", ColumnType::kText, 10)}, false);
    ASSERT_TRUE(plan.ok());
    std::vector<Cell> cells;
    for (const auto& column : plan->columns) {
      auto cell = EncodeValue(layout, 1250, column, c.row[column.number]);
      ASSERT_TRUE(cell.ok()) << cell.status().message();
      cells.push_back(cell.value());
    }
    auto row = EncodeRow(layout, plan.value(), cells);
    ASSERT_TRUE(row.ok());
    EXPECT_EQ(row.value(), c.expected) << FormatName(c.format);
    EXPECT_EQ(RowLength(layout, plan.value(), cells), c.expected.size());
  }
}

TEST(RowEncoder, Jet3JumpTableCountsEveryStepOfTheRow) {
  // Three texts of 200 bytes start at 5, 205 and 405, and the data ends at
  // 605; with its tail the row is over 512 bytes, so it has two jumps.
  const Layout& layout = LayoutFor(FormatVersion::kJet3);
  auto plan = PlanTable(layout,
                        {MakeColumn("ID", ColumnType::kLong), MakeColumn("A", ColumnType::kText, 255),
                         MakeColumn("B", ColumnType::kText, 255), MakeColumn("C", ColumnType::kText, 255)},
                        false);
  ASSERT_TRUE(plan.ok());
  std::vector<Cell> cells(4);
  cells[0] = {true, ByteVector(4, 0)};
  for (int i = 1; i <= 3; ++i) cells[i] = {true, ByteVector(200, static_cast<uint8_t>('a' + i))};
  auto row = EncodeRow(layout, plan.value(), cells);
  ASSERT_TRUE(row.ok());
  const ByteVector& r = row.value();
  ASSERT_EQ(r.size(), 605u + 1 + 3 + 2 + 1 + 1);  // eod, three offsets, two jumps, count, mask
  EXPECT_EQ(r[605], 605 & 0xFF);      // eod
  EXPECT_EQ(r[606], 405 & 0xFF);      // C
  EXPECT_EQ(r[607], 205 & 0xFF);      // B
  EXPECT_EQ(r[608], 5);               // A
  EXPECT_EQ(r[609], 3);               // the first at or past 512 is the end (slot 3)
  EXPECT_EQ(r[610], 2);               // the first at or past 256 is C
  EXPECT_EQ(r[611], 3);               // variable columns
  EXPECT_EQ(r[612], 0x0F);            // none null
}

TEST(TableDefinition, OurReaderSeesTheColumnsAsPlanned) {
  for (FormatVersion format : {FormatVersion::kJet3, FormatVersion::kJet4}) {
    SCOPED_TRACE(FormatName(format));
    const Layout& layout = LayoutFor(format);
    Column id = MakeColumn("ID", ColumnType::kLong);
    id.auto_number = true;
    auto plan = PlanTable(layout,
                          {id, MakeColumn("Naziv", ColumnType::kText, 100), MakeColumn("Da", ColumnType::kBoolean),
                           MakeColumn("Opis", ColumnType::kMemo), MakeColumn("Cena", ColumnType::kCurrency)},
                          false);
    ASSERT_TRUE(plan.ok());
    TableDefinition def;
    def.plan = &plan.value();
    def.rows = 42;
    def.used_map = RowPointer(9, 1);
    def.free_map = RowPointer(9, 2);
    def.long_value_maps = {{3, RowPointer(9, 3), RowPointer(9, 4)}};
    def.code_page = 1250;
    auto bytes = EncodeTableDefinition(layout, def);
    ASSERT_TRUE(bytes.ok());
    auto parsed = jet::ParseTableDefinition(bytes.value(), jet::FormatForVersion(static_cast<uint8_t>(format)).value(), 1250);
    ASSERT_TRUE(parsed.ok()) << parsed.status().message();
    EXPECT_EQ(parsed->num_rows, 42u);
    EXPECT_EQ(parsed->table_type, layout.table_type_user);
    EXPECT_EQ(parsed->num_cols, 5);
    EXPECT_EQ(parsed->num_var_cols, 2);
    EXPECT_EQ(parsed->used_pages, jet::RowPointer::Decode(RowPointer(9, 1)));
    EXPECT_EQ(parsed->free_pages, jet::RowPointer::Decode(RowPointer(9, 2)));
    struct Expect {
      const char* name;
      uint8_t type;
      uint16_t var_index, fixed_offset, length;
    };
    const Expect expect[] = {{"ID", jet::kColLong, 0, 0, 4},
                             {"Naziv", jet::kColText, 0, 0, static_cast<uint16_t>(layout.family == jet::Family::kJet3 ? 100 : 200)},
                             {"Da", jet::kColBool, 1, 4, 1},
                             {"Opis", jet::kColMemo, 1, 0, 0},
                             {"Cena", jet::kColMoney, 2, 4, 8}};
    ASSERT_EQ(parsed->columns.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
      const auto& col = parsed->columns[i];
      EXPECT_EQ(col.name, expect[i].name);
      EXPECT_EQ(col.type, expect[i].type);
      EXPECT_EQ(col.number, i);
      if (!col.fixed(layout)) {
        EXPECT_EQ(col.var_index, expect[i].var_index) << col.name;
      }
      if (col.fixed(layout) && col.type != jet::kColBool) {
        EXPECT_EQ(col.fixed_offset, expect[i].fixed_offset) << col.name;
      }
      EXPECT_EQ(col.length, expect[i].length) << col.name;
    }
    EXPECT_TRUE(parsed->columns[0].flags & layout.col_flag_auto_long);
  }
}

TEST(TableDefinition, LongDefinitionsChainOverPages) {
  for (FormatVersion format : {FormatVersion::kJet3, FormatVersion::kJet4}) {
    const Layout& layout = LayoutFor(format);
    std::vector<Column> columns;
    for (int i = 0; i < 200; ++i)
      columns.push_back(MakeColumn("Stolpec_z_dolgim_imenom_" + std::to_string(i), ColumnType::kText, 20));
    auto plan = PlanTable(layout, columns, false);
    ASSERT_TRUE(plan.ok());
    TableDefinition def;
    def.plan = &plan.value();
    auto bytes = EncodeTableDefinition(layout, def);
    ASSERT_TRUE(bytes.ok());
    uint32_t count = TableDefinitionPageCount(layout, bytes->size());
    ASSERT_GT(count, 1u);
    std::vector<uint32_t> numbers;
    for (uint32_t i = 0; i < count; ++i) numbers.push_back(100 + 3 * i);
    auto pages = TableDefinitionPages(layout, bytes.value(), numbers);
    ASSERT_EQ(pages.size(), count);
    ByteVector joined;
    for (size_t i = 0; i < pages.size(); ++i) {
      const ByteVector& p = pages[i];
      EXPECT_EQ(p[0], 0x02);
      uint32_t next = p[4] | p[5] << 8 | p[6] << 16 | static_cast<uint32_t>(p[7]) << 24;
      EXPECT_EQ(next, i + 1 < numbers.size() ? numbers[i + 1] : 0u);
      joined.insert(joined.end(), p.begin() + (i == 0 ? 0 : 8), p.end());
    }
    joined.resize(bytes->size());
    for (size_t k = 8; k < joined.size(); ++k) ASSERT_EQ(joined[k], (*bytes)[k]) << k;
    auto parsed = jet::ParseTableDefinition(joined, jet::FormatForVersion(static_cast<uint8_t>(format)).value(), 1252);
    ASSERT_TRUE(parsed.ok()) << parsed.status().message();
    EXPECT_EQ(parsed->columns.back().name, "Stolpec_z_dolgim_imenom_199");
  }
}

TEST(Builder, RefusesWhatTheFormatCannotHold) {
  TempDir dir;
  auto with_table = [](FormatVersion format, int code_page, std::vector<Column> columns, std::vector<Row> rows) {
    DatabaseSpec described;
    described.format = format;
    described.code_page = code_page;
    Table t;
    t.name = "T";
    t.columns = std::move(columns);
    t.rows = std::move(rows);
    described.AddTable(t);
    return described;
  };
  DatabaseSpec duplicate = BackEnd(FormatVersion::kJet4);
  Link same;
  same.name = "PARTNER";
  same.database = kOldBackEnd;
  duplicate.AddLink(same);
  DatabaseSpec system_name = BackEnd(FormatVersion::kJet4);
  Link msys;
  msys.name = "MSysObjects";
  system_name.AddLink(msys);
  Column auto_text = MakeColumn("A", ColumnType::kText);
  auto_text.auto_number = true;
  Column forced_inline = MakeColumn("M", ColumnType::kMemo);
  forced_inline.placement = LongValuePlacement::kInline;

  struct Case {
    const char* what;
    DatabaseSpec described;
  };
  const Case cases[] = {
      {"names differing only in case", duplicate},
      {"a system table's name", system_name},
      {"a Jet3 code page other than 1250 and 1252", with_table(FormatVersion::kJet3, 1251, {MakeColumn("A", ColumnType::kLong)}, {})},
      {"text longer than its column", with_table(FormatVersion::kJet4, 1252, {MakeColumn("A", ColumnType::kText, 3)}, {{std::string("abcd")}})},
      {"text the code page lacks", with_table(FormatVersion::kJet3, 1252, {MakeColumn("A", ColumnType::kText)}, {{std::string("\xC4\x8D")}})},
      {"a value of another type", with_table(FormatVersion::kJet4, 1252, {MakeColumn("A", ColumnType::kLong)}, {{std::string("1")}})},
      {"a byte out of range", with_table(FormatVersion::kJet4, 1252, {MakeColumn("A", ColumnType::kByte)}, {{int64_t{256}}})},
      {"a counting text column", with_table(FormatVersion::kJet4, 1252, {auto_text}, {})},
      {"a row with too few values", with_table(FormatVersion::kJet4, 1252, {MakeColumn("A", ColumnType::kLong)}, {{}})},
      {"an inline memo longer than a page", with_table(FormatVersion::kJet4, 1252, {forced_inline}, {{std::string(5000, 'x')}})},
  };
  for (const auto& c : cases) {
    auto built = WriteDatabase(c.described, (dir / "refused.mdb").string());
    EXPECT_FALSE(built.ok()) << c.what;
    if (built.ok()) continue;
    EXPECT_EQ(built.status().code(), jet::Code::kInvalidArgument) << c.what;
  }
}

TEST(Builder, SameSpecSameBytes) {
  TempDir dir;
  FrontEndOptions o;
  o.extra_links = 50;
  o.desktop_lv = true;
  ASSERT_TRUE(WriteDatabase(FrontEnd(o), (dir / "a.mdb").string()).ok());
  ASSERT_TRUE(WriteDatabase(FrontEnd(o), (dir / "b.mdb").string()).ok());
  EXPECT_EQ(ReadBytes(dir / "a.mdb"), ReadBytes(dir / "b.mdb"));
}

TEST(Builder, ReportsWhereCatalogRowsLanded) {
  TempDir dir;
  auto built = WriteDatabase(FrontEnd({}), (dir / "MLQ.mdb").string());
  ASSERT_TRUE(built.ok());
  const auto* partner = built->Find("Partner");
  const auto* tables = built->Find("Tables");
  const auto* local = built->Find("Nastavitve");
  ASSERT_TRUE(partner && tables && local);
  EXPECT_EQ(tables->id, 0x0F000001);
  EXPECT_GT(local->id, 5) << "a local table's id is its definition page";
  EXPECT_LT(partner->id, 0) << "links are numbered from 0x80000000";
  auto file = ReadBytes(dir / "MLQ.mdb");
  EXPECT_EQ(file.size(), uint64_t{built->page_count} * built->page_size);
  EXPECT_EQ(file[static_cast<uint64_t>(local->id) * built->page_size], 0x02) << "Nastavitve's definition page";
  EXPECT_EQ(file[uint64_t{partner->page} * built->page_size], 0x01);
  EXPECT_EQ(file[2 * built->page_size], 0x02) << "the catalog's definition at page 2";
}

}  // namespace
