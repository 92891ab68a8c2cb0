// A front-end with a database password, from the command line: given in a
// file, in the environment or at a prompt on a terminal, for list, check and
// relink; the relinked file still wants it and the outside reader reads the
// new link with it; a wrong one is 3031; it is never printed.
#include <fstream>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>

#include "tests/cli/built.h"

namespace {

using namespace testing_support;
using cli_test::Cli;
using dbbuilder::FormatVersion;

// VOSTREL_PASSWORD for as long as it lives, as the programs run meanwhile
// see it (on Windows too, where no shell sets it for one command).
class PasswordVariable {
 public:
  explicit PasswordVariable(const std::string& value) { Set(value.c_str()); }
  ~PasswordVariable() { Set(nullptr); }

 private:
  static void Set(const char* value) {
#ifdef _WIN32
    _putenv_s("VOSTREL_PASSWORD", value ? value : "");
#else
    if (value) ::setenv("VOSTREL_PASSWORD", value, 1);
    else ::unsetenv("VOSTREL_PASSWORD");
#endif
  }
};

constexpr char kPassword[] = "Skriv-no7";
constexpr char kPrompt[] = "password of ";

// The kinds of protected front-end: a Jet3/Jet4 database password in the
// header, an ACE file encrypted with it (agile, as the desktop program writes
// by default, and RC4 CryptoAPI).
struct Kind {
  const char* name;
  FormatVersion format;
  std::optional<jet::AceEncryptionKind> encryption;
};
const Kind kKinds[] = {
    {"jet4", FormatVersion::kJet4, std::nullopt},
    {"jet3", FormatVersion::kJet3, std::nullopt},
    {"aceAgile", FormatVersion::kAce14, jet::AceEncryptionKind::kAgile},
    {"aceRc4", FormatVersion::kAce12, jet::AceEncryptionKind::kRc4CryptoApi},
};

enum class Way { kFile, kVariable, kPrompt };

struct Case {
  Kind kind;
  Way way;
};

void PrintTo(const Case& c, std::ostream* os) {
  static const char* const kWays[] = {"File", "Variable", "Prompt"};
  *os << c.kind.name << kWays[static_cast<int>(c.way)];
}

// A protected front-end MLQ.mdb linked to C:\MLQ\PARTNER.MDB, and the back-end
// it is to be repointed at in nov/.
struct Scene {
  TempDir dir;
  fs::path front, back;
  explicit Scene(const Kind& kind) {
    back = cli_test::BuildBackEnd(dir.path(), "nov/PARTNER.MDB", kind.format);
    dbbuilder::FrontEndOptions options;
    options.format = kind.format;
    dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd(options);
    if (kind.encryption)
      described.encryption = dbbuilder::Encryption{kPassword, *kind.encryption};
    else
      described.password = kPassword;
    front = cli_test::Build(described, dir.path(), "MLQ.mdb");
    std::ofstream(dir.path() / "geslo.txt", std::ios::binary) << kPassword << "\r\n" << "second line\n";
  }

  // The command, with the password given in `way`; `password` to give.
  RunResult Vostrel(const std::string& args, Way way, const std::string& password = kPassword) const {
    switch (way) {
      case Way::kFile: {
        std::ofstream(dir.path() / "given.txt") << password << "\n";
        return testing_support::Run(Cli() + " " + args + " --password-file given.txt", dir.path());
      }
      case Way::kVariable: {
        PasswordVariable variable(password);
        return testing_support::Run(Cli() + " " + args, dir.path());
      }
      case Way::kPrompt:
#ifdef _WIN32
        break;
#else
        return RunOnTerminal(Cli() + " " + args, dir.path(), kPrompt, {password});
#endif
    }
    return {};
  }
};

class PasswordFrontEnd : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
#ifdef _WIN32
    if (GetParam().way == Way::kPrompt) GTEST_SKIP() << "no pseudo-terminal for a Windows program here";
#endif
  }
};

TEST_P(PasswordFrontEnd, ListsChecksAndRelinksAndStaysProtected) {
  const Case c = GetParam();
  Scene s(c.kind);
  const std::string to = s.back.string();
  std::vector<RunResult> runs;
  runs.push_back(s.Vostrel("list MLQ.mdb", c.way));
  EXPECT_EQ(runs.back().status, 0) << runs.back().err << runs.back().out;
  EXPECT_NE(runs.back().out.find("Partner\tlinked\t;DATABASE=C:\\MLQ\\PARTNER.MDB"), std::string::npos) << runs.back().out;
  runs.push_back(s.Vostrel("check MLQ.mdb", c.way));
  EXPECT_EQ(runs.back().status, 1) << "the old back-end is not here: " << runs.back().out;
  EXPECT_NE(runs.back().out.find("MLQ.mdb\tPartner\tError 3044"), std::string::npos) << runs.back().out;
  runs.push_back(s.Vostrel("relink MLQ.mdb --from 'C:\\MLQ' --to " + ShellQuote(s.back.parent_path().string()), c.way));
  EXPECT_EQ(runs.back().status, 0) << runs.back().err << runs.back().out;
  runs.push_back(s.Vostrel("check MLQ.mdb", c.way));
  EXPECT_EQ(runs.back().status, 0) << runs.back().err << runs.back().out;
  EXPECT_NE(runs.back().out.find("MLQ.mdb\tPartner\tok"), std::string::npos) << runs.back().out;
  for (const RunResult& r : runs) {
    EXPECT_EQ(r.out.find(kPassword), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find(kPassword), std::string::npos) << r.err;
  }

  // Still protected: without the password it does not open.
  const RunResult bare = testing_support::Run(Cli() + " list MLQ.mdb", s.dir.path());
  EXPECT_EQ(bare.status, 1);
  EXPECT_NE(bare.err.find("Error 3031"), std::string::npos) << bare.err;
  if (CheckWithMdbReader()) {
    std::map<std::string, std::string> read;
    for (const OracleObject& o : MdbReaderCatalog(s.front, kPassword))
      if (o.type == 6) read[o.name] = o.database;
    EXPECT_EQ(read["Partner"], to);
    EXPECT_EQ(read["Artikli"], to);
  }
}

// A wrong password in each way is 3031 and exit status 1; at the prompt it
// is asked for three times, and an end of input there is a missing one.
TEST_P(PasswordFrontEnd, WrongPasswordIs3031) {
  const Case c = GetParam();
  Scene s(c.kind);
  const std::vector<uint8_t> before = ReadBytes(s.front);
  const std::string wrong = "napacno-geslo";
  for (const std::string& args : {std::string("list MLQ.mdb"), std::string("relink MLQ.mdb --from 'C:\\MLQ' --to 'D:\\x'")}) {
    const RunResult r = s.Vostrel(args, c.way, wrong);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_NE((r.err + r.out).find("Error 3031: Not a valid password."), std::string::npos) << r.err << r.out;
    EXPECT_EQ((r.err + r.out).find(wrong), std::string::npos) << r.err << r.out;
  }
  EXPECT_EQ(ReadBytes(s.front), before);
#ifndef _WIN32
  if (c.way != Way::kPrompt) return;
  const RunResult thrice = RunOnTerminal(Cli() + " list MLQ.mdb", s.dir.path(), kPrompt, {"a", "b", "c", kPassword});
  EXPECT_EQ(thrice.status, 1);
  size_t asked = 0;
  for (size_t at = 0; (at = thrice.out.find(kPrompt, at)) != std::string::npos; ++at) ++asked;
  EXPECT_EQ(asked, 3u) << thrice.out;
  const RunResult ended = RunOnTerminal(Cli() + " list MLQ.mdb", s.dir.path(), kPrompt, {});
  EXPECT_EQ(ended.status, 1);
  EXPECT_NE(ended.out.find("Error 3031"), std::string::npos) << ended.out;
#endif
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (const Kind& k : kKinds)
    for (Way w : {Way::kFile, Way::kVariable, Way::kPrompt}) cases.push_back({k, w});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Kinds, PasswordFrontEnd, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::ostringstream name;
                           PrintTo(info.param, &name);
                           return name.str();
                         });

// Where the password comes from: the file's first line without its "\r\n",
// before the variable; a file that cannot be read, or a password with ";",
// is said and ends the command with 1 before anything is opened; the
// password of the front-end never becomes a back-end's.
TEST(PasswordOption, FileBeforeVariableAndItsFailures) {
  Scene s(kKinds[0]);
  const std::string cli = Cli();
  std::optional<PasswordVariable> variable(std::in_place, "napak");
  RunResult r = testing_support::Run(cli + " list --password-file geslo.txt MLQ.mdb", s.dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  variable.emplace("a;b");
  r = testing_support::Run(cli + " check --password-file nikjer.txt MLQ.mdb", s.dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("vostrel-cli check: nikjer.txt: cannot read the password"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
  r = testing_support::Run(cli + " relink MLQ.mdb --from 'C:\\MLQ' --to 'D:\\x'", s.dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("holds \";\""), std::string::npos) << r.err;
  variable.reset();
  // A back-end with no password of its own opens as it is: the front-end's
  // password is not tried on it, nor written into a link.
  r = testing_support::Run(cli + " relink --json MLQ.mdb --password-file geslo.txt --from 'C:\\MLQ' --to " +
              ShellQuote(s.back.parent_path().string()),
          s.dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("PWD"), std::string::npos) << r.out;
}

// A link's own password reaches its protected back-end, and a --from/--to
// move keeps it, beside the front-end's own other password.
TEST(PasswordOption, MoveKeepsTheBackEndsPasswordInTheLink) {
  TempDir dir;
  const fs::path back = cli_test::BuildBackEnd(dir.path(), "nov/PARTNER.MDB", FormatVersion::kJet4);
  cli_test::SetDatabasePassword(back, "zaledje");
  dbbuilder::FrontEndOptions options;
  options.links = {{"Partner", dbbuilder::kOldBackEnd}};
  options.partner_connect = "MS Access;PWD=zaledje";
  dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd(options);
  described.password = kPassword;
  const fs::path front = cli_test::Build(described, dir.path(), "MLQ.mdb");
  PasswordVariable variable(kPassword);
  const RunResult r = testing_support::Run(Cli() + " relink MLQ.mdb --from 'C:\\MLQ' --to " +
                              ShellQuote(back.parent_path().string()),
                          dir.path());
  EXPECT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("-> MS Access;PWD=***;DATABASE="), std::string::npos) << r.out;
  const RunResult shown = testing_support::Run(Cli() + " check --show-passwords MLQ.mdb", dir.path());
  EXPECT_EQ(shown.status, 0) << shown.out;
  EXPECT_NE(shown.out.find("ok"), std::string::npos) << shown.out;
  if (CheckWithMdbReader())
    for (const OracleObject& o : MdbReaderCatalog(front, kPassword))
      if (o.name == "Partner") {
        EXPECT_EQ(o.connect, "MS Access;PWD=zaledje") << o.database;
      }
}

}  // namespace
