// The program itself, started as a script would start it.
#include "tests/gui/form_harness.h"
#include "ui/application.h"

namespace gui_test {
namespace {

using testing_support::ReadBytes;
using testing_support::ShellQuote;

// The toolkit may warn on standard error too; the report is a line of its own.
bool HasLineStarting(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0 || text.find("\n" + start) != std::string::npos;
}

std::string Vostrel() { return ShellQuote((testing_support::BinDir() / "vostrel").string()); }

// Offscreen, with a time limit so that a program waiting for a click fails
// the test instead of hanging it.
testing_support::RunResult RunOffscreen(const std::string& args, const fs::path& cwd) {
  // In English, whatever the user who runs the tests reads.
  return testing_support::Run("env -u LANGUAGE LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen timeout 60 " + Vostrel() + " " +
                                  args,
                              cwd);
}

class BinaryTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    if (!fs::exists(testing_support::BinDir() / "vostrel")) GTEST_SKIP() << "vostrel was not built";
  }
};

TEST_F(BinaryTest, RelinksByItselfAndEndsWithZero) {
  const fs::path dir = UseFixture("v2003-basic");
  // The toolkit's own options are not part of the argument.
  const fs::path back = dir / "back";
  fs::create_directory(back);
  fs::copy_file(dir / "PARTNER.MDB", back / "PARTNER.MDB");
  const auto before = ReadBytes(dir / "MLQ.mdb");
  auto r = testing_support::Run("timeout 60 " + Vostrel() + " -platform offscreen -style fusion " + ShellQuote(back.string()), dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(HasLineStarting(r.err, "Napaka") || HasLineStarting(r.err, "Error")) << r.err;
  if (testing_support::CheckWithMdbReader()) {
    EXPECT_EQ(PartnerLinkByOracle(dir / "MLQ.mdb").database, back.string() + "\\PARTNER.MDB");
  }

  // Those options alone leave the argument empty: the window waits for a
  // person instead of relinking by itself.
  const auto relinked = ReadBytes(dir / "MLQ.mdb");
  ASSERT_NE(relinked, before);
  auto alone = testing_support::Run("timeout 3 " + Vostrel() + " -platform offscreen -style fusion", dir);
  EXPECT_EQ(alone.status, 124) << "it ended instead of waiting: " << alone.err;
  EXPECT_EQ(ReadBytes(dir / "MLQ.mdb"), relinked);
}

TEST_F(BinaryTest, HelpAndVersionAnswerWithoutADisplayAndRelinkNothing) {
  const fs::path dir = UseFixture("v2003-basic");
  const auto before = ReadBytes(dir / "MLQ.mdb");
  struct Case {
    const char* args;
    const char* out_start;
  } cases[] = {{"--help", "Usage: vostrel [folder]\n"}, {"/?", "Usage: vostrel [folder]\n"}, {"--version", "vostrel 1.00\n"}};
  for (const Case& c : cases) {
    // No display and no platform asked for: the answer needs none.
    auto r = testing_support::Run("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LANGUAGE LC_ALL=C.UTF-8 timeout 10 " +
                                      Vostrel() + " " +
                                      ShellQuote(c.args),
                                  dir);
    EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
    EXPECT_EQ(r.out.rfind(c.out_start, 0), 0u) << c.args << "\n" << r.out;
  }
  EXPECT_EQ(ReadBytes(dir / "MLQ.mdb"), before);
}

// Environment for a run under the leak checker: what the toolkit's libraries
// keep until the process ends (libdbus for the xcb plugin, fontconfig's
// caches once a translated text is laid out) is not ours.
std::string LibraryLeaksAside() {
  const std::string suppressions = (testing_support::SourceDir() / "tests/gui/lsan_suppressions.txt").string();
  return "LSAN_OPTIONS=\"suppressions=" + suppressions + "${LSAN_OPTIONS:+:$LSAN_OPTIONS}\" ";
}

// Under a Slovenian locale the engine's description of a failure is
// Slovenian too, and so is the window's own "Napaka".
TEST_F(BinaryTest, FailureIsDescribedInTheUsersLanguage) {
  if (testing_support::Run("( locale -a | grep -qix sl_SI.utf8 )").status != 0)
    GTEST_SKIP() << "the locale sl_SI.UTF-8 is not generated (tools/deps.sh generates it)";
  const fs::path dir = scratch_->path();  // no MLQ.mdb in it
  fs::create_directory(dir / "prazno");
  auto r = testing_support::Run(LibraryLeaksAside() + "env -u LC_ALL -u LANGUAGE LANG=sl_SI.UTF-8 QT_QPA_PLATFORM=offscreen timeout 60 " + Vostrel() +
                                    " prazno",
                                dir);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(HasLineStarting(r.err, "Napaka 3024: Datoteke '")) << r.err;
}

// Without a display the toolkit would abort with its own English text.
TEST_F(BinaryTest, WithoutADisplaySaysSoInOneLineAndEnds) {
  const fs::path dir = scratch_->path();
  for (const char* env : {"env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM",
                          "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:93"}) {
    auto r = testing_support::Run(std::string(env) + " LC_ALL=C.UTF-8 timeout 60 " + Vostrel(), dir);
    EXPECT_EQ(r.status, 1) << env << ": " << r.err;
    EXPECT_EQ(r.err, std::string(ui::kNoDisplayLine) + "\n") << env;
  }
}

TEST_F(BinaryTest, PrefixUsesTheProgramsOwnFolder) {
  const fs::path dir = UseFixture("v2003-basic");
  const fs::path program_dir = scratch_->path() / "program";
  fs::create_directory(program_dir);
  fs::copy_file(testing_support::BinDir() / "vostrel", program_dir / "vostrel");
  fs::copy_file(dir / "PARTNER.MDB", program_dir / "PARTNER.MDB");
  auto r = testing_support::Run("QT_QPA_PLATFORM=offscreen timeout 60 " + ShellQuote((program_dir / "vostrel").string()) + " mLq", dir);
  ASSERT_EQ(r.status, 0) << r.err;
  if (testing_support::CheckWithMdbReader()) {
    EXPECT_EQ(PartnerLinkByOracle(dir / "MLQ.mdb").database, program_dir.string() + "\\PARTNER.MDB");
  }
}

TEST_F(BinaryTest, FailureSaysWhyEndsNonZeroAndLeavesTheFileAlone) {
  struct Case {
    const char* what;
    const char* fixture;
    const char* argument;
    bool remove_front_end;
    const char* says;
  } cases[] = {
      {"a folder without a back-end", "v2003-basic", "prazno", false, "Error 3024: "},
      {"no front-end", "v2003-basic", "prazno", true, "Error 3024: "},
      {"no table Partner", "v2003-no-partner", "prazno", false, "Error 3265: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path dir = UseFixture(c.fixture);
    fs::create_directory(dir / c.argument);
    if (c.remove_front_end) fs::remove(dir / "MLQ.mdb");
    const auto before = ReadBytes(dir / "MLQ.mdb");
    auto r = RunOffscreen(ShellQuote((dir / c.argument).string()), dir);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.status, 124) << "it waited instead of ending";
    EXPECT_TRUE(HasLineStarting(r.err, c.says)) << r.err;
    EXPECT_EQ(ReadBytes(dir / "MLQ.mdb"), before);
  }
}

// A bare X server: no window manager gives the window focus, and the
// program must relink all the same.
TEST_F(BinaryTest, RelinksUnderABareXServer) {
  if (testing_support::Run("command -v xvfb-run && command -v Xvfb").status != 0) GTEST_SKIP() << "no Xvfb here";
  const fs::path dir = UseFixture("v2003-basic");
  fs::create_directory(dir / "b");
  fs::copy_file(dir / "PARTNER.MDB", dir / "b" / "PARTNER.MDB");
  auto r = testing_support::Run(LibraryLeaksAside() + "QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a " + Vostrel() + " " +
                                    ShellQuote((dir / "b").string()),
                                dir);
  ASSERT_EQ(r.status, 0) << r.err;
  if (testing_support::CheckWithMdbReader()) {
    EXPECT_EQ(PartnerLinkByOracle(dir / "MLQ.mdb").database, (dir / "b").string() + "\\PARTNER.MDB");
  }
}

TEST_F(BinaryTest, InstallsProgramIconsAndDesktopEntry) {
  const fs::path build = testing_support::BinDir().parent_path();
  if (!fs::exists(build / "cmake_install.cmake")) GTEST_SKIP() << "no install script in " << build;
  auto r = testing_support::Run("cmake --install " + ShellQuote(build.string()) + " --prefix " + ShellQuote(scratch_->path().string()));
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path prefix = scratch_->path();
  EXPECT_TRUE(fs::exists(prefix / "bin" / "vostrel"));
  const std::string entry = testing_support::Run("cat " + ShellQuote((prefix / "share/applications/vostrel.desktop").string())).out;
  // Started from a menu, the program works in the folder it is installed in.
  EXPECT_NE(entry.find("\nExec=\"" + (prefix / "bin/vostrel").string() + "\"\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nPath=" + (prefix / "bin").string() + "\n"), std::string::npos) << entry;
  if (testing_support::Run("command -v desktop-file-validate").status == 0) {
    auto valid = testing_support::Run("desktop-file-validate " + ShellQuote((prefix / "share/applications/vostrel.desktop").string()));
    EXPECT_EQ(valid.status, 0) << valid.out << valid.err;
  }
  EXPECT_NE(entry.find("Icon=vostrel"), std::string::npos) << entry;
  for (const char* size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
    const fs::path icon = prefix / "share/icons/hicolor" / size / "apps/vostrel.png";
    ASSERT_TRUE(fs::exists(icon)) << icon;
    const auto bytes = ReadBytes(icon);
    ASSERT_GT(bytes.size(), 24u);
    // PNG width and height, big-endian at 16 and 20.
    const int side = std::stoi(size);
    EXPECT_EQ(bytes[18] * 256 + bytes[19], side);
    EXPECT_EQ(bytes[22] * 256 + bytes[23], side);
  }
  // The manual pages, completion and the scalable icon come with every install, not only with the package.
  for (const char* file : {"share/man/man1/vostrel.1.gz", "share/man/man1/vostrel-cli.1.gz",
                           "share/bash-completion/completions/vostrel-cli", "share/icons/hicolor/scalable/apps/vostrel.svg"}) {
    EXPECT_TRUE(fs::exists(prefix / file)) << file;
  }
}

// Installed in /usr/bin (the Debian package), the entry names no working
// folder: /usr/bin holds no front-end, and the menu starts the window in the
// user's home folder instead.
TEST_F(BinaryTest, DesktopEntryInUsrBinNamesNoWorkingFolder) {
  const fs::path build = testing_support::BinDir().parent_path();
  if (!fs::exists(build / "cmake_install.cmake")) GTEST_SKIP() << "no install script in " << build;
  const fs::path root = scratch_->path();
  auto r = testing_support::Run("DESTDIR=" + ShellQuote(root.string()) + " cmake --install " + ShellQuote(build.string()) +
                                " --prefix /usr");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string entry = testing_support::Run("cat " + ShellQuote((root / "usr/share/applications/vostrel.desktop").string())).out;
  EXPECT_NE(entry.find("\nExec=\"/usr/bin/vostrel\"\n"), std::string::npos) << entry;
  EXPECT_EQ(entry.find("\nPath="), std::string::npos) << entry;
}

}  // namespace
}  // namespace gui_test
