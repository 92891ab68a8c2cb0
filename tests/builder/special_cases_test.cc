// The front-ends no shared file has: a catalog over many pages, Partner on a
// page with no room left, paths stored out of row, desktop-style Lv values,
// and a local table large enough for a paged usage map. Each is read back by
// both independent readers and by our engine.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "tests/builder/format_param.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/support.h"

namespace {

using namespace dbbuilder;
using testing_support::HaveMdbReader;
using testing_support::HaveMdbTools;
using testing_support::MdbExport;
using testing_support::MdbReaderCatalog;
using testing_support::ReadBytes;
using testing_support::TempDir;

struct Page {
  std::vector<uint8_t> bytes;
  uint16_t U16(size_t at) const { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); }
  uint32_t U32(size_t at) const { return U16(at) | uint32_t{U16(at + 2)} << 16; }
};

Page ReadPage(const std::vector<uint8_t>& file, uint32_t page_size, uint32_t number) {
  auto from = file.begin() + static_cast<std::ptrdiff_t>(uint64_t{number} * page_size);
  return Page{std::vector<uint8_t>(from, from + page_size)};
}

// The bytes of one row, from the page's offset table.
std::vector<uint8_t> RowBytes(const Page& page, const Layout& layout, uint8_t row) {
  size_t start = page.U16(layout.data_row_offsets + 2 * row) & 0x1FFF;
  size_t end = row == 0 ? layout.page_size : page.U16(layout.data_row_offsets + 2 * (row - 1)) & 0x1FFF;
  return std::vector<uint8_t>(page.bytes.begin() + static_cast<std::ptrdiff_t>(start),
                              page.bytes.begin() + static_cast<std::ptrdiff_t>(end));
}

bool Contains(const std::vector<uint8_t>& hay, const std::vector<uint8_t>& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

std::vector<uint8_t> Ucs2(const std::string& ascii) {
  std::vector<uint8_t> out;
  for (char c : ascii) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

std::string EngineConnect(const std::string& file, const std::string& table) {
  auto db = engine::DBEngine::Instance().OpenDatabase(file);
  std::string connect = db->TableDefs().Item(table).Connect();
  db->Close();
  return connect;
}

const testing_support::OracleObject* Find(const std::vector<testing_support::OracleObject>& all, const std::string& name) {
  for (const auto& o : all)
    if (o.name == name) return &o;
  return nullptr;
}

class SpecialCase : public testing_support::ReadBackTest<FormatVersion> {
 protected:
  const Layout& layout() const { return LayoutFor(GetParam()); }
  FrontEndOptions Options() const {
    FrontEndOptions o;
    o.format = GetParam();
    return o;
  }
  std::string Build(const DatabaseSpec& described, BuildReport* report = nullptr) {
    return ReadBackTest::Build(described, "MLQ.mdb", report);
  }
};

TEST_P(SpecialCase, ThousandsOfLinksSpanManyCatalogPages) {
  FrontEndOptions o = Options();
  o.extra_links = 2500;
  o.partner_after = 1234;
  BuildReport report;
  std::string path = Build(FrontEnd(o), &report);

  std::set<uint32_t> catalog_pages;
  for (const auto& row : report.catalog) catalog_pages.insert(row.page);
  EXPECT_GT(catalog_pages.size(), 20u);

  auto catalog = MdbReaderCatalog(path);
  EXPECT_EQ(catalog.size(), 4u + 1 + 2500 + 2);  // system tables, Nastavitve, T0001.., Partner and Artikli
  size_t after = 0;
  for (size_t i = 0; i < catalog.size(); ++i)
    if (catalog[i].name == "T1234") after = i + 1;
  ASSERT_LT(after, catalog.size());
  EXPECT_EQ(catalog[after].name, "Partner");
  EXPECT_EQ(Find(catalog, "T2500")->database, kOldBackEnd);

  std::string exported = MdbExport(path, "MSysObjects");
  EXPECT_EQ(std::count(exported.begin(), exported.end(), '\n'), 1 + 8 + 1 + 2500 + 2);
  EXPECT_EQ(EngineConnect(path, "Partner"), std::string(";DATABASE=") + kOldBackEnd);
  EXPECT_EQ(EngineConnect(path, "T0001"), std::string(";DATABASE=") + kOldBackEnd);
}

TEST_P(SpecialCase, PartnerRowLeavesItsPageFull) {
  for (int after : {0, 7, 40}) {  // different amounts of room before Partner
    SCOPED_TRACE(after);
    FrontEndOptions o = Options();
    o.extra_links = 60;
    o.partner_after = after;
    o.partner_fills_page = true;
    BuildReport report;
    std::string path = Build(FrontEnd(o), &report);
    const auto* partner = report.Find("Partner");
    const auto* filler = report.Find(kFillerLinkName);
    ASSERT_NE(partner, nullptr);
    ASSERT_NE(filler, nullptr);
    EXPECT_EQ(partner->page, filler->page);

    auto file = ReadBytes(path);
    Page page = ReadPage(file, layout().page_size, partner->page);
    EXPECT_EQ(page.bytes[0], 0x01);
    EXPECT_EQ(page.U32(4), 2u) << "a catalog page";
    EXPECT_EQ(page.U16(2), 0) << "free space";
    uint16_t rows = page.U16(layout().data_row_count);
    EXPECT_EQ(page.U16(layout().data_row_offsets + 2 * (rows - 1)), layout().data_row_offsets + 2 * rows)
        << "the last row starts right after the offset table";

    auto catalog = MdbReaderCatalog(path);
    ASSERT_NE(Find(catalog, "Partner"), nullptr);
    EXPECT_EQ(Find(catalog, "Partner")->database, kOldBackEnd);
    EXPECT_EQ(Find(catalog, "T0060")->database, kOldBackEnd);
    EXPECT_EQ(EngineConnect(path, "Partner"), std::string(";DATABASE=") + kOldBackEnd);
  }
}

TEST_P(SpecialCase, PathsStoredOutOfRow) {
  FrontEndOptions o = Options();
  o.database_out_of_row = true;
  const std::string long_path = "\\\\streznik\\" + std::string(900, 'p') + "\\PARTNER.MDB";
  o.links = {{"Partner", long_path}, {"Artikli", kOldBackEnd}};
  BuildReport report;
  std::string path = Build(FrontEnd(o), &report);

  auto file = ReadBytes(path);
  const auto* partner = report.Find("Partner");
  ASSERT_NE(partner, nullptr);
  auto row = RowBytes(ReadPage(file, layout().page_size, partner->page), layout(), partner->row);
  std::vector<uint8_t> stored = layout().family == jet::Family::kJet3 ? std::vector<uint8_t>(long_path.begin(), long_path.end()) : Ucs2(long_path);
  EXPECT_FALSE(Contains(row, stored)) << "the path is not in the row";
  bool on_long_value_page = false;
  for (uint32_t p = 0; p < report.page_count; ++p) {
    Page page = ReadPage(file, layout().page_size, p);
    if (page.bytes[0] == 0x01 && page.U32(4) == 0x4C41564C && Contains(page.bytes, stored)) on_long_value_page = true;
  }
  EXPECT_TRUE(on_long_value_page);

  auto catalog = MdbReaderCatalog(path);
  EXPECT_EQ(Find(catalog, "Partner")->database, long_path);
  EXPECT_EQ(Find(catalog, "Artikli")->database, kOldBackEnd);
  EXPECT_NE(MdbExport(path, "MSysObjects").find(long_path), std::string::npos);
  EXPECT_EQ(EngineConnect(path, "Partner"), ";DATABASE=" + long_path);
}

TEST_P(SpecialCase, DesktopStyleLvAndOdbcLinks) {
  DatabaseSpec described = FrontEnd(Options());
  for (auto& object : described.objects)
    if (auto* link = std::get_if<Link>(&object)) link->lv = DesktopStyleLv(link->database, link->foreign_name);
  Link odbc;
  odbc.name = "Ordrar";
  odbc.kind = LinkKind::kOdbc;
  odbc.connect = "DSN=Skladisce;UID=mlq;DATABASE=zaloga";
  odbc.foreign_name = "dbo.Ordrar";
  described.AddLink(odbc);
  std::string path = Build(described);

  auto catalog = MdbReaderCatalog(path);
  const auto* partner = Find(catalog, "Partner");
  ASSERT_NE(partner, nullptr);
  EXPECT_FALSE(partner->lv_null);
  EXPECT_EQ(partner->database, kOldBackEnd);
  const auto* ordrar = Find(catalog, "Ordrar");
  ASSERT_NE(ordrar, nullptr);
  EXPECT_EQ(ordrar->type, 4);
  EXPECT_TRUE(ordrar->database_null);
  EXPECT_EQ(ordrar->connect, "DSN=Skladisce;UID=mlq;DATABASE=zaloga");
  EXPECT_EQ(ordrar->foreign_name, "dbo.Ordrar");
  EXPECT_TRUE(ordrar->lv_null);
  EXPECT_EQ(EngineConnect(path, "Ordrar"), "ODBC;DSN=Skladisce;UID=mlq;DATABASE=zaloga");
}

TEST_P(SpecialCase, LocalTableBeyondAnInlineUsageMap) {
  // More data pages than a type 0 map can cover: the map goes to map pages.
  FrontEndOptions o = Options();
  o.local_table_bytes = 6u << 20;
  std::string path = Build(FrontEnd(o));
  auto catalog = MdbReaderCatalog(path);
  const auto* table = Find(catalog, "Podatki");
  ASSERT_NE(table, nullptr);
  const uint64_t per_page = (layout().page_size - layout().data_row_offsets) /
                            (layout().family == jet::Family::kJet3 ? 104 + 2 : 124 + 2);  // rows of fixed length
  EXPECT_GT(table->rows, 0);
  EXPECT_GT(static_cast<uint64_t>(table->rows) / per_page, layout().usage_map_bitmap * 8);
  std::string exported = MdbExport(path, "Podatki");
  EXPECT_EQ(std::count(exported.begin(), exported.end(), '\n'), table->rows + 1);
  std::string last = "\"Vrstica " + std::string(10 - std::to_string(table->rows).size(), '0') + std::to_string(table->rows) + "\"";
  EXPECT_NE(exported.find(last), std::string::npos) << last;
}

INSTANTIATE_TEST_SUITE_P(Families, SpecialCase, ::testing::Values(FormatVersion::kJet3, FormatVersion::kJet4, FormatVersion::kAce12),
                         [](const auto& info) { return std::string(FormatName(info.param)); });

}  // namespace
