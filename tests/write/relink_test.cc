// Relinking real front-ends: the new link is stored, the cached definition
// dropped, and every other value of the file reads as before, as two
// independent readers see it.
#include <functional>

#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "jet/journal.h"
#include "jet/text.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/support.h"
#include "tests/write/param_name.h"
#include "tests/write/oracle_tables.h"

namespace {

using namespace testing_support;
using write_test::Tables;

std::string Backslashed(const std::string& original) {
  std::string path = original;
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

// The files of one case: a front-end, and the back-end its link will name.
struct Files {
  fs::path front, back;
  int code_page = 0;  // Jet3 text: what the independent readers must be told
};

struct Case {
  std::string name;
  std::function<Files(const TempDir&)> make;
  std::string table;
  std::string prefix;  // the link string's part before ";DATABASE="
  // Places the back-end where the link will name it; returns the path as the link names it.
  std::function<std::string(const TempDir&, const fs::path& back)> place;
  std::optional<std::string> connect_column;
  bool shared = false;  // made from ../shared
};

// What a failing case is, as its description rather than its bytes.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::function<Files(const TempDir&)> Shared(std::string folder, std::string front = "MLQ.mdb",
                                             std::string back = "PARTNER.MDB") {
  return [=](const TempDir& dir) {
    return Files{CopyInto(SharedDir() / folder / front, dir.path()), CopyInto(SharedDir() / folder / back, dir.path())};
  };
}

// A built fixture folder (see BuildFixture): for cases whose point is the
// link, not who wrote the file.
std::function<Files(const TempDir&)> BuiltFolder(std::string folder) {
  return [=](const TempDir& dir) {
    const fs::path built = BuildFixture(folder, dir / "built");
    return Files{CopyInto(built / "MLQ.mdb", dir.path()), CopyInto(built / "PARTNER.MDB", dir.path())};
  };
}

std::function<Files(const TempDir&)> Built(dbbuilder::FrontEndOptions options) {
  return [=](const TempDir& dir) {
    Files f{dir / "MLQ.mdb", dir / "PARTNER.MDB", options.format == dbbuilder::FormatVersion::kJet3 ? options.code_page : 0};
    BuildPair(options, f.front, f.back);
    return f;
  };
}

std::string AsGiven(const TempDir&, const fs::path& back) { return LowerName(back); }

std::string WithBackslashes(const TempDir&, const fs::path& back) { return Backslashed(back.string()); }

std::function<std::string(const TempDir&, const fs::path&)> MovedTo(std::string sub) {
  return [sub](const TempDir& dir, const fs::path& back) {
    fs::path to = dir.path() / sub;
    fs::create_directories(to);
    fs::copy_file(back, to / back.filename());
    return (to / back.filename()).string();
  };
}

// A back-end placed so that the link string is `length` bytes long.
std::function<std::string(const TempDir&, const fs::path&)> LinkOfLength(size_t length) {
  return [length](const TempDir& dir, const fs::path& back) {
    fs::path to = DeepFolder(dir.path() / "far", length);
    fs::copy_file(back, to / back.filename());
    return (to / back.filename()).string();
  };
}

const auto Thousand = LinkOfLength(1000);

const char kSlovene[] = "Čebelarstvo Šuštar/Žalec";

std::vector<Case> Cases() {
  using dbbuilder::FormatVersion;
  std::vector<Case> cases = {
      {"Jet4 2000", Shared("fixtures/v2000-basic"), "Partner", "", AsGiven, std::nullopt, true},
      {"Jet4 2003", Shared("fixtures/v2003-basic"), "Partner", "", WithBackslashes, std::nullopt, true},
      {"ACE in .mdb", Shared("fixtures/v2007-basic"), "Partner", "", AsGiven, std::nullopt, true},
      {"a catalog of many pages", Shared("fixtures/v2003-big"), "Partner", "", AsGiven, std::nullopt, true},
      {"a long path stored out of row", Shared("fixtures/v2003-long-path"), "Partner", "", AsGiven, std::nullopt, true},
      {"a Slovenian path", Shared("fixtures/v2003-unicode-path"), "Partner", "", WithBackslashes, std::nullopt, true},
      {"a link with a password", Shared("fixtures/v2003-password-link"), "Partner", "MS Access;PWD=geslo", AsGiven,
       "MS Access;PWD=geslo", true},
      {"ACE written by the desktop program", Shared("corpus/ace", "linkerTestV2007.accdb", "linkeeTest.accdb"),
       "Table2", "", AsGiven, std::nullopt, true},
      {"a link of 1,000 characters", BuiltFolder("v2003-basic"), "Partner", "", Thousand, std::nullopt},
      {"a 1,000-character link replacing a long one", Shared("fixtures/v2003-long-path"), "Artikli", "", Thousand,
       std::nullopt, true},
      {"č, š and ž in Jet4", BuiltFolder("v2003-basic"), "Partner", "", MovedTo(kSlovene), std::nullopt},
      {"č, š and ž in ACE", BuiltFolder("v2007-basic"), "Artikli", "", MovedTo(kSlovene), std::nullopt},
  };
  // Built files: every family, and the layouts no shared file has.
  struct Family {
    std::string name;
    FormatVersion format;
    int code_page;
  };
  for (const Family& fam : {Family{"Jet3", FormatVersion::kJet3, 1250},
                            Family{"Jet4", FormatVersion::kJet4, 1252}, Family{"ACE12", FormatVersion::kAce12, 1252},
                            Family{"ACE14", FormatVersion::kAce14, 1252}}) {
    dbbuilder::FrontEndOptions plain;
    plain.format = fam.format;
    plain.code_page = fam.code_page;
    auto with = [&](auto change) {
      dbbuilder::FrontEndOptions o = plain;
      change(o);
      return o;
    };
    cases.push_back({fam.name + " built", Built(plain), "Partner", "", WithBackslashes, std::nullopt});
    // A path kept in the row that makes the row longer than 256 bytes: Jet3
    // then needs a jump table.
    cases.push_back({fam.name + " with a long row", Built(plain), "Partner", "", LinkOfLength(250), std::nullopt});
    cases.push_back({fam.name + " with a full catalog page", Built(with([](auto& o) { o.partner_fills_page = true; })),
                     "Partner", "", Thousand, std::nullopt});
    cases.push_back({fam.name + " with paths out of row and a cached definition",
                     Built(with([](auto& o) {
                       o.database_out_of_row = true;
                       o.desktop_lv = true;
                     })),
                     "Partner", "", AsGiven, std::nullopt});
    // Pages past what an inline usage map reaches from where the catalog
    // starts: a new long value page (and a page for the moved row) must be
    // listed all the same.
    cases.push_back({fam.name + " with 3 MiB of data, a full catalog page and a long link", Built(with([](auto& o) {
                       o.local_table_bytes = 3 << 20;
                       o.partner_fills_page = true;
                     })),
                     "Partner", "", Thousand, std::nullopt});
    cases.push_back({fam.name + " with 300 links", Built(with([](auto& o) {
                       o.extra_links = 300;
                       o.partner_after = 150;
                     })),
                     "Partner", "MS Access;PWD=geslo", Thousand, "MS Access;PWD=geslo"});
    cases.push_back({fam.name + " with č, š and ž", Built(with([](auto& o) { o.desktop_lv = true; })), "Artikli", "",
                       MovedTo(kSlovene), std::nullopt});
  }
  return cases;
}

// How mdb-reader shows Jet3 text: it reads every code page as Windows-1252.
std::string AsMdbReaderSees(const std::string& text, int code_page) {
  if (code_page == 0 || code_page == 1252) return text;
  auto bytes = jet::EncodeCodePage(text, static_cast<uint16_t>(code_page));
  return bytes.ok() ? jet::DecodeCodePage(*bytes, 1252) : text;
}

class RelinkFixture : public ::testing::TestWithParam<Case> {};

TEST_P(RelinkFixture, StoresTheLinkAndChangesNothingElse) {
  const Case& c = GetParam();
  if (c.shared) SKIP_WITHOUT_SHARED();
  const bool tools = HaveMdbTools(), reader = HaveMdbReader();
  if (!tools && !reader) GTEST_SKIP() << "neither mdbtools nor mdb-reader is installed: no independent reader";
  TempDir dir;
  const Files files = c.make(dir);
  const fs::path& front = files.front;
  const std::string path = c.place(dir, files.back);
  const std::string link = c.prefix + ";DATABASE=" + path;
  const int tools_code_page = files.code_page ? files.code_page : 1252;

  const Tables reader_before = reader ? write_test::MdbReaderTables(front) : Tables{};
  const Tables tools_before = tools ? write_test::MdbToolsTables(front, tools_code_page) : Tables{};
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
  // A handful of pages (a page that two groups of the change touch is
  // written twice) and the journal's syncs, whatever the file's size: its
  // four, and one before each group of pages after the first (long values
  // added before the row turns, old ones released after it).
  EXPECT_LE(counters_after.pages_written - counters_before.pages_written, 8u);
  EXPECT_GE(counters_after.syncs - counters_before.syncs, 4u);
  EXPECT_LE(counters_after.syncs - counters_before.syncs, 6u);
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
    EXPECT_EQ(row->at("Database"), Json(AsMdbReaderSees(path, files.code_page)));
    EXPECT_EQ(row->at("Connect"), c.connect_column ? Json(*c.connect_column) : "null");
    EXPECT_EQ(row->at("Lv"), "null");
    EXPECT_NE(row->at("DateUpdate"), write_test::CatalogRow(reader_before, c.table, "\"")->at("DateUpdate"));
  }
  if (tools) {
    const Tables after = write_test::MdbToolsTables(front, tools_code_page);
    write_test::ExpectOnlyLinkColumnsChanged(tools_before, after, c.table, "mdbtools");
    const write_test::Row* row = write_test::CatalogRow(after, c.table);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->at("Database"), Escaped(path));
    EXPECT_EQ(row->at("Connect"), c.connect_column ? *c.connect_column : "NULL");
    EXPECT_EQ(row->at("Lv"), "NULL");
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RelinkFixture, ::testing::ValuesIn(Cases()),
                         write_test::ParamName());

}  // namespace
