// The writer on pages the desktop program wrote (Access 97 to 2010): catalog
// rows of real files rewritten with a short and a long Connect value and a
// new DateUpdate, in one change; the independent readers see exactly that.
#include <cstring>

#include "jet/catalog.h"
#include "jet/header.h"
#include "jet/long_value.h"
#include "jet/long_value_writer.h"
#include "jet/page_transaction.h"
#include "jet/row.h"
#include "jet/row_writer.h"
#include "jet/table_scan.h"
#include "jet/table_writer.h"
#include "jet/text.h"
#include "tests/support/support.h"
#include "tests/write/oracle_tables.h"

namespace {

using namespace testing_support;

std::vector<uint8_t> DoubleBytes(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  std::vector<uint8_t> out(8);
  jet::StoreU64(out.data(), bits);
  return out;
}

// Sets Connect and DateUpdate of the catalog rows of `tables` (Connect of
// the n-th: `lengths[n]` letters), as one committed change.
void Rewrite(const fs::path& file, const std::vector<std::string>& tables, const std::vector<size_t>& lengths) {
  jet::Env& env = jet::Env::Default();
  auto f = env.Open(file.string(), jet::OpenMode::kReadWrite);
  ASSERT_TRUE(f.ok());
  ASSERT_TRUE((*f)->Lock().ok());
  std::vector<uint8_t> page0(4096);
  ASSERT_TRUE((*f)->ReadAt(0, page0).ok());
  auto h = jet::ParseHeader(page0);
  ASSERT_TRUE(h.ok());
  jet::Pager pager(**f, h->format, h->pages_encrypted() ? h->db_key : 0, *(*f)->Size(), nullptr);
  auto catalog = jet::ReadCatalog(pager, h->code_page);
  ASSERT_TRUE(catalog.ok()) << catalog.status().message();
  const jet::TableDefinition& def = catalog->def;
  auto tdef = jet::ReadTableDefinitionBytes(pager, jet::kCatalogPage, nullptr);
  ASSERT_TRUE(tdef.ok());
  auto maps = jet::ParseLongValueMaps(*tdef, def, h->format);
  ASSERT_TRUE(maps.ok()) << maps.status().message();
  const int connect = def.IndexOf("Connect"), date = def.IndexOf("DateUpdate");
  const jet::LongValueMaps* connect_maps = nullptr;
  for (const auto& m : *maps)
    if (m.column_number == def.columns[static_cast<size_t>(connect)].number) connect_maps = &m;
  ASSERT_TRUE(connect_maps);

  jet::PageTransaction tx(pager);
  jet::LongValueWriter long_values(tx, *connect_maps);
  jet::RowSpace rows(tx, jet::kCatalogPage, def.used_pages, def.free_pages);
  for (size_t i = 0; i < tables.size(); ++i) {
    const jet::CatalogObject* o = catalog->FindTable(tables[i]);
    ASSERT_TRUE(o) << tables[i];
    std::optional<jet::RowPointer> moved;
    auto row = jet::ReadRowAt(pager, o->location, &moved);
    ASSERT_TRUE(row.ok());
    auto text = jet::EncodeText(std::string(lengths[i], static_cast<char>('a' + i)), h->format, h->code_page, false);
    ASSERT_TRUE(text.ok());
    auto field = long_values.Write(*text);
    ASSERT_TRUE(field.ok()) << field.status().message();
    const std::vector<jet::ColumnValue> values = {{static_cast<size_t>(connect), false, false, *field},
                                                  {static_cast<size_t>(date), false, false, DoubleBytes(40000.5 + i)}};
    auto new_row = jet::RewriteRow(*row, def, h->format, values);
    ASSERT_TRUE(new_row.ok()) << new_row.status().message();
    ASSERT_TRUE(jet::ReplaceRow(tx, rows, o->location, moved, *new_row).ok());
  }
  jet::CommitStats stats;
  ASSERT_TRUE(tx.Commit(env, file.string(), &stats).ok());
  EXPECT_LE(stats.pages_written, 6u) << file;
}

TEST(CatalogRows, RealFilesTakeNewValuesAndKeepEverythingElse) {
  SKIP_WITHOUT_SHARED();
  if (!HaveMdbReader()) GTEST_SKIP() << "mdb-reader is not installed: no independent reader";
  struct Case {
    std::string file;
    std::vector<std::string> tables;
  };
  const std::vector<Case> cases = {
      {"jet3/V1997-test.mdb", {"Table1", "Table2", "Table3"}},
      {"jet3/indexTestV1997.mdb", {"Table1", "Table2", "Table3"}},
      {"jet3/overflowTestV1997.mdb", {"Table1"}},
      {"jet4/V2003_no-password.mdb", {"Table1"}},
      {"jet4/testUnicodeCompV2003.mdb", {"Table"}},
      {"jet4/overflowTestV2000.mdb", {"Table1"}},
      {"ace/testV2007.accdb", {"Table1", "Table2", "Table3"}},
      {"ace/V2010-test.accdb", {"Table2", "Table4"}},
  };
  const std::vector<size_t> lengths = {20, 700, 5000};  // in the row, one long value row, a chain
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path file = CopyInto(SharedDir() / "corpus" / c.file, dir.path());
    const auto before = write_test::MdbReaderTables(file);
    Rewrite(file, c.tables, lengths);
    const auto after = write_test::MdbReaderTables(file);
    write_test::ExpectOnlyLinkColumnsChanged(before, after, std::set<std::string>(c.tables.begin(), c.tables.end()),
                                             "mdb-reader on " + c.file);
    for (size_t i = 0; i < c.tables.size(); ++i) {
      const write_test::Row* row = write_test::CatalogRow(after, c.tables[i], "\"");
      ASSERT_TRUE(row) << c.file;
      EXPECT_EQ(row->at("Connect"), "\"" + std::string(lengths[i], static_cast<char>('a' + i)) + "\"")
          << c.file << " " << c.tables[i];
    }
    if (HaveMdbTools()) {
      // mdbtools reads the long values too (it prints text as it is).
      auto r = testing_support::Run("mdb-export " + ShellQuote(file.string()) + " MSysObjects");
      EXPECT_EQ(r.status, 0);
      for (size_t i = 0; i < c.tables.size(); ++i)
        EXPECT_NE(r.out.find(std::string(lengths[i], static_cast<char>('a' + i))), std::string::npos) << c.file;
    }
  }
}

}  // namespace
