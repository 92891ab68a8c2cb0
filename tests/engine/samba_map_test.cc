// The shares of the Samba server in the path map: read by Samba's testparm
// where it is installed, by the engine's own reading where it is not or
// fails, and the two give the same map.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "vostrel/error.h"
#include "vostrel/paths.h"
#include "tests/support/support.h"

namespace {

using testing_support::TempDir;
namespace fs = std::filesystem;

const char kTestparm[] = "/usr/bin/testparm";

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

void WriteProgram(const fs::path& file, const std::string& script) {
  Write(file, "#!/bin/sh\n" + script);
  fs::permissions(file, fs::perms::owner_all);
}

struct Scene {
  std::string name;
  std::string smb_conf;  // "@" stands for the test's folder
  std::string included;  // @/shares.conf
  std::vector<std::string> servers;
  std::vector<std::pair<std::string, std::string>> shares;  // as listed: name, local folder
};

void PrintTo(const Scene& s, std::ostream* os) { *os << s.name; }

std::string Replaced(std::string text, const std::string& dir) {
  for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir);
  return text;
}

// "PREFIX LOCAL" of each Samba entry.
std::vector<std::string> SambaEntries(const engine::PathMap& map) {
  std::vector<std::string> out;
  for (const engine::PathMapEntry& e : map.Entries()) out.push_back(e.prefix + " " + e.local);
  return out;
}

class SambaShares : public testing::TestWithParam<Scene> {};

TEST_P(SambaShares, TestparmAndTheOwnReadingGiveTheSameMap) {
  SKIP_ON_WINDOWS("Samba's configuration");
  const Scene& scene = GetParam();
  TempDir dir;
  const std::string d = dir.path().string();
  Write(dir / "smb.conf", Replaced(scene.smb_conf, d));
  if (!scene.included.empty()) Write(dir / "shares.conf", Replaced(scene.included, d));
  Write(dir / "hostname", "streznik.podjetje.si\n");
  std::vector<std::string> expected;
  for (const auto& [share, local] : scene.shares)
    for (const std::string& server : scene.servers) expected.push_back("\\\\" + server + "\\" + share + " " + local);

  engine::MapSources s;
  s.smb_conf = (dir / "smb.conf").string();
  s.host_name_file = (dir / "hostname").string();
  EXPECT_EQ(SambaEntries(engine::LoadPathMap(engine::Env::Default(), s)), expected) << "own reading";
  if (!fs::exists(kTestparm)) GTEST_SKIP() << kTestparm << " is missing (Debian's samba-common-bin)";
  s.testparm = kTestparm;
  const engine::PathMap by_testparm = engine::LoadPathMap(engine::Env::Default(), s);
  EXPECT_EQ(SambaEntries(by_testparm), expected) << "testparm";
  for (const engine::PathMapEntry& e : by_testparm.Entries())
    EXPECT_EQ(e.source.rfind("testparm [", 0), 0u) << e.source;
}

const std::vector<std::string> kServers = {"STREZNIK", "STARI", "arhivar", "streznik.podjetje.si", "localhost"};

INSTANTIATE_TEST_SUITE_P(
    Scenes, SambaShares,
    testing::Values(
        Scene{"a server that took over another's name",
              "[global]\n  netbios name = streznik\n  netbios aliases = STARI, arhivar\n  path = /srv/privzeto\n"
              "  include = @/shares.conf\n"
              "[homes]\n  path = /home\n[printers]\n  path = /var/spool\n  printable = yes\n"
              "[tiskalnik]\n  path = /var/t\n  print ok = yes\n[osebno]\n  path = /home/%U\n"
              "[skrito]\n  path = /srv/skrito\n  available = no\n"
              // Copies what it names, save what it gives itself, before or after.
              "[kopija]\n  copy = Baze\n  comment = kopija baz\n"
              "[zamenjana]\n  path = /srv/zamenjana\n  copy = Baze\n"
              "[Porocila]\n  copy = tiskalnik\n  printable = no\n"
              "[prazen]\n"                       // [global]'s path
              "[BAZE]\n  read only = no\n",     // the same share as [Baze]
              "; shares\n[Baze]\n  path = /srv/\\\nbaze\n[arhiv]\n  Path=/srv/arhiv  \\\n   stari\n",
              kServers,
              {{"arhiv", "/srv/arhiv stari"},
               {"Baze", "/srv/baze"},
               {"kopija", "/srv/baze"},
               {"Porocila", "/var/t"},
               {"prazen", "/srv/privzeto"},
               {"zamenjana", "/srv/zamenjana"}}},
        Scene{"shares unavailable unless they say otherwise",
              "[global]\n  available = no\n[odprta]\n  path = /srv/odprta\n  available = yes\n"
              "[zaprta]\n  path = /srv/zaprta\n[kopija]\n  copy = odprta\n  path = /srv/kopija\n",
              "",
              {"STREZNIK", "streznik.podjetje.si", "localhost"},
              {{"kopija", "/srv/kopija"}, {"odprta", "/srv/odprta"}}}));

// What a testparm that misbehaves leaves: the own reading, and a notice.
struct BadTestparm {
  std::string name;
  std::string script;  // empty: no program at that name
  std::string said;    // in the notice; empty: no notice
};

void PrintTo(const BadTestparm& b, std::ostream* os) { *os << b.name; }

class MisbehavingTestparm : public testing::TestWithParam<BadTestparm> {};

TEST_P(MisbehavingTestparm, LeavesTheOwnReadingAndSaysWhy) {
  SKIP_ON_WINDOWS("programs run as shell scripts");
  const BadTestparm& bad = GetParam();
  TempDir dir;
  Write(dir / "smb.conf", "[global]\n netbios name = streznik\n[baze]\n path = /srv/baze\n");
  engine::MapSources s;
  s.smb_conf = (dir / "smb.conf").string();
  s.testparm = (dir / "testparm").string();
  s.testparm_timeout = std::chrono::milliseconds(500);
  if (!bad.script.empty()) WriteProgram(dir / "testparm", bad.script);
  std::vector<std::string> said;
  engine::SetNoticeHandler([&](const std::string& text) { said.push_back(text); });
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::string> entries = SambaEntries(engine::LoadPathMap(engine::Env::Default(), s));
  const auto took = std::chrono::steady_clock::now() - start;
  engine::SetNoticeHandler(nullptr);
  EXPECT_EQ(entries, (std::vector<std::string>{"\\\\STREZNIK\\baze /srv/baze", "\\\\localhost\\baze /srv/baze"}));
  EXPECT_LT(took, std::chrono::seconds(10));  // a hang guard, not a speed goal
  if (bad.said.empty()) {
    EXPECT_TRUE(said.empty()) << said.front();
  } else {
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("could not read the Samba configuration '" + s.smb_conf + "' (" + bad.said), std::string::npos)
        << said[0];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MisbehavingTestparm,
    testing::Values(BadTestparm{"absent", "", ""},
                    BadTestparm{"hangs", "sleep 30\n",
                                "it did not end within 1 seconds and was stopped"},
                    BadTestparm{"fails on a broken configuration",
                                "echo \"Load smb config files from $2\" >&2\n"
                                "echo 'Unable to copy service - source not found: nobody' >&2\n"
                                "echo 'Error loading services.' >&2\nexit 1\n",
                                "it ended with status 1: Unable to copy service - source not found: nobody; Error "
                                "loading services.)"},
                    BadTestparm{"prints without end", "yes '[x]'\n", "it printed more than 4194304 bytes"},
                    BadTestparm{"waits for input", "read line\necho \"[a]\npath = /a\"\nexit 1\n",
                                "it ended with status 1"}));

// Whether process `pid` is gone (or a zombie about to be reaped), waiting a
// little for it.
bool Gone(const std::string& pid) {
  for (int i = 0; i < 200; ++i) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t close = line.rfind(')');
    if (close != std::string::npos && line.compare(close, 3, ") Z") == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(SambaConfig, AHungTestparmIsStoppedWithWhatItStarted) {
  SKIP_ON_WINDOWS("programs run as shell scripts");
  TempDir dir;
  Write(dir / "smb.conf", "");
  const std::string pid_file = (dir / "pid").string();
  WriteProgram(dir / "testparm", "sleep 30 &\necho $! > '" + pid_file + "'\nwait\n");
  engine::MapSources s;
  s.smb_conf = (dir / "smb.conf").string();
  s.testparm = (dir / "testparm").string();
  s.testparm_timeout = std::chrono::milliseconds(300);
  engine::SetNoticeHandler([](const std::string&) {});
  (void)engine::LoadPathMap(engine::Env::Default(), s).Entries();
  engine::SetNoticeHandler(nullptr);
  std::ifstream in(pid_file);
  std::string pid;
  ASSERT_TRUE(std::getline(in, pid)) << "the script did not start its child";
  EXPECT_TRUE(Gone(pid)) << "the child of a stopped testparm still runs: " << pid;
}

TEST(SambaConfig, TestparmIsGivenTheFileAsOneArgumentWithoutAShell) {
  SKIP_ON_WINDOWS("programs run as shell scripts");
  TempDir dir;
  const fs::path conf = dir / "smb 'x' $(false);.conf";
  Write(conf, "");
  WriteProgram(dir / "testparm", "printf '[argumenti]\\npath = /%s|%s|%s\\n' \"$#\" \"$1\" \"$2\"\n");
  engine::MapSources s;
  s.smb_conf = conf.string();
  s.testparm = (dir / "testparm").string();
  EXPECT_EQ(engine::LoadPathMap(engine::Env::Default(), s).ToLocal("\\\\localhost\\argumenti"),
            "/2|-s|" + conf.string());
}

// testparm is asked only when a share's path needs the map, and once for
// as long as smb.conf and the files it includes stay as they were: a drive's
// path, or a second map of the same process, does not start it again.
TEST(SambaConfig, TestparmIsAskedOnlyForASharesPathAndAgainOnlyAfterAChange) {
  SKIP_ON_WINDOWS("programs run as shell scripts");
  TempDir dir;
  const fs::path runs = dir / "runs", included = dir / "shares.conf";
  Write(dir / "smb.conf", "[global]\n");
  Write(included, "[baze]\n");
  WriteProgram(dir / "testparm", "echo run >> '" + runs.string() + "'\nprintf '[global]\\ninclude = " +
                                     included.string() + "\\n[baze]\\npath = /srv/baze\\n'\n");
  engine::MapSources s;
  s.smb_conf = (dir / "smb.conf").string();
  s.testparm = (dir / "testparm").string();
  auto asked = [&] {
    std::ifstream in(runs);
    int n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
  };
  const std::string share = "\\\\localhost\\baze\\x.mdb";
  engine::PathMap map = engine::LoadPathMap(engine::Env::Default(), s);
  EXPECT_EQ(map.ToLocal("Z:\\x.mdb"), std::nullopt);
  EXPECT_EQ(asked(), 0) << "asked for a drive's path";
  EXPECT_EQ(map.ToLocal(share), "/srv/baze/x.mdb");
  EXPECT_EQ(map.ToLocal(share), "/srv/baze/x.mdb");
  EXPECT_EQ(asked(), 1);
  EXPECT_EQ(engine::LoadPathMap(engine::Env::Default(), s).ToLocal(share), "/srv/baze/x.mdb");
  EXPECT_EQ(asked(), 1) << "asked again with nothing changed";
  for (const fs::path& changed : {dir / "smb.conf", included}) {
    SCOPED_TRACE(changed.string());
    const int before = asked();
    Write(changed, "[global]\n# changed\n");
    EXPECT_EQ(engine::LoadPathMap(engine::Env::Default(), s).ToLocal(share), "/srv/baze/x.mdb");
    EXPECT_EQ(asked(), before + 1);
  }
}

TEST(SambaConfig, ANamedConfigurationMustBeThereTheDefaultOneNeedNot) {
  TempDir dir;
  fs::create_directories(dir / "folder.conf");
  struct Case {
    fs::path conf;
    bool named;
    int number;  // 0: no error
  };
  for (const Case& c : {Case{dir / "none.conf", true, 3024}, Case{dir / "folder.conf", true, 3051},
                        Case{dir / "none.conf", false, 0}}) {
    engine::MapSources s;
    s.smb_conf = c.conf.string();
    s.smb_conf_named = c.named;
    s.testparm = kTestparm;
    try {
      EXPECT_TRUE(engine::LoadPathMap(engine::Env::Default(), s).Entries().empty());
      EXPECT_EQ(c.number, 0) << c.conf;
    } catch (const engine::EngineError& e) {
      EXPECT_EQ(e.number(), c.number) << e.description();
      EXPECT_NE(e.description().find("Samba configuration '" + c.conf.string() + "' that VOSTREL_SMB_CONF names"),
                std::string::npos)
          << e.description();
    }
  }
}

}  // namespace
