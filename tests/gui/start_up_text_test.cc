// Reading the command line and the program's folder.
#include "linkform/start_up_text.h"
#include "tests/gui/form_harness.h"
#include "ui/command_line.h"

namespace gui_test {
namespace {

TEST(StartUpTextTest, TrimsSpacesOnly) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},           {"   ", ""},          {" a ", "a"},         {"a  b", "a  b"},
      {"\ta\t", "\ta\t"}, {" \ta ", "\ta"},     {"\u00A0a", "\u00A0a"}, {"  D:\\My Data\\ ", "D:\\My Data\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(linkform::TrimSpaces(c.in), c.out) << c.in;
}

TEST(StartUpTextTest, SortsAfterSpaceByCharacterCode) {
  struct Case {
    std::string text;
    bool after;
  } cases[] = {
      {"", false},  {" ", false},   {"\t", false},  {"\x1F", false}, {"\tx", false},
      {"!", true},  {"a", true},    {"0", true},    {"\u00E9", true}, {" a", true},  // " a" > " "
      {"\u2003", true},  // a wide space sorts after " " by code, whatever a locale says
  };
  for (const Case& c : cases) EXPECT_EQ(linkform::SortsAfterSpace(c.text), c.after) << c.text;
}

TEST(StartUpTextTest, ProgramNameIsSkippedAsTheRuntimeSkipsIt) {
  struct Case {
    std::string line, rest;
  } cases[] = {
      {"vostrel.exe", ""},
      {"vostrel.exe D:\\Data", " D:\\Data"},
      {"vostrel.exe\tD:\\Data", "\tD:\\Data"},
      {"\"C:\\Program Files\\vostrel.exe\"  \"C:\\Podatki \u010C\" ", "  \"C:\\Podatki \u010C\" "},
      {"\"C:\\Pro gram\\vostrel.exe\"x", "x"},
      {"\"C:\\no end", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(linkform::AfterProgramName(c.line), c.rest) << c.line;
}

TEST(StartUpTextTest, HelpAndVersionAreAskedForByTheWholeArgument) {
  using enum linkform::StartUpRequest;
  struct Case {
    std::string argument;
    linkform::StartUpRequest request;
  } cases[] = {
      {"/?", kUsage},   {" --help ", kUsage}, {"--version", kVersion}, {"", kRun},
      {"/? x", kRun},   {"\"/?\"", kRun},     {"--HELP", kRun},        {"D:\\--help", kRun},
  };
  for (const Case& c : cases) EXPECT_EQ(linkform::RequestOf(c.argument), c.request) << c.argument;
}

TEST(CommandLineTest, ArgumentsAreJoinedBySingleSpaces) {
  struct Case {
    std::vector<std::string> argv;
    QString text;
  } cases[] = {
      {{"vostrel"}, ""},
      {{"vostrel", "D:\\Data"}, "D:\\Data"},
      {{"vostrel", "D:\\My", "Data"}, "D:\\My Data"},
      {{"vostrel", "My  Data"}, "My  Data"},
      {{"vostrel", "", "x"}, " x"},
      {{"vostrel", "-style", "fusion"}, "-style fusion"},
      {{"vostrel", "\xC4\x8Crna"}, "\u010Crna"},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv;
    for (const auto& a : c.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    EXPECT_EQ(ui::ArgumentText(static_cast<int>(c.argv.size()), argv.data()), c.text);
  }
}

TEST(CommandLineTest, FolderHasNoSeparatorAtItsEnd) {
  struct Case {
    QString in, out;
  } cases[] = {{"/usr/bin", "/usr/bin"}, {"/usr/bin/", "/usr/bin"}, {"/", ""}, {"", ""}};
  for (const Case& c : cases) EXPECT_EQ(ui::WithoutTrailingSeparators(c.in), c.out) << c.in.toStdString();
  App();
  const QString dir = ui::ApplicationDirectory();
  EXPECT_FALSE(dir.endsWith('/'));
  EXPECT_TRUE(QFileInfo::exists(dir + "/gui_tests")) << dir.toStdString();
}

// Installed in /usr/bin, the program proposes PARTNER.MDB in the folder it is
// started in; installed in a folder of its own, in that folder.
TEST(CommandLineTest, ProgramFolderOfASystemWideInstallIsTheWorkingFolder) {
  struct Case {
    QString installed_in, working, folder;
  } cases[] = {{"/usr/bin", "/home/ana/MLQ", "/home/ana/MLQ"},
               {"/usr/local/bin/", "/srv/MLQ/", "/srv/MLQ"},
               {"/srv/MLQ/bin", "/home/ana", "/srv/MLQ/bin"},
               {"/opt/usr/bin", "/home/ana", "/opt/usr/bin"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ui::ProgramFolder(c.installed_in, c.working), c.folder) << c.installed_in.toStdString();
  }
}

}  // namespace
}  // namespace gui_test
