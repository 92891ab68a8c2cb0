// vostrel-cli list: what scripts see.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/cli/built.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;

using cli_test::Cli;

RunResult List(const std::string& args) { return testing_support::Run(Cli() + " list " + args); }

std::string Fixture(const std::string& folder) { return ShellQuote(BuiltOnce(folder).string()); }

TEST(ListCommand, PrintsUserTablesWithTheirKindAndLink) {
  struct Case {
    std::string args;
    std::string out;
  };
  std::vector<Case> cases = {
      {Fixture("v2003-password-link"),
       "Nastavitve\tlocal\t\n"
       "Partner\tlinked\tMS Access;PWD=***;DATABASE=C:\\MLQ\\PARTNER.MDB\n"},
      {"--show-passwords " + Fixture("v2003-password-link"),
       "Nastavitve\tlocal\t\n"
       "Partner\tlinked\tMS Access;PWD=geslo;DATABASE=C:\\MLQ\\PARTNER.MDB\n"},
  };
  // An ODBC link the desktop program wrote: only ../shared has one.
  if (!SharedDir().empty())
    cases.push_back(
      {ShellQuote((SharedDir() / "corpus/ace/odbcLinkerTestV2007.accdb").string()),
       "Lokal\tlocal\t\n"
       "Ordrar\todbc\tODBC;DSN=Magnapinna;Description=Safexit;UID=safexit;PWD=***;APP=Microsoft "
       "Office;DATABASE=safexit\n"});
  for (const Case& c : cases) {
    RunResult r = List(c.args);
    EXPECT_EQ(r.status, 0) << c.args << r.err;
    EXPECT_EQ(r.err, "") << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
  RunResult local = List(Fixture("v2003-local-partner"));
  EXPECT_NE(local.out.find("Partner\tlocal\t\n"), std::string::npos) << local.out;
  EXPECT_EQ(local.out.find("MSys"), std::string::npos) << "system tables only with --all";
}

TEST(ListCommand, AllAddsTheSystemTables) {
  RunResult r = List("--all " + Fixture("v2003-basic"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nMSysObjects\tlocal\t\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nPartner\tlinked\t;DATABASE=C:\\MLQ\\PARTNER.MDB\n"), std::string::npos) << r.out;
}

TEST(ListCommand, JsonIsOneArrayWithTheCatalogsColumns) {
  if (testing_support::Run("command -v node").status != 0) GTEST_SKIP() << "node is missing: nothing to parse the JSON with";
  // node parses what we print and prints it back field by field.
  const std::string parse =
      "node -e 'let s=\"\";process.stdin.on(\"data\",d=>s+=d).on(\"end\",()=>{for(const o of JSON.parse(s))"
      "console.log([o.name,o.type,o.system,o.connect,o.database,o.foreignName,Object.keys(o).join(\",\")].join(\"|\"))})'";
  RunResult r = testing_support::Run("( " + Cli() + " list --json " + Fixture("v2003-unicode-path") + " | " + parse + " )");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string keys = "name,type,system,connect,database,foreignName,openBy";
  const std::string path = "C:\\Podatki\\Čebelarstvo Šuštar\\Žalec\\PARTNER.MDB";
  EXPECT_EQ(r.out, "Nastavitve|1|false||||" + keys + "\n" +                                       //
                       "Partner|6|false|;DATABASE=" + path + "|" + path + "|Partner|" + keys + "\n" +  //
                       "Artikli|6|false|;DATABASE=" + path + "|" + path + "|Artikli|" + keys + "\n")
      << "nulls print as empty here";

  RunResult all = testing_support::Run("( " + Cli() + " list --json --all " + Fixture("v2003-basic") + " | " + parse + " )");
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_NE(all.out.find("\nMSysObjects|1|true||||"), std::string::npos) << all.out;
}

TEST(ListCommand, EngineErrorsAndWrongUsage) {
  TempDir dir;
  WriteBytes(dir / "text.mdb", std::vector<uint8_t>(5000, 'x'));
  const std::string d = fs::canonical(dir.path()).string();
  struct Case {
    std::string args;
    int status;
    std::string err_start;
  };
  const Case cases[] = {
      {ShellQuote(d + "/MLQ.mdb"), 1,
       "vostrel-cli: " + d + "/MLQ.mdb: Error 3024: Could not find file '" + Native(d + "/MLQ.mdb") + "'.\n"},
      {ShellQuote(d + "/text.mdb"), 1,
       "vostrel-cli: " + d + "/text.mdb: Error 3343: Unrecognized database format '" + Native(d + "/text.mdb") + "'.\n"},
      // A drive no map here covers (Wine's C: would find the file there).
      {ShellQuote("Q:\\MLQ\\MLQ.mdb"), 1, "vostrel-cli: Q:\\MLQ\\MLQ.mdb: Error 3044: 'Q:\\MLQ\\MLQ.mdb' is not a valid path."},
      {"", 2, "vostrel-cli list: no database to list\n\nusage: vostrel-cli list"},
      {"--frobnicate x.mdb", 2, "vostrel-cli list: unknown option '--frobnicate'"},
      {"a.mdb b.mdb", 2, "vostrel-cli list: unexpected argument 'b.mdb'"},
      // After "--" a name that starts with "-" is a file, as for every command.
      {"-- -f.mdb", 1, "vostrel-cli: -f.mdb: Error 3024: Could not find file '"},
  };
  for (const Case& c : cases) {
    RunResult r = List(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_EQ(r.err.rfind(c.err_start, 0), 0u) << c.args << ": " << r.err;
  }
  RunResult help = List("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: vostrel-cli list", 0), 0u) << help.out;
}

// A catalog whose list is longer than what the command writes at a time:
// every table once, in catalog order, and JSON that still parses as one array.
TEST(ListCommand, LongCatalogIsListedWhole) {
  const fs::path mkdb = Program("vostrel-mkdb");
  if (!fs::exists(mkdb)) GTEST_SKIP() << "vostrel-mkdb is not built";
  TempDir dir;
  const std::string file = ShellQuote((dir.path() / "MLQ.mdb").string());
  ASSERT_EQ(testing_support::Run(ShellQuote(mkdb.string()) + " frontend " + file + " --tables 3000").status, 0);
  RunResult r = List(file);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_GT(r.out.size(), 100000u) << "not longer than a block";
  std::vector<std::string> lines;
  for (size_t at = 0, end; at < r.out.size(); at = end + 1) {
    end = r.out.find('\n', at);
    ASSERT_NE(end, std::string::npos) << "the output ends with a whole line";
    lines.push_back(r.out.substr(at, end - at));
  }
  std::vector<std::string> links;
  for (const std::string& line : lines)
    if (line.rfind("T", 0) == 0) links.push_back(line);
  ASSERT_EQ(links.size(), 3000u);
  char name[16];
  for (int i = 1; i <= 3000; ++i) {
    std::snprintf(name, sizeof name, "T%04d\tlinked\t", i);
    EXPECT_EQ(links[static_cast<size_t>(i) - 1].rfind(name, 0), 0u) << links[static_cast<size_t>(i) - 1];
  }
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Nastavitve\tlocal\t"), 1);

  if (testing_support::Run("command -v node").status != 0) return;
  RunResult json = testing_support::Run("( " + Cli() + " list --json " + file +
                                        " | node -e 'let s=\"\";process.stdin.on(\"data\",d=>s+=d)"
                                        ".on(\"end\",()=>console.log(JSON.parse(s).length))' )");
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out, std::to_string(lines.size()) + "\n");
}

// The desktop program's own objects carry negative types; read without the
// sign, a report (-32764) was an ODBC link (4). A report named like the link
// before it in the catalog must not stand in for it either.
TEST(ListCommand, ObjectsThatAreNotTablesAreNotLinks) {
  const std::vector<dbbuilder::Document> documents = {
      {"Partner", -32764}, {"Obrazec", -32768}, {"Makro", -32766}, {"Modul", -32761}, {"Uporabniki", -32758},
      {"Dokument", -32757}, {"Stran", -32756},  {"Poizvedba", 5},  {"Razmerje", 8},    {"Neznano", -32700}};
  const std::string kinds =
      "Partner\treport\t\nObrazec\tform\t\nMakro\tmacro\t\nModul\tmodule\t\nUporabniki\tusers\t\n"
      "Dokument\tdatabase document\t\nStran\tdata access page\t\nPoizvedba\tquery\t\nRazmerje\trelationship\t\n"
      "Neznano\tother\t\n";
  const std::string tables = "Nastavitve\tlocal\t\nPartner\tlinked\t;DATABASE=C:\\MLQ\\PARTNER.MDB\n"
                             "Artikli\tlinked\t;DATABASE=C:\\MLQ\\PARTNER.MDB\n";
  for (const dbbuilder::FormatVersion format : {dbbuilder::FormatVersion::kJet3, dbbuilder::FormatVersion::kJet4, dbbuilder::FormatVersion::kAce12}) {
    SCOPED_TRACE(static_cast<int>(format));
    TempDir dir;
    dbbuilder::FrontEndOptions options;
    options.format = format;
    dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd(options);
    described.documents = documents;
    const fs::path file = cli_test::Build(described, dir.path(), "MLQ.mdb");

    RunResult r = List(ShellQuote(file.string()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, tables);
    RunResult all = List("--all " + ShellQuote(file.string()));
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_NE(all.out.find("\n" + kinds + tables), std::string::npos) << all.out;
    EXPECT_EQ(all.out.rfind("Tables\tcontainer\t\nDatabases\tcontainer\t\n", 0), 0u) << all.out;
    EXPECT_EQ(cli_test::Links(file), (std::map<std::string, std::string>{{"Nastavitve", ""},
                                                                         {"Partner", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
                                                                         {"Artikli", ";DATABASE=C:\\MLQ\\PARTNER.MDB"}}));
    RunResult check = testing_support::Run(Cli() + " check " + ShellQuote(file.string()));
    EXPECT_EQ(check.out.find("not checkable"), std::string::npos) << check.out;
  }
}

// Under a Slovenian locale the descriptions are Slovenian, the numbers the
// same; --json keeps the English description beside the user's.
TEST(ListCommand, ErrorsSpeakTheUsersLanguage) {
  if (testing_support::Run("( locale -a | grep -qix sl_SI.utf8 )").status != 0)
    GTEST_SKIP() << "the locale sl_SI.UTF-8 is not generated (tools/deps.sh generates it)";
  TempDir dir;
  const std::string d = fs::canonical(dir.path()).string();
  const std::string missing = ShellQuote(d + "/MLQ.mdb");
  struct Case {
    const char* env;
    std::string err;
  } cases[] = {
      {"LANG=sl_SI.UTF-8", "vostrel-cli: " + d + "/MLQ.mdb: Napaka 3024: Datoteke '" + d + "/MLQ.mdb' ni mogoče najti.\n"},
      {"LANG=C.UTF-8 LC_MESSAGES=sl_SI.UTF-8",
       "vostrel-cli: " + d + "/MLQ.mdb: Napaka 3024: Datoteke '" + d + "/MLQ.mdb' ni mogoče najti.\n"},
      {"LANG=C.UTF-8", "vostrel-cli: " + d + "/MLQ.mdb: Error 3024: Could not find file '" + d + "/MLQ.mdb'.\n"},
      {"LANG=sl_SI.UTF-8 LC_MESSAGES=C",
       "vostrel-cli: " + d + "/MLQ.mdb: Error 3024: Could not find file '" + d + "/MLQ.mdb'.\n"},
  };
  for (const Case& c : cases) {
    RunResult r = testing_support::Run(std::string("env -u LC_ALL -u LANGUAGE ") + c.env + " " + Cli() + " list " + missing);
    EXPECT_EQ(r.status, 1) << c.env;
    EXPECT_EQ(r.err, c.err) << c.env;
  }

  dbbuilder::FrontEndOptions options;
  options.links = {{"Partner", d + "/PARTNER.MDB"}};
  const fs::path front = cli_test::Build(dbbuilder::FrontEnd(options), dir.path(), "MLQ.mdb");
  RunResult json = testing_support::Run("env -u LC_ALL -u LANGUAGE LANG=sl_SI.UTF-8 " + Cli() + " check --json " +
                                        ShellQuote(front.string()));
  EXPECT_NE(json.out.find("\"number\":3024,\"description\":\"Could not find file '" + d + "/PARTNER.MDB'.\","
                          "\"localized\":\"Datoteke '" + d + "/PARTNER.MDB' ni mogo"),
            std::string::npos)
      << json.out;
}

TEST(ListCommand, PasswordProtectedFileIsRefused) {
  TempDir dir;
  const fs::path file = dir / "MLQ.mdb";
  fs::copy_file(BuiltOnce("v2003-basic"), file);
  cli_test::SetDatabasePassword(file, "geslo");
  RunResult r = List(ShellQuote(file.string()));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vostrel-cli: " + file.string() + ": Error 3031: Not a valid password.\n");
}

}  // namespace
