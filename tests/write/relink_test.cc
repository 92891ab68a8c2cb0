// Relinking real front-ends: the new link is stored, the cached definition
// dropped, and every other value of the file reads as before, as two
// independent readers see it.
#include <functional>

#include "engine/database.h"
#include "engine/dbengine.h"
#include "engine/error.h"
#include "engine/tabledef.h"
#include "engine/tabledefs.h"
#include "jet/journal.h"
#include "tests/support/support.h"
#include "tests/write/oracle_tables.h"

namespace {

using namespace testing_support;
using write_test::Tables;

std::string Backslashed(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// The path with its file name in lower case: the file system here has case,
// the format's platform has not.
std::string LowerName(const fs::path& path) {
  std::string name = path.filename().string();
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return (path.parent_path() / name).string();
}

// JSON text of a string, as mdb-reader's values are printed.
std::string Json(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Escaped(const std::string& s) {  // mdb-export -e
  std::string out;
  for (char c : s) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// A folder whose full path makes the link string exactly `length` bytes
// long (";DATABASE=" + folder + "/PARTNER.MDB").
fs::path DeepFolder(const fs::path& base, size_t length) {
  const size_t fixed = std::string(";DATABASE=").size() + std::string("/PARTNER.MDB").size();
  fs::path dir = base;
  while (fixed + dir.string().size() + 1 < length) {
    const size_t left = length - fixed - dir.string().size() - 1;
    dir /= std::string(std::min<size_t>(left, 200), 'd');
  }
  fs::create_directories(dir);
  EXPECT_EQ(fixed + dir.string().size(), length);
  return dir;
}

struct Case {
  std::string name;
  std::string folder;  // under ../shared
  std::string front, back, table;
  std::string prefix;  // the link string's part before ";DATABASE="
  // Places the back-end where the link will name it; returns the path as the link names it.
  std::function<std::string(const TempDir&, const fs::path& back)> place;
  std::optional<std::string> connect_column;
};

std::string AsGiven(const TempDir&, const fs::path& back) { return LowerName(back); }

std::vector<Case> Cases() {
  auto backslashed = [](const TempDir&, const fs::path& back) { return Backslashed(back.string()); };
  auto moved_to = [](std::string sub) {
    return [sub](const TempDir& dir, const fs::path& back) {
      fs::path to = dir.path() / sub;
      fs::create_directories(to);
      fs::copy_file(back, to / back.filename());
      return (to / back.filename()).string();
    };
  };
  auto thousand = [](const TempDir& dir, const fs::path& back) {
    fs::path to = DeepFolder(dir.path() / "far", 1000);
    fs::copy_file(back, to / back.filename());
    return (to / back.filename()).string();
  };
  const std::string slovene = "Čebelarstvo Šuštar/Žalec";
  return {
      {"Jet4 2000", "fixtures/v2000-basic", "MLQ.mdb", "PARTNER.MDB", "Partner", "", AsGiven, std::nullopt},
      {"Jet4 2003", "fixtures/v2003-basic", "MLQ.mdb", "PARTNER.MDB", "Partner", "", backslashed, std::nullopt},
      {"ACE in .mdb", "fixtures/v2007-basic", "MLQ.mdb", "PARTNER.MDB", "Partner", "", AsGiven, std::nullopt},
      {"a catalog of many pages", "fixtures/v2003-big", "MLQ.mdb", "PARTNER.MDB", "Partner", "", AsGiven, std::nullopt},
      {"a long path stored out of row", "fixtures/v2003-long-path", "MLQ.mdb", "PARTNER.MDB", "Partner", "", AsGiven,
       std::nullopt},
      {"a Slovenian path", "fixtures/v2003-unicode-path", "MLQ.mdb", "PARTNER.MDB", "Partner", "", backslashed,
       std::nullopt},
      {"a link with a password", "fixtures/v2003-password-link", "MLQ.mdb", "PARTNER.MDB", "Partner",
       "MS Access;PWD=geslo", AsGiven, "MS Access;PWD=geslo"},
      {"ACE written by the desktop program", "corpus/ace", "linkerTestV2007.accdb", "linkeeTest.accdb", "Table2", "",
       AsGiven, std::nullopt},
      {"a link of 1,000 characters", "fixtures/v2003-basic", "MLQ.mdb", "PARTNER.MDB", "Partner", "", thousand,
       std::nullopt},
      {"a 1,000-character link replacing a long one", "fixtures/v2003-long-path", "MLQ.mdb", "PARTNER.MDB", "Artikli",
       "", thousand, std::nullopt},
      {"č, š and ž in Jet4", "fixtures/v2003-basic", "MLQ.mdb", "PARTNER.MDB", "Partner", "", moved_to(slovene),
       std::nullopt},
      {"č, š and ž in ACE", "fixtures/v2007-basic", "MLQ.mdb", "PARTNER.MDB", "Artikli", "", moved_to(slovene),
       std::nullopt},
  };
}

class RelinkFixture : public ::testing::TestWithParam<Case> {};

TEST_P(RelinkFixture, StoresTheLinkAndChangesNothingElse) {
  SKIP_WITHOUT_SHARED();
  const bool tools = HaveMdbTools(), reader = HaveMdbReader();
  if (!tools && !reader) GTEST_SKIP() << "neither mdbtools nor mdb-reader is installed: no independent reader";
  const Case& c = GetParam();
  TempDir dir;
  const fs::path front = CopyInto(SharedDir() / c.folder / c.front, dir.path());
  const fs::path back = CopyInto(SharedDir() / c.folder / c.back, dir.path());
  const std::string path = c.place(dir, back);
  const std::string link = c.prefix + ";DATABASE=" + path;

  const Tables reader_before = reader ? write_test::MdbReaderTables(front) : Tables{};
  const Tables tools_before = tools ? write_test::MdbToolsTables(front) : Tables{};
  const auto counters_before = engine::DBEngine::Instance().Counters();
  {
    auto db = engine::DBEngine::Instance().OpenDatabase(front.string());
    engine::TableDef& def = db->TableDefs().Item(c.table);
    def.SetConnect(link);
    def.RefreshLink();
    EXPECT_EQ(def.Connect(), link);
    EXPECT_FALSE(def.HasPendingConnect());
    db->Close();
  }
  const auto counters_after = engine::DBEngine::Instance().Counters();
  // A handful of pages and the journal's syncs, whatever the file's size.
  EXPECT_LE(counters_after.pages_written - counters_before.pages_written, 6u);
  EXPECT_EQ(counters_after.syncs - counters_before.syncs, 4u);
  EXPECT_FALSE(fs::exists(jet::JournalPath(front.string())));
  {
    auto db = engine::DBEngine::Instance().OpenDatabase(front.string());
    EXPECT_EQ(db->TableDefs().Item(c.table).Connect(), link) << "read back";
  }

  if (reader) {
    const Tables after = write_test::MdbReaderTables(front);
    write_test::ExpectOnlyLinkColumnsChanged(reader_before, after, c.table, "mdb-reader");
    const write_test::Row* row = write_test::CatalogRow(after, c.table, "\"");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->at("Database"), Json(path));
    EXPECT_EQ(row->at("Connect"), c.connect_column ? Json(*c.connect_column) : "null");
    EXPECT_EQ(row->at("Lv"), "null");
    EXPECT_NE(row->at("DateUpdate"), write_test::CatalogRow(reader_before, c.table, "\"")->at("DateUpdate"));
  }
  if (tools) {
    const Tables after = write_test::MdbToolsTables(front);
    write_test::ExpectOnlyLinkColumnsChanged(tools_before, after, c.table, "mdbtools");
    const write_test::Row* row = write_test::CatalogRow(after, c.table);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->at("Database"), Escaped(path));
    EXPECT_EQ(row->at("Connect"), c.connect_column ? *c.connect_column : "NULL");
    EXPECT_EQ(row->at("Lv"), "NULL");
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RelinkFixture, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name;
                           for (char ch : info.param.name)
                             if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
                           return name;
                         });

}  // namespace
