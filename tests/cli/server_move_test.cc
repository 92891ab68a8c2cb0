// A server move as the administrator makes it on the Linux file server: a
// whole folder of back-ends repointed in one run, and front-ends named by the
// Windows paths their users know, both through the path map.
#include "tests/cli/built.h"

namespace {

using namespace testing_support;
using cli_test::Cli;
using dbbuilder::FormatVersion;

// Three back-ends below \\stari\baze, one in the sibling \\stari\baze2 whose
// name starts alike, the same files again below \\streznik\baze, and a
// front-end linking all four, itself in \\streznik\aplikacije\pisarna.
struct Server {
  TempDir dir;
  fs::path front;
  const std::vector<std::string> below = {"PARTNER.MDB", "Čebelarstvo\\ZALOGA.MDB", "Arhiv\\2024\\STARO.MDB"};

  Server() {
    for (const char* root : {"stari/baze/", "novi/baze/"})
      for (std::string file : below) {
        std::replace(file.begin(), file.end(), '\\', '/');
        cli_test::BuildBackEnd(dir.path(), std::string(root) + file, FormatVersion::kJet4);
      }
    cli_test::BuildBackEnd(dir.path(), "stari/baze2/PARTNER.MDB", FormatVersion::kJet3);
    dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
    described.objects.resize(1);  // the local table; the links are these
    for (const auto& [name, database] : {std::pair<std::string, std::string>{"Partner", "\\\\stari\\baze\\PARTNER.MDB"},
                                         {"Zaloga", "\\\\STARI\\Baze\\" + below[1]},
                                         {"Staro", "//stari/baze/Arhiv/2024/STARO.MDB"},
                                         {"Drugo", "\\\\stari\\baze2\\PARTNER.MDB"}}) {
      dbbuilder::Link l;
      l.name = name;
      l.database = database;
      l.foreign_name = "Partner";
      described.AddLink(l);
    }
    front = cli_test::Build(described, dir.path(), "apl/pisarna/MLQ.mdb");
    WriteBytes(dir.path() / "smb.conf", {});
  }

  // The program with the map of this server alone: no user's, Samba's or
  // Wine's entries come in.
  std::string Cli(bool with_map = true) const {
    const fs::path d = dir.path();
    std::string command = "env -u VOSTREL_MAP XDG_CONFIG_HOME=" + ShellQuote((d / "config").string()) +
                          " WINEPREFIX=" + ShellQuote((d / "wine").string()) +
                          " VOSTREL_SMB_CONF=" + ShellQuote((d / "smb.conf").string()) + " " + cli_test::Cli();
    if (!with_map) return command + " ";
    for (const auto& [prefix, local] : {std::pair{"\\\\stari\\baze", "stari/baze"}, {"\\\\stari\\baze2", "stari/baze2"},
                                        {"\\\\streznik\\baze", "novi/baze"}, {"\\\\streznik\\aplikacije", "apl"}})
      command += " --map " + ShellQuote(std::string(prefix) + "=" + (d / local).string());
    return command + " ";
  }
};

TEST(ServerMove, AWholeFolderMovesInOneRunAndItsSiblingStays) {
  Server s;
  const std::string move = "relink MLQ.mdb --from '\\\\stari\\baze' --to '\\\\streznik\\baze'";
  const fs::path cwd = s.dir.path() / "apl/pisarna";
  const auto before = cli_test::Links(s.front);
  const auto bytes = ReadBytes(s.front);

  RunResult dry = testing_support::Run(s.Cli() + move + " --dry-run", cwd);
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(ReadBytes(s.front), bytes);
  RunResult r = testing_support::Run(s.Cli() + move, cwd);
  EXPECT_EQ(r.status, 0) << r.err;

  std::map<std::string, std::string> expected = before;
  const std::map<std::string, std::string> moved = {{"Partner", "\\\\streznik\\baze\\PARTNER.MDB"},
                                                    {"Zaloga", "\\\\streznik\\baze\\Čebelarstvo\\ZALOGA.MDB"},
                                                    {"Staro", "\\\\streznik\\baze\\Arhiv\\2024\\STARO.MDB"}};
  for (const auto& [table, path] : moved) {
    expected[table] = ";DATABASE=" + path;
    const std::string line = "MLQ.mdb\t" + table + "\t" + before.at(table) + " -> " + expected[table];
    EXPECT_NE(dry.out.find(line + " (dry run)\n"), std::string::npos) << dry.out;
    EXPECT_NE(r.out.find(line + "\n"), std::string::npos) << r.out;
  }
  EXPECT_EQ(r.out.find("Drugo"), std::string::npos) << r.out;
  EXPECT_EQ(cli_test::Links(s.front), expected);
  const auto oracle = cli_test::OracleDatabases(s.front);
  if (!oracle.empty()) {
    for (const auto& [table, database] : oracle) EXPECT_EQ(";DATABASE=" + database, expected.at(table)) << table;
    EXPECT_EQ(oracle.size(), 4u);
  }
}

// A front-end named by its users' Windows path is the file the map makes of
// it; the output names it as given; where nothing maps it, the error says
// which entry would.
TEST(ServerMove, AFrontEndNamedByAWindowsPathIsFoundThroughTheMap) {
  Server s;
  const std::string name = "\\\\STREZNIK\\aplikacije\\pisarna\\MLQ.mdb";
  const struct {
    std::string command;
    std::string shows;  // in the output of a mapped run
  } cases[] = {
      {"list " + ShellQuote(name), "Zaloga\tlinked\t;DATABASE=\\\\STARI\\Baze\\"},
      {"check " + ShellQuote(name), name + "\tPartner\tok\n"},
      {"relink " + ShellQuote(name) + " --from '\\\\stari\\baze2' --to '\\\\stari\\baze2' --dry-run",
       name + "\tDrugo\t;DATABASE=\\\\stari\\baze2\\PARTNER.MDB -> "},
  };
  for (const auto& c : cases) {
    RunResult mapped = testing_support::Run(s.Cli() + c.command, s.dir.path());
    EXPECT_EQ(mapped.status, 0) << c.command << "\n" << mapped.err;
    EXPECT_NE(mapped.out.find(c.shows), std::string::npos) << c.command << "\n" << mapped.out;
    RunResult unmapped = testing_support::Run(s.Cli(false) + c.command, s.dir.path());
    EXPECT_EQ(unmapped.status, 1) << c.command;
    EXPECT_NE(unmapped.err.find("Error 3044: '" + name + "' is not a valid path."), std::string::npos)
        << c.command << "\n" << unmapped.err;
    EXPECT_NE(unmapped.err.find("No path map entry covers '\\\\STREZNIK\\aplikacije': add one with --map"),
              std::string::npos)
        << c.command << "\n" << unmapped.err;
  }
}

}  // namespace
