// The worked example of a server move in docs/cli.md and the README: every
// command in it is run here, on front-ends the test builds, and must print
// exactly what the page shows. "/srv/baze" in the page stands for a folder
// of the test.
#include <fstream>
#include <sstream>

#include "tests/cli/built.h"

namespace {

using namespace testing_support;
using dbbuilder::FormatVersion;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

struct Step {
  std::string command;  // after "$ "
  std::string output;   // the lines after it
};

// The lines between "<!-- server move -->" and "<!-- /server move -->"
// that are in code blocks: "$ command" and what it prints.
std::vector<Step> Example(const fs::path& page) {
  std::ifstream in(page);
  std::vector<Step> steps;
  bool inside = false, code = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "<!-- server move -->") inside = true;
    if (line == "<!-- /server move -->") inside = false;
    if (!inside) continue;
    if (line.rfind("```", 0) == 0) {
      code = !code;
      continue;
    }
    if (!code) continue;
    if (line.rfind("$ ", 0) == 0)
      steps.push_back(Step{line.substr(2), ""});
    else if (!steps.empty())
      steps.back().output += line + "\n";
  }
  return steps;
}

TEST(Docs, TheServerMoveRunsAsShown) {
  for (const char* page : {"docs/cli.md", "README.md"}) {
    SCOPED_TRACE(page);
    const std::vector<Step> steps = Example(SourceDir() / page);
    ASSERT_GE(steps.size(), 4u) << "no worked example in " << page;
    TempDir dir;
    cli_test::BuildBackEnd(dir.path(), "srv/baze/PARTNER.MDB", FormatVersion::kJet4);
    dbbuilder::FrontEndOptions options;
    options.links = {{"Partner", "\\\\stari\\baze\\PARTNER.MDB"}, {"Artikli", "\\\\stari\\baze\\PARTNER.MDB"}};
    cli_test::Build(dbbuilder::FrontEnd(options), dir.path(), "pisarna/MLQ.mdb");
    cli_test::Build(dbbuilder::FrontEnd(options), dir.path(), "skladisce/MLQ.mdb");
    const std::string srv = (dir.path() / "srv/baze").string();
    WriteBytes(dir / "smb.conf", {});
    // The map's other sources are the test's: none.
    std::string prelude = "export PATH=" + ShellQuote(BinDir().string()) + ":\"$PATH\"; unset VOSTREL_MAP; export " +
                          "XDG_CONFIG_HOME=" + ShellQuote((dir / "config").string()) + " WINEPREFIX=" +
                          ShellQuote((dir / "wine").string()) + " VOSTREL_SMB_CONF=" +
                          ShellQuote((dir / "smb.conf").string()) + "; ";
    for (const Step& s : steps) {
      const std::string command = Replace(s.command, "/srv/baze", srv);
      if (command.rfind("export ", 0) == 0) {
        prelude += command + "; ";
        continue;
      }
      // Both streams, as a terminal shows them: Run sends each to a file of
      // its own, so they are joined inside.
      RunResult r = testing_support::Run("( ( " + prelude + command + " ) 2>&1 )", dir.path());
      EXPECT_EQ(r.out, Replace(s.output, "/srv/baze", srv)) << s.command;
    }
  }
}

}  // namespace
