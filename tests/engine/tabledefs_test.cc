// TableDefs and TableDef.Connect on the real front-ends: the links read as
// stored, names found without regard to case, and what reading one costs.
#include <unistd.h>

#include "dbbuilder/cases.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;

// The front-end of a built fixture folder, read only.
std::string BuiltFront(const std::string& folder) { return BuiltOnce(folder).string(); }

TEST(Connect, PartnerOfEveryFixtureReadsAsStored) {
  SKIP_WITHOUT_SHARED();
  struct Case {
    const char* folder;
    std::string connect;  // "-" : no table Partner
  };
  const Case cases[] = {
      {"v2000-basic", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"v2003-basic", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"v2007-basic", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"v2003-big", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"v2003-local-partner", ""},
      {"v2003-no-partner", "-"},
      {"v2003-password-link", "MS Access;PWD=geslo;DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"v2003-unicode-path", ";DATABASE=C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB"},
      {"v2003-long-path", ";DATABASE=" + LongBackEndPath()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    auto db = engine::DBEngine::Instance().OpenDatabase((SharedDir() / "fixtures" / c.folder / "MLQ.mdb").string());
    if (c.connect == "-") {
      EXPECT_EQ(ErrorNumber([&] { db->TableDefs().Item("Partner"); }), 3265);
      continue;
    }
    EXPECT_EQ(db->TableDefs().Item("Partner").Connect(), c.connect);
  }
}

TEST(Connect, CorpusLinksOfBothKinds) {
  SKIP_WITHOUT_SHARED();
  const fs::path ace = SharedDir() / "corpus" / "ace";
  auto linker = engine::DBEngine::Instance().OpenDatabase((ace / "linkerTestV2007.accdb").string());
  EXPECT_EQ(linker->TableDefs().Item("Table2").Connect(), ";DATABASE=Z:\\jackcess_test\\linkeeTest.accdb");
  EXPECT_EQ(linker->TableDefs().Item("Table1").Connect(), "");
  auto odbc = engine::DBEngine::Instance().OpenDatabase((ace / "odbcLinkerTestV2007.accdb").string());
  const std::string connect = odbc->TableDefs().Item("Ordrar").Connect();
  EXPECT_EQ(connect.rfind("ODBC;DSN=Magnapinna;", 0), 0u) << connect;
}

TEST(TableDefs, FindsNamesWithoutRegardToCaseAndKeepsSystemTables) {
  auto db = engine::DBEngine::Instance().OpenDatabase(BuiltFront("v2003-basic"));
  engine::TableDefs& defs = db->TableDefs();
  for (const char* name : {"Partner", "PARTNER", "partner", "pArTnEr"}) EXPECT_EQ(defs.Item(name).Name(), "Partner");
  EXPECT_EQ(defs.Item("msysobjects").Name(), "MSysObjects");
  EXPECT_TRUE(defs.Item("MSysObjects").Entry().system);
  for (const char* missing : {"Partne", "Partner ", "", "Queries"})
    EXPECT_EQ(ErrorNumber([&] { defs.Item(missing); }), 3265) << missing;
  size_t links = 0;
  for (auto& def : defs) links += def->Entry().type == 6;
  EXPECT_EQ(links, 2u);  // Partner and Artikli
}

TEST(TableDefs, AWrittenConnectReadsBackUntilStored) {
  auto db = engine::DBEngine::Instance().OpenDatabase(BuiltFront("v2003-basic"));
  engine::TableDef& partner = db->TableDefs().Item("Partner");
  partner.SetConnect(";DATABASE=D:\\Data\\PARTNER.MDB");
  EXPECT_EQ(partner.Connect(), ";DATABASE=D:\\Data\\PARTNER.MDB");
  EXPECT_TRUE(partner.HasPendingConnect());
  engine::CatalogEntry stored = partner.Entry();
  stored.database = "E:\\X.MDB";
  partner.Stored(stored);
  EXPECT_FALSE(partner.HasPendingConnect());
  EXPECT_EQ(partner.Connect(), ";DATABASE=E:\\X.MDB");
}

TEST(Database, ClosedDatabaseRefusesUse) {
  auto db = engine::DBEngine::Instance().OpenDatabase(BuiltFront("v2003-basic"));
  db->Close();
  EXPECT_EQ(ErrorNumber([&] { db->TableDefs(); }), 3420);
}

TEST(Database, NameWithoutFolderIsLookedUpInTheWorkingDirectory) {
  TempDir dir;
  fs::copy_file(BuiltFront("v2003-basic"), dir / "MLQ.mdb");
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  std::string path;
  std::string connect;
  try {
    auto db = engine::DBEngine::Instance().OpenDatabase("MLQ.mdB");  // as the window names it
    path = db->Path();
    connect = db->TableDefs().Item("Partner").Connect();
  } catch (const engine::EngineError& e) {
    ADD_FAILURE() << e.description();
  }
  fs::current_path(before);
  EXPECT_EQ(path, (fs::canonical(dir.path()) / "MLQ.mdb").string());
  EXPECT_EQ(connect, ";DATABASE=C:\\MLQ\\PARTNER.MDB");
}

// Opening a front-end and reading one link reads the header, the catalog's
// definition, its usage map, its data pages and the long values of its rows:
// a number of pages that follows the catalog, not the file.
TEST(Cost, OpeningAndReadingOneLinkReadsPagesInProportionToTheCatalog) {
  TempDir dir;
  dbbuilder::FrontEndOptions large;
  large.local_table_bytes = 3 << 20;
  struct Case {
    std::string file;
    uint64_t most_pages;
  };
  const Case cases[] = {
      {BuiltFront("v2003-basic"), 8},  // one catalog page
      {BuiltFront("v2007-basic"), 8},
      {BuiltFront("v2003-big"), 40},  // 624 catalog rows on many pages, and their paths
      {Built(dbbuilder::FrontEnd(large), dir / "large.mdb"), 8},  // a small catalog in a file of 3 MiB
  };
  for (const Case& c : cases) {
    const uint64_t before = engine::DBEngine::Instance().Counters().pages_read;
    auto db = engine::DBEngine::Instance().OpenDatabase(c.file);
    engine::TableDefs& defs = db->TableDefs();
    if (defs.Count() > 0) defs.At(defs.Count() - 1).Connect();
    const uint64_t read = engine::DBEngine::Instance().Counters().pages_read - before;
    EXPECT_LE(read, c.most_pages) << c.file;
    EXPECT_GT(read, 2u) << c.file;
  }
}

}  // namespace

// ForEachTable against TableDefs: the same rows and link strings in the same
// order, whether or not TableDefs was built (then a pending link shows).
TEST(Database, ForEachTableVisitsWhatTableDefsHolds) {
  std::vector<std::string> files = {BuiltFront("v2003-basic"), BuiltFront("v2003-password-link")};
  if (!SharedDir().empty()) files.push_back((SharedDir() / "corpus/ace/odbcLinkerTestV2007.accdb").string());
  for (const std::string& file : files) {
    const std::string& path = file;
    struct Seen {
      engine::CatalogEntry entry;
      std::string connect;
    };
    std::vector<Seen> visited;
    auto fresh = engine::DBEngine::Instance().OpenDatabase(path);
    fresh->ForEachTable([&](const engine::CatalogEntry& e, const std::string& c) { visited.push_back({e, c}); });
    auto db = engine::DBEngine::Instance().OpenDatabase(path);
    engine::TableDefs& defs = db->TableDefs();
    ASSERT_EQ(visited.size(), defs.Count()) << file;
    for (size_t i = 0; i < visited.size(); ++i) {
      const engine::CatalogEntry& want = defs.At(i).Entry();
      const engine::CatalogEntry& got = visited[i].entry;
      EXPECT_EQ(got.name, want.name) << file;
      EXPECT_EQ(got.type, want.type) << want.name;
      EXPECT_EQ(got.system, want.system) << want.name;
      EXPECT_EQ(got.flags, want.flags) << want.name;
      EXPECT_EQ(got.database, want.database) << want.name;
      EXPECT_EQ(got.connect, want.connect) << want.name;
      EXPECT_EQ(got.foreign_name, want.foreign_name) << want.name;
      EXPECT_EQ(got.row_count, want.row_count) << want.name;
      EXPECT_EQ(visited[i].connect, defs.At(i).Connect()) << want.name;
    }
  }
  auto db = engine::DBEngine::Instance().OpenDatabase(files[0]);
  db->TableDefs().Item("Partner").SetConnect(";DATABASE=D:\\Data\\PARTNER.MDB");
  std::string partner;
  db->ForEachTable([&](const engine::CatalogEntry& e, const std::string& c) {
    if (e.name == "Partner") partner = c;
  });
  EXPECT_EQ(partner, ";DATABASE=D:\\Data\\PARTNER.MDB");
  db->Close();
  EXPECT_EQ(ErrorNumber([&] { db->ForEachTable([](const engine::CatalogEntry&, const std::string&) {}); }), 3420);
}
