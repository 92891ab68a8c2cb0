// What the programs say in the user's language: under a Slovenian locale no
// English is left in any command's help, usage errors or outcomes; --version
// names the version and where the build came from.
#include <regex>
#include <set>
#include <sstream>

#include "tests/cli/built.h"

namespace {

using namespace testing_support;
using cli_test::Cli;
using dbbuilder::FormatVersion;

// Words of English sentences that Slovenian never uses. Words the output
// keeps English by design are not among them: option names, the --json keys
// and values the help explains (quoted, or keys such as error, table, from),
// the object kinds list prints (local, linked, query, ...).
const std::set<std::string> kEnglishWords = {
    "the",   "and",     "of",        "is",      "are",     "with",    "for",       "when",     "which",
    "not",   "every",   "each",      "this",    "that",    "its",     "by",        "usage",    "unchanged",
    "ok",    "checkable", "scanned", "built",   "release", "unknown", "option",    "needs",    "given",
    "twice", "unexpected", "command", "nothing", "cannot", "entry",    "files",    "folder",
    "link",  "could",   "find",      "valid",   "path",    "dry",     "run",       "prints",   "explains",
};

// The English words of `text`, outside option names ("--dry-run") and
// double-quoted values ("not checkable").
std::set<std::string> EnglishWordsIn(const std::string& text) {
  static const std::regex kAside(R"(--[A-Za-z-]+|"[^"\n]*")");
  static const std::regex kWord("[A-Za-z]+");
  const std::string rest = std::regex_replace(text, kAside, " ");
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(rest.begin(), rest.end(), kWord); it != std::sregex_iterator(); ++it) {
    std::string word = it->str();
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (kEnglishWords.count(word)) found.insert(word);
  }
  return found;
}

std::string Joined(const std::set<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : ", ") + w;
  return out;
}

bool HaveSlovenianLocale() {
#ifdef _WIN32
  return false;  // Windows takes the user's UI language, not a locale: window_tests_sl runs there
#endif
  if (testing_support::Run("( locale -a | grep -qix sl_SI.utf8 )").status == 0) return true;
  const char* ci = std::getenv("CI");
  if (ci && *ci) ADD_FAILURE() << "the locale sl_SI.UTF-8 is missing, which CI generates (tools/deps.sh)";
  return false;
}

struct Said {
  const char* what;
  std::string args;
};

TEST(Language, NoEnglishIsLeftUnderASlovenianLocale) {
  if (!HaveSlovenianLocale()) GTEST_SKIP() << "the locale sl_SI.UTF-8 is not generated (tools/deps.sh generates it)";
  TempDir dir;
  const std::string d = fs::canonical(dir.path()).string();
  const std::string old_back = d + "/PARTNER.MDB";
  cli_test::BuildBackEnd(dir.path(), "PARTNER.MDB", FormatVersion::kJet4);
  cli_test::BuildBackEnd(dir.path(), "BREZ.MDB", FormatVersion::kJet4, {"Artikli"});
  dbbuilder::FrontEndOptions options;
  options.links = {{"Partner", old_back}, {"Artikli", old_back}};
  cli_test::Build(dbbuilder::FrontEnd(options), dir.path(), "MLQ.mdb");
  options.links = {{"Partner", d + "/NI.MDB"}};
  cli_test::Build(dbbuilder::FrontEnd(options), dir.path(), "sub/POKVARJENA.mdb");
  const std::string front = ShellQuote(d + "/MLQ.mdb");
  const Said cases[] = {
      {"the usage", "--help"},
      {"list's help", "list --help"},
      {"check's help", "check --help"},
      {"relink's help", "relink --help"},
      {"scan's help", "scan --help"},
      {"map's help", "map --help"},
      {"the version", "--version"},
      {"no command", ""},
      {"an unknown command", "frob"},
      {"an unknown option", "check --all " + front},
      {"a missing value", "relink " + front + " --from X --to"},
      {"a usage error of the command", "relink " + front},
      {"list's unexpected argument", "list " + front + " " + front},
      {"check: ok and a broken link", "check " + front + " " + ShellQuote(d + "/sub/POKVARJENA.mdb")},
      {"a dry run", "relink --dry-run " + front + " --from " + ShellQuote(old_back) + " --to " + ShellQuote(d + "/X.MDB")},
      {"unchanged beside a failure",
       "relink " + front + " --from " + ShellQuote(old_back) + " --to " + ShellQuote(d + "/BREZ.MDB")},
      {"no link to change", "relink " + front + " --from 'C:\\NIKJER.MDB' --to 'D:\\X.MDB'"},
      {"scan", "scan " + ShellQuote(d)},
      {"a folder scan cannot read", "scan " + ShellQuote(d + "/ni")},
  };
  for (const Said& c : cases) {
    SCOPED_TRACE(c.what);
    // Both streams: usage errors and failures go to stderr.
    auto run = [&](const std::string& lang) {
      return testing_support::Run("( env -u LC_ALL -u LANGUAGE LANG=" + lang + " " + Cli() + " " + c.args + " 2>&1 )",
                                  dir.path());
    };
    const RunResult english = run("C.UTF-8"), slovenian = run("sl_SI.UTF-8");
    // The check must be able to fail: the English says the same in words it finds.
    EXPECT_FALSE(EnglishWordsIn(english.out).empty()) << english.out;
    EXPECT_EQ(Joined(EnglishWordsIn(slovenian.out)), "") << slovenian.out;
    EXPECT_EQ(slovenian.status, english.status);
  }
  // The window's help, asked where no window could open.
  if (fs::exists(Program("vostrel"))) {
    const RunResult r = testing_support::Run("env -u LC_ALL -u LANGUAGE -u DISPLAY -u WAYLAND_DISPLAY LANG=sl_SI.UTF-8 " +
                                             ShellQuote(Program("vostrel").string()) + " --help");
    EXPECT_EQ(r.out.rfind("Uporaba: vostrel [mapa]\n", 0), 0u) << r.out;
    EXPECT_EQ(Joined(EnglishWordsIn(r.out)), "") << r.out;
  }
}

// The three programs answer --version with the project's version and where
// the build came from, in two lines; the window without opening one.
TEST(Language, EveryProgramSaysItsVersionAndSource) {
  const std::regex version_line(R"(([a-z-]+) [0-9]+\.[0-9]+\n(built from git [^ \n]+|built from a source release)\n)");
#ifdef _WIN32
  // vostrel.exe answers in a message box (window_tests); the rest speak the UI language.
  const char* programs[] = {"vostrel-cli", "vostrel-mkdb"};
  const std::string english;
#else
  const char* programs[] = {"vostrel-cli", "vostrel-mkdb", "vostrel"};
  const std::string english = "env -u LC_ALL -u LANGUAGE -u DISPLAY -u WAYLAND_DISPLAY LANG=C.UTF-8 ";
#endif
  for (const char* program : programs) {
    SCOPED_TRACE(program);
    const fs::path path = Program(program);
    if (!fs::exists(path)) {
      EXPECT_STRNE(program, "vostrel-cli") << "vostrel-cli is not built";
      continue;
    }
    const RunResult r = testing_support::Run(english + ShellQuote(path.string()) + " --version");
    EXPECT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(r.out, m, version_line)) << r.out;
    EXPECT_EQ(m[1].str(), program);
  }
}

}  // namespace
