// Something other than a file at the name of a front-end's journal: every
// command on that file, and a scan of the tree, ends at once with an error
// that names it. Each command runs under a watchdog (timeout), so that one
// that would block fails instead of hanging the suite.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <nlohmann/json.hpp>

#include "tests/cli/built.h"

namespace {

using namespace testing_support;
using cli_test::Cli;

// Far above "at once" on a loaded machine; a killed command exits with 137.
const std::string kWatchdog = "timeout -s KILL 20 ";

struct JournalNameCase {
  const char* what;
  void (*make)(const fs::path& journal);
};

void PrintTo(const JournalNameCase& c, std::ostream* os) { *os << c.what; }

void MakeFifo(const fs::path& path) {
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
#else
  (void)path;
#endif
}

class JournalName : public testing::TestWithParam<JournalNameCase> {};

TEST_P(JournalName, EveryCommandEndsAtOnceNamingIt) {
  SKIP_ON_WINDOWS("FIFOs and device links made by the test");
  TempDir dir;
  const fs::path back = cli_test::BuildBackEnd(dir.path(), "PARTNER.MDB", dbbuilder::FormatVersion::kJet4);
  dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
  described.objects.resize(1);
  dbbuilder::Link l;
  l.name = "Partner";
  l.database = back.string();
  l.foreign_name = "Partner";
  described.AddLink(l);
  const fs::path front = cli_test::Build(described, dir.path() / "drevo", "MLQ.mdb");
  const fs::path journal = front.string() + ".vostrel-journal";
  GetParam().make(journal);
  const auto before = ReadBytes(front);

  const std::string f = ShellQuote(front.string());
  for (const std::string& command :
       {"check " + f, "list " + f, "relink " + f + " --table Partner --connect ';DATABASE=" + back.string() + "'",
        "scan " + ShellQuote((dir / "drevo").string())}) {
    const RunResult r = testing_support::Run(kWatchdog + Cli() + " " + command, dir.path());
    EXPECT_EQ(r.status, 1) << command << "\n" << r.out << r.err;
    EXPECT_NE((r.out + r.err).find("3051"), std::string::npos) << command << "\n" << r.out << r.err;
    EXPECT_NE((r.out + r.err).find("'" + journal.string() + "', where its journal is kept, is not a file"),
              std::string::npos)
        << command << "\n" << r.out << r.err;
  }
  EXPECT_EQ(ReadBytes(front), before);
}

INSTANTIATE_TEST_SUITE_P(
    HostileNames, JournalName,
    testing::Values(
        JournalNameCase{"fifo", MakeFifo},
        JournalNameCase{"folder", [](const fs::path& j) { fs::create_directory(j); }},
        JournalNameCase{"device", [](const fs::path& j) { fs::create_symlink("/dev/zero", j); }}),
    [](const testing::TestParamInfo<JournalNameCase>& info) { return std::string(info.param.what); });

// A folder named on a system that wrote Latin-2 ("Računi", č as the byte
// 0xE8): the name is not UTF-8, and JSON text must be. --json of every
// command that shows it still parses with a strict parser, the name's bad
// byte as U+FFFD.
TEST(HostileNames, ANameThatIsNotUtf8StillMakesJson) {
  SKIP_ON_WINDOWS("names there are UTF-16, always UTF-8 when converted");
  TempDir dir;
  const fs::path folder = dir / "Ra\xe8uni";
  cli_test::BuildBackEnd(folder, "PARTNER.MDB", dbbuilder::FormatVersion::kJet4);
  dbbuilder::FrontEndOptions o;
  o.links = {{"Partner", "PARTNER.MDB"}};  // beside it: found from the folder the command runs in
  const fs::path front = cli_test::Build(dbbuilder::FrontEnd(o), folder, "MLQ.mdb");
  const std::string shown = dir.path().string() + "/Ra\xef\xbf\xbduni";  // U+FFFD for the byte
  struct Case {
    std::string args;
    std::string pointer;  // where in the parsed output
    std::string value;
  };
  const Case cases[] = {
      {"list --json " + ShellQuote(front.string()), "/1/database", "PARTNER.MDB"},
      {"check --json " + ShellQuote(front.string()), "/0/frontEnd", shown + "/MLQ.mdb"},
      {"check --json MLQ.mdb", "/0/links/0/localPath", shown + "/PARTNER.MDB"},
      {"scan --json " + ShellQuote(dir.path().string()), "/0/frontEnd", shown + "/MLQ.mdb"},
  };
  for (const Case& c : cases) {
    const RunResult r = testing_support::Run(Cli() + " " + c.args, folder);
    EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
    try {
      const nlohmann::json parsed = nlohmann::json::parse(r.out);
      EXPECT_EQ(parsed.at(nlohmann::json::json_pointer(c.pointer)), c.value) << c.args;
    } catch (const nlohmann::json::exception& e) {
      ADD_FAILURE() << c.args << ": " << e.what() << "\n" << r.out;
    }
  }
}

}  // namespace
