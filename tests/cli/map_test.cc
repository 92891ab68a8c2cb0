// Front-ends whose links hold Windows paths (a drive, a share, a long path)
// checked and relinked on this machine through the path map; the map command.
#include "tests/cli/built.h"

#include <cctype>
#include <fstream>
#include <set>

namespace {

using namespace testing_support;
using cli_test::Cli;
using dbbuilder::FormatVersion;

// The map's sources of the test alone: no user's or machine's map, Samba or
// Wine comes in. The Samba configuration is the test's own, empty unless it
// wrote one.
std::string Isolated(const fs::path& dir, const std::string& map_variable = "") {
  if (!fs::exists(dir / "smb.conf")) WriteBytes(dir / "smb.conf", {});
  return "env -u VOSTREL_MAP " + (map_variable.empty() ? "" : "VOSTREL_MAP=" + ShellQuote(map_variable) + " ") +
         "XDG_CONFIG_HOME=" + ShellQuote((dir / "config").string()) +
         " WINEPREFIX=" + ShellQuote((dir / "wine").string()) + " VOSTREL_SMB_CONF=" +
         ShellQuote((dir / "smb.conf").string()) + " " + Cli() + " ";
}

struct ServerScene {
  TempDir dir;
  fs::path front;
  std::string long_path;
  std::string long_local;
  ServerScene() {
    cli_test::BuildBackEnd(dir.path(), "srv/baze/PARTNER.MDB", FormatVersion::kJet4);
    cli_test::BuildBackEnd(dir.path(), "srv/baze/app/PARTNER.MDB", FormatVersion::kJet3);
    const std::string deep(60, 'm');
    long_path = "\\\\streznik\\baze\\" + deep + "\\" + deep + "\\" + deep + "\\" + deep + "\\PARTNER.MDB";
    long_local = "srv/baze/" + deep + "/" + deep + "/" + deep + "/" + deep + "/PARTNER.MDB";
    cli_test::BuildBackEnd(dir.path(), long_local, FormatVersion::kJet4);
    dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
    described.objects.resize(1);
    auto link = [&](std::string name, std::string database) {
      dbbuilder::Link l;
      l.name = std::move(name);
      l.database = std::move(database);
      l.foreign_name = "Partner";
      described.AddLink(l);
    };
    link("Pogon", "Z:\\Baze\\PARTNER.MDB");
    link("Deljeno", "\\\\STREZNIK\\baze\\app\\partner.mdb");
    link("Dolga", long_path);
    link("Star", "C:\\MLQ\\PARTNER.MDB");
    front = cli_test::Build(described, dir.path(), "MLQ.mdb");
  }
  std::string Map() const {
    const std::string srv = (dir.path() / "srv").string();
    return "--map " + ShellQuote("Z:\\Baze=" + srv + "/baze") + " --map " + ShellQuote("\\\\streznik\\baze=" + srv + "/baze") + " ";
  }
};

TEST(MapCheck, WindowsPathsResolveThroughTheMapAndUnmappedOnesSayWhatToAdd) {
  ServerScene s;
  RunResult none = testing_support::Run(Isolated(s.dir.path()) + "check MLQ.mdb", s.dir.path());
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.out.find("MLQ.mdb\tPogon\tError 3044: 'Z:\\Baze\\PARTNER.MDB' is not a valid path."), std::string::npos)
      << none.out;
  EXPECT_NE(none.out.find("No path map entry covers 'Z:': add one with --map 'Z:=LOCALDIR', in VOSTREL_MAP or in "
                          "~/.config/vostrel/map."),
            std::string::npos);
  EXPECT_NE(none.out.find("No path map entry covers '\\\\STREZNIK\\baze'"), std::string::npos);

  const auto before = ReadBytes(s.front);
  RunResult mapped = testing_support::Run(Isolated(s.dir.path()) + "check " + s.Map() + "MLQ.mdb", s.dir.path());
  EXPECT_EQ(mapped.out, "MLQ.mdb\tPogon\tok\nMLQ.mdb\tDeljeno\tok\nMLQ.mdb\tDolga\tok\n"
                        "MLQ.mdb\tStar\tError 3044: 'C:\\MLQ\\PARTNER.MDB' is not a valid path. Make sure that the "
                        "path name is spelled correctly and that you are connected to the server on which the file "
                        "resides. No path map entry covers 'C:': add one with --map 'C:=LOCALDIR', in VOSTREL_MAP or "
                        "in ~/.config/vostrel/map.\n");
  EXPECT_EQ(ReadBytes(s.front), before);
}

TEST(MapCheck, JsonGivesEachLinksLocalPath) {
  if (testing_support::Run("command -v node").status != 0) GTEST_SKIP() << "node is missing: nothing to parse the JSON with";
  ServerScene s;
  RunResult r = testing_support::Run("( " + Isolated(s.dir.path(), "\\\\streznik\\baze=" + (s.dir.path() / "srv/baze").string()) +
                        "check --json MLQ.mdb" +
                        " | node -e " +
                        ShellQuote("let t='';process.stdin.on('data',d=>t+=d).on('end',()=>{for(const l of "
                                   "JSON.parse(t)[0].links)console.log(l.table,l.state,l.localPath)})") + " )",
                    s.dir.path());
  const std::string srv = (s.dir.path() / "srv/baze").string();
  EXPECT_EQ(r.out, "Pogon broken null\nDeljeno ok " + srv + "/app/PARTNER.MDB\nDolga ok " +
                       (s.dir.path() / s.long_local).string() + "\nStar broken null\n")
      << r.err;
}

TEST(MapRelink, StoresTheLinkAsGivenAndFindsTheBackEndThroughTheMap) {
  ServerScene s;
  RunResult r = testing_support::Run(Isolated(s.dir.path()) + "relink MLQ.mdb " + s.Map() +
                        "--from 'C:\\MLQ\\PARTNER.MDB' --to '\\\\streznik\\baze\\PARTNER.MDB'",
                    s.dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "MLQ.mdb\tStar\t;DATABASE=C:\\MLQ\\PARTNER.MDB -> ;DATABASE=\\\\streznik\\baze\\PARTNER.MDB\n");
  EXPECT_EQ(cli_test::Links(s.front)["Star"], ";DATABASE=\\\\streznik\\baze\\PARTNER.MDB");
  if (CheckWithMdbReader()) {
    EXPECT_EQ(cli_test::OracleDatabases(s.front)["Star"], "\\\\streznik\\baze\\PARTNER.MDB");
  }
}

TEST(MapCommand, PrintsEveryEntryWithItsSource) {
  TempDir dir;
  fs::create_directories(dir / "config/vostrel");
  WriteBytes(dir / "config/vostrel/map", {'Y', ':', '=', '/', 'y', '\n', 'b', 'a', 'd', '\n'});
  RunResult bad = testing_support::Run(Isolated(dir.path()) + "map", dir.path());
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "vostrel-cli: Error 3001: Bad path map entry in " + (dir / "config/vostrel/map").string() +
                         " line 2: 'bad': it has no \"=\" between the Windows prefix and the local folder.\n");
  WriteBytes(dir / "config/vostrel/map", {'Y', ':', '=', '/', 'y', '\n'});
  RunResult r = testing_support::Run(Isolated(dir.path(), "X:=/x") + "map --map 'Y:=/cmd'", dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  // The map file's Y: comes after --map's: the earlier one stays.
  EXPECT_EQ(r.out.rfind("Y:\t/cmd\t--map\nX:\t/x\tVOSTREL_MAP entry 1\n", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("/y\t"), std::string::npos) << r.out;
}

// Read by testparm where it is installed, else by the own reading, which
// gives the same shares.
TEST(MapCommand, SambaSharesAsTestparmReadsThemEveryServerNameAndAMissingNamedConfiguration) {
  const bool testparm = fs::exists("/usr/bin/testparm");
  TempDir dir;
  const std::string baze = (dir / "srv/baze").string();
  cli_test::BuildBackEnd(dir.path(), "srv/baze/PARTNER.MDB", FormatVersion::kJet4);
  dbbuilder::FrontEndOptions options;
  options.links = {{"Partner", "\\\\stari\\baze\\PARTNER.MDB"}};
  cli_test::Build(dbbuilder::FrontEnd(options), dir.path(), "MLQ.mdb");
  const std::string conf = (dir / "smb.conf").string();
  const std::string shares = "[baze]\n  path = " + baze + "\n[skrito]\n  path = /srv/skrito\n  available = no\n";
  WriteBytes(dir / "shares.conf", std::vector<uint8_t>(shares.begin(), shares.end()));
  const std::string text = "[global]\n  netbios name = streznik\n  netbios aliases = stari\n  include = " +
                           (dir / "shares.conf").string() + "\n[kopija]\n  copy = baze\n";
  WriteBytes(dir / "smb.conf", std::vector<uint8_t>(text.begin(), text.end()));

  std::ifstream hostname("/proc/sys/kernel/hostname");
  std::string host;
  std::getline(hostname, host);
  std::vector<std::string> servers = {"STREZNIK", "stari", host.substr(0, host.find('.')), host, "localhost"};
  std::string expected;
  for (const char* share : {"baze", "kopija"}) {
    std::set<std::string> seen;
    for (const std::string& server : servers) {
      std::string lower = server;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (!server.empty() && seen.insert(lower).second)
        expected += "\\\\" + server + "\\" + share + "\t" + baze + "\t" +
                    (testparm ? "testparm [" + std::string(share) + "] of " + conf
                              : "samba [" + std::string(share) + "] in " + (dir / "shares.conf").string()) +
                    "\n";
    }
  }
  RunResult map = testing_support::Run(Isolated(dir.path()) + "map", dir.path());
  EXPECT_EQ(map.status, 0) << map.err;
  EXPECT_EQ(map.out, expected);
  RunResult check = testing_support::Run(Isolated(dir.path()) + "check MLQ.mdb", dir.path());
  EXPECT_EQ(check.out, "MLQ.mdb\tPartner\tok\n") << check.err;

  // Named and missing: said, naming it, and the command fails.
  const std::string none = (dir / "none.conf").string();
  RunResult missing = testing_support::Run("env -u VOSTREL_MAP XDG_CONFIG_HOME=" + ShellQuote((dir / "config").string()) +
                                               " VOSTREL_SMB_CONF=" + ShellQuote(none) + " " + Cli() + " map",
                                           dir.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Error 3024: Could not find the Samba configuration '" + none +
                             "' that VOSTREL_SMB_CONF names."),
            std::string::npos)
      << missing.err;
  EXPECT_EQ(missing.out, "");
}

}  // namespace
