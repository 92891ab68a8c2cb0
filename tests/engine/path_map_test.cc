// Path maps: which Windows paths an entry covers, and the map read from
// every source (files the test makes: no root, no real mount, no Wine).
#include "vostrel/paths.h"

#include <gtest/gtest.h>

#include <fstream>

#include "vostrel/error.h"
#include "tests/support/support.h"

namespace {

using engine::PathMap;
using engine::PathMapEntry;
using testing_support::TempDir;
namespace fs = std::filesystem;

PathMap Sample() {
  PathMap map;
  for (auto [prefix, local] : {std::pair{"Z:", "/srv/z"}, {"\\\\streznik\\baze", "/srv/baze/"},
                               {"\\\\streznik\\baze\\arhiv", "/srv/arhiv"}, {"C:\\MLQ", "/opt/mlq"}})
    EXPECT_TRUE(map.Add(PathMapEntry{prefix, local, "test"}));
  return map;
}

TEST(PathMap, LongestPrefixOfWholeComponentsCaseAndSeparatorsForgiven) {
  const PathMap map = Sample();
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"z:/Baze/PARTNER.MDB", "/srv/z/Baze/PARTNER.MDB"},
      {"Z:\\PARTNER.MDB", "/srv/z/PARTNER.MDB"},
      {"\\\\STREZNIK\\BAZE\\PARTNER.MDB", "/srv/baze/PARTNER.MDB"},
      {"//streznik/baze/app/x.mdb", "/srv/baze/app/x.mdb"},
      {"\\\\streznik\\baze\\Arhiv\\2019\\P.MDB", "/srv/arhiv/2019/P.MDB"},  // the longer entry wins
      {"\\\\streznik\\bazeX\\PARTNER.MDB", std::nullopt},                   // not a whole component
      {"\\\\streznikX\\baze\\PARTNER.MDB", std::nullopt},
      {"C:\\MLQX\\PARTNER.MDB", std::nullopt},
      {"C:\\mlq\\PARTNER.MDB", "/opt/mlq/PARTNER.MDB"},
      {"C:\\PARTNER.MDB", std::nullopt},  // C:\MLQ covers no file beside it
      {"Z:PARTNER.MDB", std::nullopt},    // relative to the drive's working folder
      {"\\\\Z:\\PARTNER.MDB", std::nullopt},
      {"/srv/z/PARTNER.MDB", std::nullopt},
      // ".." resolved as a client resolves it, never above the share's or
      // drive's root, before an entry is chosen.
      {"\\\\streznik\\baze\\..\\outside\\PARTNER.MDB", "/srv/baze/outside/PARTNER.MDB"},
      {"\\\\streznik\\baze\\arhiv\\..\\P.MDB", "/srv/baze/P.MDB"},
      {"\\\\streznik\\baze\\.\\arhiv\\x\\..\\P.MDB", "/srv/arhiv/P.MDB"},
      {"Z:\\..\\..\\etc\\passwd", "/srv/z/etc/passwd"},
      {"C:\\MLQ\\..\\PARTNER.MDB", std::nullopt},
  };
  for (const auto& [windows, local] : cases) EXPECT_EQ(map.ToLocal(windows), local) << windows;
}

TEST(PathMap, EarlierEntryWinsAndOnlyDrivesAndSharesAreMapped) {
  PathMap map;
  EXPECT_TRUE(map.Add(PathMapEntry{"\\\\S\\Baze", "/first", "a"}));
  EXPECT_TRUE(map.Add(PathMapEntry{"//s/baze/", "/second", "b"}));
  EXPECT_EQ(map.Entries().size(), 1u);
  EXPECT_EQ(map.ToLocal("\\\\s\\baze\\x.mdb"), "/first/x.mdb");
  for (const char* bad : {"baze", "\\\\server", "/srv", "1:", ""}) EXPECT_FALSE(map.Add(PathMapEntry{bad, "/x", "c"})) << bad;
}

TEST(PathMap, WindowsFormOfALocalFolder) {
  PathMap map = Sample();
  map.Add(PathMapEntry{"Y:", "/", "wine"});
  EXPECT_EQ(map.ToWindows("/srv/baze/app"), "\\\\streznik\\baze\\app");
  EXPECT_EQ(map.ToWindows("/srv/arhiv"), "\\\\streznik\\baze\\arhiv");
  EXPECT_EQ(map.ToWindows("/srv/bazeX/app"), std::nullopt);
  EXPECT_EQ(map.ToWindows("/home/ana"), std::nullopt);  // not by the drive of the whole file system
}

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

TEST(MapSources, EverySourceInOrderEarlierWinning) {
#ifdef _WIN32
  GTEST_SKIP() << "Wine's drive letters are symbolic links, which the Windows build cannot make";
#endif
  TempDir dir;
  const fs::path d = dir.path();
  Write(d / "smb.conf",
        "[global]\n  netbios name = STREZNIK\n  include = " + (d / "shares.conf").string() +
            "\n[homes]\n  path = /home\n[printers]\n  path = /var/spool\n  printable = yes\n"
            "[tiskalnik]\n  path = /var/t\n  print ok = yes\n[osebno]\n  path = /home/%U\n");
  Write(d / "shares.conf", "; shares\n[Baze]\n  path = /srv/\\\nbaze\n[arhiv]\n  Path=/srv/arhiv\n");
  Write(d / "hostname", "streznik.podjetje.si\n");
  Write(d / "mounts",
        "/dev/sda1 / ext4 rw 0 0\n//nas/skupno /mnt/sk\\040upno cifs rw,vers=3.0 0 0\n"
        "//nas/drugo /mnt/drugo smb3 rw 0 0\n");
  fs::create_directories(d / "wine/drive_d");
  fs::create_directories(d / "wine/dosdevices");
  fs::create_directory_symlink(d / "wine/drive_d", d / "wine/dosdevices/d:");
  fs::create_symlink("/dev/sda1", d / "wine/dosdevices/d::");
  Write(d / "user/map", "# moved in 2024\n\nY:\\Stare = /srv/stare\n  \\\\nas\\skupno = /srv/nas\n");

  engine::MapSources s;
  s.command_line = {"Z:=/cmd"};
  s.variable = "Z:=/var;\nX:=/x\n";
  s.map_files = {(d / "user/map").string(), (d / "none/map").string()};
  s.smb_conf = (d / "smb.conf").string();
  s.host_name_file = (d / "hostname").string();
  s.mounts = (d / "mounts").string();
  s.dosdevices = (d / "wine/dosdevices").string();
  const PathMap map = engine::LoadPathMap(engine::Env::Default(), s);

  std::vector<std::string> got;
  for (const PathMapEntry& e : map.Entries()) got.push_back(e.prefix + " " + e.local + " " + e.source);
  const std::string user = (d / "user/map").string(), shares = (d / "shares.conf").string();
  const std::vector<std::string> expected = {
      "Z: /cmd --map",
      "X: /x VOSTREL_MAP entry 2",
      "Y:\\Stare /srv/stare " + user + " line 3",
      "\\\\nas\\skupno /srv/nas " + user + " line 4",
      "\\\\STREZNIK\\arhiv /srv/arhiv samba [arhiv] in " + shares,
      "\\\\streznik.podjetje.si\\arhiv /srv/arhiv samba [arhiv] in " + shares,
      "\\\\localhost\\arhiv /srv/arhiv samba [arhiv] in " + shares,
      "\\\\STREZNIK\\Baze /srv/baze samba [Baze] in " + shares,
      "\\\\streznik.podjetje.si\\Baze /srv/baze samba [Baze] in " + shares,
      "\\\\localhost\\Baze /srv/baze samba [Baze] in " + shares,
      "\\\\nas\\drugo /mnt/drugo mount /mnt/drugo in " + s.mounts,
      "D: " + fs::canonical(d / "wine/drive_d").string() + " wine " + s.dosdevices + "/d:",
  };
  EXPECT_EQ(got, expected);
  EXPECT_EQ(map.ToLocal("\\\\streznik\\baze\\PARTNER.MDB"), "/srv/baze/PARTNER.MDB");
}

TEST(MapSources, ABadEntryNamesItsFileAndLine) {
  TempDir dir;
  Write(dir / "map", "# comment\nZ: = /srv/z\nZ: /srv/z\n");
  struct Case {
    engine::MapSources sources;
    std::string where;
  };
  std::vector<Case> cases(4);
  cases[0].sources.map_files = {(dir / "map").string()};
  cases[0].where = (dir / "map").string() + " line 3: 'Z: /srv/z': it has no \"=\"";
  cases[1].sources.variable = "Z:=/z;baze=/srv";
  cases[1].where = "VOSTREL_MAP entry 2: 'baze=/srv': 'baze' is not a drive";
  cases[2].sources.command_line = {"Z:=srv"};
  cases[2].where = "--map: 'Z:=srv': the local folder must be an absolute path";
  cases[3].sources.command_line = {"Z:="};
  cases[3].where = "--map: 'Z:=': the local folder is missing";
  for (const Case& c : cases) {
    try {
      engine::LoadPathMap(engine::Env::Default(), c.sources);
      ADD_FAILURE() << c.where;
    } catch (const engine::EngineError& e) {
      EXPECT_EQ(e.number(), 3001);
      EXPECT_NE(e.description().find("Bad path map entry in " + c.where), std::string::npos) << e.description();
    }
  }
}

}  // namespace
