// vostrel-cli check and relink as scripts run them: lines, JSON, exit
// statuses, usage; on built front-ends, and on copies of the fixtures.
#include "tests/cli/built.h"
#include "tests/support/built_fixtures.h"

namespace {

using namespace testing_support;
using cli_test::Cli;
using dbbuilder::FormatVersion;

RunResult Vostrel(const std::string& args, const fs::path& cwd = {}) { return Run(Cli() + " " + args, cwd); }

// A front-end whose links each fail in another way, or cannot be checked,
// beside one that is good; the back-ends beside it.
struct CheckScene {
  TempDir dir;
  fs::path front;
  CheckScene() {
    cli_test::BuildBackEnd(dir.path(), "dobro/PARTNER.MDB", FormatVersion::kJet4);
    cli_test::BuildBackEnd(dir.path(), "brez/PARTNER.MDB", FormatVersion::kJet4, {"Artikli"});
    const fs::path locked = cli_test::BuildBackEnd(dir.path(), "geslo/PARTNER.MDB", FormatVersion::kJet4);
    cli_test::SetDatabasePassword(locked, "skrivno");

    const std::string d = dir.path().string();
    dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
    described.objects.resize(1);  // Nastavitve alone
    auto link = [&](std::string name, std::string database, std::optional<std::string> connect = std::nullopt,
                    std::string foreign = "Partner") {
      dbbuilder::Link l;
      l.name = std::move(name);
      l.database = std::move(database);
      l.connect = std::move(connect);
      l.foreign_name = std::move(foreign);
      described.AddLink(l);
    };
    link("Dobro", d + "\\dobro\\partner.mdb");                          // backslashes and case, resolved
    link("Manjka", d + "/nikjer/PARTNER.MDB");                          // no such folder
    link("MankaDatoteka", d + "/dobro/DRUGO.MDB");                      // no such file
    link("BrezTabele", d + "/brez/PARTNER.MDB", std::nullopt, "Artikli");
    link("BrezGesla", d + "/geslo/PARTNER.MDB");
    link("NapacnoGeslo", d + "/geslo/PARTNER.MDB", "MS Access;PWD=napacno");
    link("ZGeslom", d + "/geslo/PARTNER.MDB", "MS Access;PWD=skrivno");
    described.AddLink(dbbuilder::OdbcLink("Streznik", "ODBC;DSN=Poslovno;UID=mlq", "dbo.Partner"));
    front = cli_test::Build(described, dir.path(), "MLQ.mdb");
  }
};

TEST(CheckCommand, OneLinePerLinkAndTheStatusSaysWhetherAnyIsBroken) {
  CheckScene s;
  const auto before = ReadBytes(s.front);
  RunResult r = Vostrel("check MLQ.mdb", s.dir.path());
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string d = s.dir.path().string();
  const std::string object =
      "Error 3011: Could not find the object 'Artikli'. Make sure the object exists and that you spell its name and "
      "the path name correctly. If 'Artikli' is not a local object, check your network connection or contact the "
      "server administrator.";
  const std::vector<std::string> expected = {
      "MLQ.mdb\tDobro\tok",
      "MLQ.mdb\tManjka\tError 3044: '" + d + "/nikjer/PARTNER.MDB' is not a valid path.",
      "MLQ.mdb\tMankaDatoteka\tError 3024: Could not find file '" + Native(d + "/dobro/DRUGO.MDB") + "'.",
      "MLQ.mdb\tBrezTabele\t" + object,
      "MLQ.mdb\tBrezGesla\tError 3031: Not a valid password.",
      "MLQ.mdb\tNapacnoGeslo\tError 3031: Not a valid password.",
      "MLQ.mdb\tZGeslom\tok",
      "MLQ.mdb\tStreznik\tnot checkable: Error 3151: ODBC--connection to 'Poslovno' failed.",
  };
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(r.out.substr(at, end - at));
  ASSERT_EQ(lines.size(), expected.size()) << r.out;
  for (size_t i = 0; i < lines.size(); ++i) {
    // The 3044 description goes on after the path; the start is what differs.
    if (expected[i].find("3044") != std::string::npos)
      EXPECT_EQ(lines[i].rfind(expected[i], 0), 0u) << lines[i];
    else
      EXPECT_EQ(lines[i], expected[i]);
  }
  EXPECT_EQ(ReadBytes(s.front), before) << "check writes nothing";

  // Links that cannot be checked are not broken; a front-end that does not
  // open is; with several front-ends every one is checked.
  const fs::path good = cli_test::Build(
      [] {
        dbbuilder::FrontEndOptions o;
        o.links = {{"Partner", "dobro/PARTNER.MDB"}};
        dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd(o);
        dbbuilder::Link odbc;
        odbc.name = "Streznik";
        odbc.kind = dbbuilder::LinkKind::kOdbc;
        odbc.connect = "ODBC;DSN=Poslovno";
        described.AddLink(odbc);
        return described;
      }(),
      s.dir.path(), "DOBRO.mdb");
  struct Case {
    std::string args;
    int status;
    std::string out, err;
  };
  const Case cases[] = {
      {"check DOBRO.mdb", 0,
       "DOBRO.mdb\tPartner\tok\nDOBRO.mdb\tStreznik\tnot checkable: Error 3151: ODBC--connection to 'Poslovno' failed.\n",
       ""},
      {"check NI.mdb DOBRO.mdb", 1,
       "NI.mdb\t\tError 3024: Could not find file '" + Native(d + "/NI.mdb") + "'.\nDOBRO.mdb\tPartner\tok\n"
       "DOBRO.mdb\tStreznik\tnot checkable: Error 3151: ODBC--connection to 'Poslovno' failed.\n",
       "vostrel-cli: NI.mdb: Error 3024: Could not find file '" + Native(d + "/NI.mdb") + "'.\n"},
  };
  for (const Case& c : cases) {
    RunResult run = Vostrel(c.args, s.dir.path());
    EXPECT_EQ(run.status, c.status) << c.args;
    EXPECT_EQ(run.out, c.out) << c.args;
    EXPECT_EQ(run.err, c.err) << c.args;
  }
  EXPECT_EQ(good.filename(), "DOBRO.mdb");
}

bool HaveNode() { return Run("command -v node").status == 0; }

// node reads the JSON we print and prints it back, one field a line.
RunResult ThroughNode(const std::string& command, const std::string& fields, const fs::path& cwd) {
  const std::string script = "let s='';process.stdin.on('data',d=>s+=d).on('end',()=>{for(const f of JSON.parse(s))" + fields + "})";
  return Run("( " + command + " | node -e " + ShellQuote(script) + " )", cwd);
}

TEST(CheckCommand, JsonForScripts) {
  if (!HaveNode()) GTEST_SKIP() << "node is missing: nothing to parse the JSON with";
  CheckScene s;
  RunResult r = ThroughNode(Cli() + " check --json MLQ.mdb NI.mdb",
                            "{console.log(f.frontEnd,f.error&&f.error.number);"
                            "for(const l of f.links)console.log(' ',l.table,l.state,l.error&&l.error.number,l.connect)}",
                            s.dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string d = s.dir.path().string();
  EXPECT_EQ(r.out, "MLQ.mdb null\n"
                   "  Dobro ok null ;DATABASE=" + d + "\\dobro\\partner.mdb\n"
                   "  Manjka broken 3044 ;DATABASE=" + d + "/nikjer/PARTNER.MDB\n"
                   "  MankaDatoteka broken 3024 ;DATABASE=" + d + "/dobro/DRUGO.MDB\n"
                   "  BrezTabele broken 3011 ;DATABASE=" + d + "/brez/PARTNER.MDB\n"
                   "  BrezGesla broken 3031 ;DATABASE=" + d + "/geslo/PARTNER.MDB\n"
                   "  NapacnoGeslo broken 3031 MS Access;PWD=***;DATABASE=" + d + "/geslo/PARTNER.MDB\n"
                   "  ZGeslom ok null MS Access;PWD=***;DATABASE=" + d + "/geslo/PARTNER.MDB\n"
                   "  Streznik not checkable 3151 ODBC;DSN=Poslovno;UID=mlq\n"
                   "NI.mdb 3024\n");
  RunResult shown = Vostrel("check --json --show-passwords MLQ.mdb", s.dir.path());
  EXPECT_NE(shown.out.find("MS Access;PWD=skrivno;DATABASE="), std::string::npos) << shown.out;
}

// The password helper's file: the independent reader still reads it, with
// the password it was given.
TEST(CheckCommand, PasswordBackEndIsReadByTheOracle) {
  if (!HaveMdbReader()) GTEST_SKIP() << "mdb-reader is not installed";
  TempDir dir;
  const fs::path back = cli_test::BuildBackEnd(dir.path(), "PARTNER.MDB", FormatVersion::kJet4);
  cli_test::SetDatabasePassword(back, "skrivno");
  bool partner = false;
  for (const OracleObject& o : MdbReaderCatalog(back, "skrivno")) partner = partner || (o.name == "Partner" && o.rows == 5);
  EXPECT_TRUE(partner);
}

// relink over several built front-ends: the lines, the exit status, and a
// failing front-end left as it was.
TEST(RelinkCommand, ManyFrontEndsFromTheCommandLine) {
  TempDir dir;
  const fs::path back = cli_test::BuildBackEnd(dir.path(), "nov/PARTNER.MDB", FormatVersion::kJet4, {"Artikli"});
  dbbuilder::FrontEndOptions both, partner_only;
  partner_only.links = {{"Partner", dbbuilder::kOldBackEnd}};
  const fs::path a = cli_test::Build(dbbuilder::FrontEnd(both), dir.path(), "a/MLQ.mdb");
  const fs::path b = cli_test::Build(dbbuilder::FrontEnd(partner_only), dir.path(), "b/MLQ.mdb");
  const auto a_before = ReadBytes(a), b_before = ReadBytes(b);
  const std::string to = back.string();
  const std::string args = " a/MLQ.mdb b/MLQ.mdb --from 'c:/mlq/Partner.MDB' --to " + ShellQuote(to);

  RunResult dry = Vostrel("relink --dry-run" + args, dir.path());
  EXPECT_EQ(dry.status, 1);
  const std::string object =
      "Error 3011: Could not find the object 'Artikli'. Make sure the object exists and that you spell its name and "
      "the path name correctly. If 'Artikli' is not a local object, check your network connection or contact the "
      "server administrator.";
  const std::string b_line = "b/MLQ.mdb\tPartner\t;DATABASE=C:\\MLQ\\PARTNER.MDB -> ;DATABASE=" + to;
  EXPECT_EQ(dry.out, "a/MLQ.mdb\tPartner\tunchanged\na/MLQ.mdb\tArtikli\t" + object + "\n" + b_line + " (dry run)\n");
  EXPECT_EQ(dry.err, "vostrel-cli: a/MLQ.mdb: " + object + "\n");
  EXPECT_EQ(ReadBytes(a), a_before);
  EXPECT_EQ(ReadBytes(b), b_before);

  RunResult run = Vostrel("relink" + args, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "a/MLQ.mdb\tPartner\tunchanged\na/MLQ.mdb\tArtikli\t" + object + "\n" + b_line + "\n");
  EXPECT_EQ(run.err, "vostrel-cli: a/MLQ.mdb: " + object + "\n");
  EXPECT_EQ(ReadBytes(a), a_before) << "the failing front-end is left as it was";
  EXPECT_EQ(cli_test::Links(b).at("Partner"), ";DATABASE=" + to);
  if (CheckWithMdbReader()) {
    EXPECT_EQ(cli_test::OracleDatabases(b).at("Partner"), to);
  }

  // Again: nothing matches in b now; a still fails; a front-end that does
  // not open is reported and the others go on.
  RunResult again = Vostrel("relink NI.mdb" + args, dir.path());
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.out, "NI.mdb\t\tError 3024: Could not find file '" + Native(dir.path().string() + "/NI.mdb") +
                           "'.\na/MLQ.mdb\tPartner\tunchanged\na/MLQ.mdb\tArtikli\t" + object +
                           "\nb/MLQ.mdb\t\tno link to change\n");

  // --table limits it to the link that can go; then every front-end is done.
  RunResult limited = Vostrel("relink --table Partner" + args, dir.path());
  EXPECT_EQ(limited.status, 0) << limited.err;
  EXPECT_EQ(cli_test::Links(a).at("Partner"), ";DATABASE=" + to);
  EXPECT_EQ(cli_test::Links(a).at("Artikli"), ";DATABASE=C:\\MLQ\\PARTNER.MDB");
}

TEST(RelinkCommand, ConnectStillRepointsOneTable) {
  TempDir dir;
  const fs::path back = cli_test::BuildBackEnd(dir.path(), "PARTNER.MDB", FormatVersion::kAce12);
  const fs::path front = cli_test::Build(dbbuilder::FrontEnd({}), dir.path(), "MLQ.mdb");
  const std::string link = "MS Access;PWD=x;DATABASE=" + back.string();
  RunResult r = Vostrel("relink MLQ.mdb --table partner --connect " + ShellQuote(link), dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "MLQ.mdb\tPartner\t;DATABASE=C:\\MLQ\\PARTNER.MDB -> MS Access;PWD=***;DATABASE=" + back.string() + "\n");
  EXPECT_EQ(cli_test::Links(front).at("Partner"), link);
  if (CheckWithMdbReader()) {
    EXPECT_EQ(cli_test::OracleDatabases(front).at("Partner"), back.string());
  }

  const auto before = ReadBytes(front);
  struct Case {
    std::string args;
    std::string err;
  };
  const Case cases[] = {
      {"--table Nastavitve --connect ';DATABASE=x'", "vostrel-cli: MLQ.mdb: Error 3219: Invalid operation.\n"},
      {"--table Nikjer --connect ';DATABASE=x'", "vostrel-cli: MLQ.mdb: Error 3265: Item not found in this collection.\n"},
      {"--table Partner --connect 'Excel 8.0;DATABASE=x'", "vostrel-cli: MLQ.mdb: Error 3170: Could not find installable ISAM.\n"},
      {"--table Partner --connect ''", "vostrel-cli: MLQ.mdb: Error 3001: The link string is empty: it names no database file.\n"},
  };
  for (const Case& c : cases) {
    RunResult fail = Vostrel("relink MLQ.mdb " + c.args, dir.path());
    EXPECT_EQ(fail.status, 1) << c.args;
    EXPECT_EQ(fail.err, c.err) << c.args;
    EXPECT_EQ(ReadBytes(front), before) << c.args;
  }
}

TEST(RelinkCommand, JsonForScripts) {
  if (!HaveNode()) GTEST_SKIP() << "node is missing: nothing to parse the JSON with";
  TempDir dir;
  const fs::path back = cli_test::BuildBackEnd(dir.path(), "PARTNER.MDB", FormatVersion::kJet4);
  cli_test::Build(dbbuilder::FrontEnd({}), dir.path(), "MLQ.mdb");
  const auto before = ReadBytes(dir / "MLQ.mdb");
  RunResult r = ThroughNode(Cli() + " relink --json --dry-run MLQ.mdb NI.mdb --from 'C:\\MLQ\\PARTNER.MDB' --to " +
                                ShellQuote(back.string()),
                            "{console.log(f.frontEnd,f.outcome,f.error&&f.error.number);"
                            "for(const l of f.links)console.log(' ',l.table,l.from,l.to,l.error)}",
                            dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string to = ";DATABASE=" + back.string();
  EXPECT_EQ(r.out, "MLQ.mdb would relink null\n"
                   "  Partner ;DATABASE=C:\\MLQ\\PARTNER.MDB " + to + " null\n"
                   "  Artikli ;DATABASE=C:\\MLQ\\PARTNER.MDB " + to + " null\n"
                   "NI.mdb failed 3024\n");
  EXPECT_EQ(ReadBytes(dir / "MLQ.mdb"), before);
}

// Output that does not reach standard output (a full disk) is a failure:
// relink --json's output is the undo report, so a relink whose report was
// lost says so and exits 1, though the link is stored; list the same.
TEST(Commands, OutputThatCannotBeWrittenIsAFailure) {
  SKIP_ON_WINDOWS("/dev/full");
  TempDir dir;
  const fs::path back = cli_test::BuildBackEnd(dir.path(), "PARTNER.MDB", FormatVersion::kJet4);
  const fs::path front = cli_test::Build(dbbuilder::FrontEnd({}), dir.path(), "MLQ.mdb");
  const std::string full = "vostrel-cli: could not write to standard output: No space left on device\n";
  const struct {
    const char* what;
    std::string args;
  } cases[] = {
      {"relink --json", "relink --json MLQ.mdb --from 'C:\\MLQ\\PARTNER.MDB' --to " + ShellQuote(back.string())},
      {"list", "list MLQ.mdb"},
      {"list --json", "list --json MLQ.mdb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RunResult r = testing_support::Run("( " + Cli() + " " + c.args + " >/dev/full )", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, full);
  }
  EXPECT_EQ(cli_test::Links(front)["Partner"], ";DATABASE=" + back.string());
}

// A batch where some front-ends fail: each line on stderr names the file it
// is about, so that 2>err.log of a long run tells which ones failed; an
// error of no one file (a bad map entry) names none.
TEST(Commands, EveryErrorLineNamesItsFile) {
  TempDir dir;
  const fs::path back = cli_test::BuildBackEnd(dir.path(), "nov/PARTNER.MDB", FormatVersion::kJet4, {"Artikli"});
  dbbuilder::FrontEndOptions partner_only, both;
  partner_only.links = {{"Partner", dbbuilder::kOldBackEnd}};
  cli_test::Build(dbbuilder::FrontEnd(partner_only), dir.path(), "dobro/MLQ.mdb");
  cli_test::Build(dbbuilder::FrontEnd(both), dir.path(), "brez/MLQ.mdb");  // Artikli is not in the new back-end
  cli_test::SetDatabasePassword(cli_test::Build(dbbuilder::FrontEnd(partner_only), dir.path(), "geslo/MLQ.mdb"), "x");
  WriteBytes(dir / "smeti.mdb", std::vector<uint8_t>(5000, 'x'));
  const std::string batch = " dobro/MLQ.mdb NI.mdb brez/MLQ.mdb smeti.mdb geslo/MLQ.mdb";
  const std::string move = " --from 'C:\\MLQ\\PARTNER.MDB' --to " + ShellQuote(back.string());
  struct Case {
    std::string args;
    std::vector<std::string> starts;  // of the lines on stderr, in order
  };
  const Case cases[] = {
      {"check" + batch,
       {"vostrel-cli: NI.mdb: Error 3024: ", "vostrel-cli: smeti.mdb: Error 3343: ",
        "vostrel-cli: geslo/MLQ.mdb: Error 3031: "}},
      {"relink" + batch + move,
       {"vostrel-cli: NI.mdb: Error 3024: ", "vostrel-cli: brez/MLQ.mdb: Error 3011: Could not find the object 'Artikli'.",
        "vostrel-cli: smeti.mdb: Error 3343: ", "vostrel-cli: geslo/MLQ.mdb: Error 3031: "}},
      {"list geslo/MLQ.mdb", {"vostrel-cli: geslo/MLQ.mdb: Error 3031: "}},
      {"scan geslo", {"vostrel-cli: " + Native("geslo/MLQ.mdb") + ": Error 3031: "}},
      {"check --map nic dobro/MLQ.mdb", {"vostrel-cli: Error 3001: Bad path map entry in --map: 'nic'"}},
  };
  for (const Case& c : cases) {
    const RunResult r = Vostrel(c.args, dir.path());
    EXPECT_EQ(r.status, 1) << c.args;
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = r.err.find('\n', at)) != std::string::npos; at = end + 1)
      lines.push_back(r.err.substr(at, end - at));
    ASSERT_EQ(lines.size(), c.starts.size()) << c.args << "\n" << r.err;
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(c.starts[i], 0), 0u) << c.args << "\n" << lines[i];
  }
}

// The header --version reads is made by the build, not by CMake's configure:
// a commit made since is named by the next build, and an unchanged source
// leaves the header as it was (nothing rebuilt).
TEST(Commands, TheVersionNamesTheSourceAsBuilt) {
  SKIP_ON_WINDOWS("git and cmake from the shell");
  if (testing_support::Run("command -v git && command -v cmake").status != 0) GTEST_SKIP() << "git or cmake is missing";
  TempDir dir;
  const fs::path header = dir / "source_version.h";
  const std::string git = "git -c user.name=t -c user.email=t@t -c commit.gpgsign=false ";
  ASSERT_EQ(testing_support::Run(git + "init -q && " + git + "commit -q --allow-empty -m one", dir.path()).status, 0);
  const std::string script = "cmake -DVERSION=1.00 -DSOURCE_DIR=" + ShellQuote(dir.path().string()) +
                             " -DOUTPUT=" + ShellQuote(header.string()) + " -DGIT_EXECUTABLE=git -P " +
                             ShellQuote((SourceDir() / "cmake/source_version.cmake").string());
  auto revision = [&] {
    const std::vector<uint8_t> bytes = ReadBytes(header);
    const std::string text(bytes.begin(), bytes.end());
    const std::string before = "kSourceRevision[] = \"";
    const size_t at = text.find(before) + before.size();
    return text.substr(at, text.find('"', at) - at);
  };
  auto head = [&] { return testing_support::Run("git rev-parse --short HEAD", dir.path()).out; };
  ASSERT_EQ(testing_support::Run(script).status, 0);
  const std::string first = revision();
  EXPECT_EQ(first + "\n", head());
  const auto written = fs::last_write_time(header);
  fs::last_write_time(header, written - std::chrono::hours(1));
  ASSERT_EQ(testing_support::Run(script).status, 0);
  EXPECT_EQ(fs::last_write_time(header), written - std::chrono::hours(1)) << "written again unchanged";
  ASSERT_EQ(testing_support::Run(git + "commit -q --allow-empty -m two", dir.path()).status, 0);
  ASSERT_EQ(testing_support::Run(script).status, 0);
  EXPECT_NE(revision(), first);
  EXPECT_EQ(revision() + "\n", head());
}

TEST(Commands, UsageHelpAndVersion) {
  struct Case {
    std::string args;
    int status;
    std::string out_start, err_start;
  };
  const Case cases[] = {
      {"--version", 0, "vostrel-cli 1.00\n", ""},
      {"check --help", 0, "usage: vostrel-cli check", ""},
      {"relink --help", 0, "usage: vostrel-cli relink", ""},
      {"list --help", 0, "usage: vostrel-cli list", ""},
      {"check", 2, "", "vostrel-cli check: no front-end to check\n\nusage:"},
      {"check --all a.mdb", 2, "", "vostrel-cli check: unknown option '--all'"},
      {"relink a.mdb", 2, "", "vostrel-cli relink: say what to write"},
      {"relink --from X --to Y", 2, "", "vostrel-cli relink: no front-end file"},
      {"relink a.mdb --from X", 2, "", "vostrel-cli relink: --from needs --to"},
      {"relink a.mdb --to Y", 2, "", "vostrel-cli relink: --to needs --from"},
      {"relink a.mdb --connect X", 2, "", "vostrel-cli relink: --connect needs --table"},
      {"relink a.mdb b.mdb --table T --connect X", 2, "", "vostrel-cli relink: --connect takes one front-end"},
      {"relink a.mdb --table T --connect X --from Y --to Z", 2, "", "vostrel-cli relink: --connect and --from/--to"},
      {"relink a.mdb --from X --to", 2, "", "vostrel-cli relink: --to needs a value"},
      {"relink a.mdb --from X --to 'Y;DATABASE=Z'", 2, "", "vostrel-cli relink: --to takes the back-end's path"},
      {"relink a.mdb --from '\\\\stari' --to Y", 2, "", "vostrel-cli relink: --from '\\\\stari' is not a path"},
      {"relink a.mdb --undo r.json", 2, "", "vostrel-cli relink: --undo takes its front-ends from the report"},
      {"relink --undo r.json --from X --to Y", 2, "", "vostrel-cli relink: --undo takes its links from the report"},
      {"relink --undo NI.json", 1, "", "vostrel-cli relink: NI.json: not a report of vostrel-cli relink --json"},
      {"frob", 2, "", "vostrel-cli: unknown command 'frob'"},
#ifdef _WIN32
      {"map", 0, "vostrel-cli map: on Windows a link's path", ""},
      {"map --help", 0, "vostrel-cli map: on Windows a link's path", ""},
#else
      {"map --help", 0, "usage: vostrel-cli map", ""},
#endif
  };
  for (const Case& c : cases) {
    RunResult r = Vostrel(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_EQ(r.out.rfind(c.out_start, 0), 0u) << c.args << "\n" << r.out;
    EXPECT_EQ(r.err.rfind(c.err_start, 0), 0u) << c.args << "\n" << r.err;
    if (c.status == 2) {
      EXPECT_EQ(r.out, "") << c.args;
    }
  }
  // Each command's help says what its exit statuses mean.
  for (const char* command : {"list", "check", "relink", "scan", "map"}) {
#ifdef _WIN32
    if (std::string(command) == "map") continue;
#endif
    const std::string help = Vostrel(std::string(command) + " --help").out;
    const size_t at = help.find("\nExit status:\n  0  ");
    EXPECT_NE(at, std::string::npos) << help;
    EXPECT_NE(help.find("\n  1  ", at), std::string::npos) << help;
    EXPECT_NE(help.find("\n  2  wrong usage\n", at), std::string::npos) << help;
  }
  // The path map serves a server that is not Windows: there its help is not given.
  const std::string usage = Vostrel("--help").out;
  EXPECT_NE(usage.find("  scan DIR"), std::string::npos) << usage;
#ifdef _WIN32
  EXPECT_EQ(usage.find("map"), std::string::npos) << usage;
#else
  EXPECT_NE(usage.find("  map "), std::string::npos) << usage;
#endif
}

// The fixture folders, built: the back-end moved, every front-end repointed in
// one run. First to a back-end without Artikli: the front-ends that link it
// are left as they were, the others are repointed; then to a whole one.
TEST(RelinkCommand, FixturesInOneRun) {
  TempDir dir;
  const fs::path built = dir / "built";
  const std::vector<std::string> fails_first = {"v2000-basic", "v2003-basic", "v2007-basic", "v2003-local-partner"};
  const std::vector<std::string> goes_first = {"v2003-password-link", "v2003-big"};
  std::string files;
  std::map<std::string, std::vector<uint8_t>> before;
  for (const auto* group : {&fails_first, &goes_first}) {
    for (const std::string& f : *group) {
      fs::create_directories(dir / f);
      before[f] = ReadBytes(CopyInto(BuildFixture(f, built) / "MLQ.mdb", dir / f));
      files += " " + f + "/MLQ.mdb";
    }
  }
  const fs::path partial = cli_test::BuildBackEnd(dir.path(), "delno/PARTNER.MDB", FormatVersion::kJet4, {"Artikli"});
  const fs::path back = CopyInto(built / "v2003-basic" / "PARTNER.MDB", dir.path());
  auto expect_links = [&](const std::string& folder, const std::string& path) {
    const fs::path front = dir / folder / "MLQ.mdb";
    const std::string prefix = folder == "v2003-password-link" ? "MS Access;PWD=geslo" : "";
    std::map<std::string, std::string> oracle = cli_test::OracleDatabases(front);
    for (const auto& [table, link] : cli_test::Links(front)) {
      if (table != "Partner" && table != "Artikli") continue;
      if (link.empty()) continue;  // the local Partner
      EXPECT_EQ(link, prefix + ";DATABASE=" + path) << folder << " " << table;
      if (!oracle.empty()) {
        EXPECT_EQ(oracle.at(table), path) << folder << " " << table;
      }
    }
  };

  const std::string from = " --from 'c:/mlq/partner.mdb' --to ";
  RunResult first = Vostrel("relink" + files + from + ShellQuote(partial.string()), dir.path());
  EXPECT_EQ(first.status, 1) << first.out;
  EXPECT_EQ(first.err.rfind("vostrel-cli: v2000-basic/MLQ.mdb: Error 3011: Could not find the object 'Artikli'.", 0), 0u)
      << first.err;
  for (const std::string& f : fails_first) EXPECT_EQ(ReadBytes(dir / f / "MLQ.mdb"), before[f]) << f;
  for (const std::string& f : goes_first) expect_links(f, partial.string());

  RunResult second = Vostrel("relink" + files + from + ShellQuote(back.string()), dir.path());
  EXPECT_EQ(second.status, 0) << second.err;
  for (const std::string& f : fails_first) expect_links(f, back.string());
  for (const std::string& f : goes_first) {
    EXPECT_NE(second.out.find(f + "/MLQ.mdb\t\tno link to change\n"), std::string::npos) << second.out;
  }
  RunResult check = Vostrel("check v2000-basic/MLQ.mdb v2007-basic/MLQ.mdb v2003-password-link/MLQ.mdb", dir.path());
  EXPECT_EQ(check.status, 0) << check.out;
}

}  // namespace
