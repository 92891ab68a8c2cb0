// vostrel-cli scan over a tree: front-ends told by content whatever their
// names, links filtered by back-end, symbolic links not followed, JSON.
#include "tests/cli/built.h"

namespace {

using namespace testing_support;
using cli_test::Cli;
using dbbuilder::FormatVersion;

struct Tree {
  TempDir dir;
  std::string old_path, new_path;
  Tree() {
    old_path = cli_test::BuildBackEnd(dir.path(), "stari/PARTNER.MDB", FormatVersion::kJet4).string();
    new_path = cli_test::BuildBackEnd(dir.path(), "novi/PARTNER.MDB", FormatVersion::kJet3).string();
    auto front = [&](const std::string& name, const std::string& database) {
      dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
      described.objects.resize(1);
      dbbuilder::Link l;
      l.name = "Partner";
      l.database = database;
      l.foreign_name = "Partner";
      described.AddLink(l);
      cli_test::Build(described, dir.path() / "deljeno", name);
    };
    front("a/MLQ.mdb", old_path);
    front("b/Kopija.MDE", new_path);
    front("b/c/brez_koncnice", "Z:\\Baze\\PARTNER.MDB");
    WriteBytes(dir / "deljeno/b/ni.mdb", {'n', 'o', '\n'});  // a name alone makes no front-end
    fs::create_directory_symlink(dir / "deljeno/a", dir / "deljeno/povezava");
  }
};

TEST(ScanCommand, FindsFrontEndsByContentAndFiltersByBackEnd) {
  Tree t;
  const std::string d = (t.dir / "deljeno").string();
  RunResult all = testing_support::Run(Cli() + " scan " + ShellQuote(d), t.dir.path());
  EXPECT_EQ(all.status, 1) << all.err;  // the Z: link is broken
  EXPECT_EQ(all.out.substr(0, all.out.find("\tError")),
            d + "/a/MLQ.mdb\tPartner\tok\n" + d + "/b/Kopija.MDE\tPartner\tok\n" + d + "/b/c/brez_koncnice\tPartner");

  // The back-end that moved, named as links name it: only those links.
  std::string old_windows = t.old_path;
  for (char& c : old_windows)
    if (c == '/') c = '\\';
  RunResult moved = testing_support::Run(Cli() + " scan " + ShellQuote(d) + " --back-end " + ShellQuote(old_windows), t.dir.path());
  EXPECT_EQ(moved.status, 0) << moved.err;
  EXPECT_EQ(moved.out, d + "/a/MLQ.mdb\tPartner\tok\n");
  EXPECT_EQ(moved.err, "");  // not a terminal: no progress

  // A folder takes every link below it, as relink --from does.
  RunResult folder = testing_support::Run(Cli() + " scan " + ShellQuote(d) + " --back-end 'z:/baze'", t.dir.path());
  EXPECT_EQ(folder.status, 1) << folder.err;
  EXPECT_EQ(folder.out.substr(0, folder.out.find("\tError")), d + "/b/c/brez_koncnice\tPartner");
}

// scan's lines tell a broken link by its number, a short reason and the
// back-end it names; --verbose by the whole description. Where the back-end
// is not reached here, one line on stderr says what to do: with --back-end
// (a back-end that moves), to repoint the links rather than map a server
// that is gone. A 3044 that is not about reaching a path keeps its words.
TEST(ScanCommand, ShortLinesAndAHintThatFitsAMove) {
  SKIP_ON_WINDOWS("a share path there is the system's own, looked for on the network");
  TempDir dir;
  const std::string back = cli_test::BuildBackEnd(dir.path(), "PARTNER.MDB", FormatVersion::kJet4).string();
  dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
  described.objects.resize(1);
  auto link = [&](const std::string& name, const std::string& database, std::optional<std::string> connect) {
    dbbuilder::Link l;
    l.name = name;
    l.database = database;
    l.connect = std::move(connect);
    l.foreign_name = "Partner";
    described.AddLink(l);
  };
  link("Stari", "\\\\stari\\baze\\PARTNER.MDB", std::nullopt);
  link("Dvakrat", back, "MS Access;DATABASE=" + back);  // readers differ on which DATABASE= they take
  cli_test::Build(described, dir.path(), "drevo/MLQ.mdb");
  const std::string tree = ShellQuote((dir / "drevo").string());
  const std::string f = (dir / "drevo/MLQ.mdb").string() + "\t";
  const std::string twice = f + "Dvakrat\tError 3044: 'MS Access;DATABASE=" + back + ";DATABASE=" + back +
                            "' is not a valid link string: it gives DATABASE= twice";
  struct Case {
    std::string args;
    std::vector<std::string> out_starts;  // of each line
    std::string err;
  };
  const std::string either =
      "vostrel-cli scan: some back-ends are not reached from here (such as '\\\\stari\\baze\\PARTNER.MDB'): one "
      "that has moved wants vostrel-cli relink --from/--to, one still in place a path map entry (vostrel-cli map "
      "--help)\n";
  const Case cases[] = {
      {"scan " + tree, {f + "Stari\tError 3044: not reached from here: \\\\stari\\baze\\PARTNER.MDB\n", twice}, either},
      {"scan --back-end '\\\\STARI\\baze\\partner.mdb' " + tree,
       {f + "Stari\tError 3044: not reached from here: \\\\stari\\baze\\PARTNER.MDB\n"},
       "vostrel-cli scan: '\\\\STARI\\baze\\partner.mdb' is not reached from here; if it has moved, repoint its "
       "links: vostrel-cli relink FILE... --from '\\\\STARI\\baze\\partner.mdb' --to NEWPATH\n"},
      {"scan --verbose " + tree,
       {f + "Stari\tError 3044: '\\\\stari\\baze\\PARTNER.MDB' is not a valid path. Make sure", twice}, either},
      {"scan --back-end " + ShellQuote(back) + " " + tree, {twice}, ""},
  };
  for (const Case& c : cases) {
    RunResult r = testing_support::Run("VOSTREL_MAP= " + Cli() + " " + c.args, dir.path());
    EXPECT_EQ(r.status, 1) << c.args;
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
      lines.push_back(r.out.substr(at, end + 1 - at));
    ASSERT_EQ(lines.size(), c.out_starts.size()) << c.args << "\n" << r.out;
    for (size_t i = 0; i < lines.size(); ++i)
      EXPECT_EQ(lines[i].rfind(c.out_starts[i], 0), 0u) << c.args << "\n" << lines[i];
    if (c.err.empty())
      EXPECT_EQ(r.err.find("vostrel-cli scan: "), std::string::npos) << c.args << "\n" << r.err;
    else
      EXPECT_EQ(r.err, c.err) << c.args;
  }
}

// A file whose path is longer than the system takes (4,096 bytes on Linux)
// cannot be checked by its name: it is said, never passed over in silence.
TEST(ScanCommand, APathTooLongIsReported) {
  SKIP_ON_WINDOWS("a path past PATH_MAX, made relative to its folder");
  TempDir dir;
  fs::path deep = dir.path() / "drevo";
  while (deep.string().size() < 3900) deep /= std::string(200, 'm');
  fs::create_directories(deep);
  const std::string name(250, 'x');
  ASSERT_EQ(testing_support::Run("cd " + ShellQuote(deep.string()) + " && : > " + name).status, 0);
  RunResult r = testing_support::Run(Cli() + " scan " + ShellQuote((dir / "drevo").string()), dir.path());
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("vostrel-cli: " + (deep / name).string() + ": cannot be read: stat " + (deep / name).string()),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("File name too long"), std::string::npos) << r.err;
}

TEST(ScanCommand, JsonAndAnUnreadableFolder) {
  Tree t;
  const std::string d = (t.dir / "deljeno").string();
  RunResult json = testing_support::Run(Cli() + " scan --json --back-end " + ShellQuote(t.new_path) + " " + ShellQuote(d), t.dir.path());
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find("\"frontEnd\":\"" + d + "/b/Kopija.MDE\""), std::string::npos) << json.out;
  EXPECT_EQ(json.out.find("MLQ.mdb"), std::string::npos);
  EXPECT_EQ(json.out.front(), '[');

  RunResult none = testing_support::Run(Cli() + " scan " + ShellQuote((t.dir / "nikjer").string()), t.dir.path());
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("vostrel-cli: " + (t.dir / "nikjer").string() + ": cannot read the folder: "), std::string::npos)
      << none.err;
#ifndef _WIN32  // a folder closed by its mode bits, which root is not stopped by
  const std::optional<std::string> as_user = AsOrdinaryUser();
  if (!as_user) GTEST_SKIP() << "running as root without setpriv: no user whom mode bits stop";
  OpenToEveryone(t.dir.path());
  fs::permissions(t.dir / "deljeno/b", fs::perms::none);
  RunResult closed = testing_support::Run(*as_user + Cli() + " scan " + ShellQuote(d), t.dir.path());
  fs::permissions(t.dir / "deljeno/b", fs::perms::owner_all);
  EXPECT_EQ(closed.out, d + "/a/MLQ.mdb\tPartner\tok\n");
  EXPECT_NE(closed.err.find("vostrel-cli: " + d + "/b: cannot read the folder: "), std::string::npos) << closed.err;
#endif
}

}  // namespace
