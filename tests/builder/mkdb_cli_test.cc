// vostrel-mkdb from the command line, and tools/demo.sh, which is built on it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "tests/support/support.h"

namespace {

using testing_support::BinDir;
using testing_support::EngineLink;
using testing_support::Program;

using testing_support::ShellQuote;
using testing_support::SourceDir;
using testing_support::TempDir;

std::string Mkdb(const std::string& args) { return ShellQuote(Program("vostrel-mkdb").string()) + " " + args; }

// --password-file: a Jet3/Jet4 file that opens only with the file's first
// line; an ACE file is refused.
TEST(Mkdb, PasswordFile) {
  TempDir dir;
  {
    std::ofstream(dir.path() / "geslo.txt", std::ios::binary) << "Skriv-no7\r\nnot this\n";  // byte for byte, on Windows too
  }
  // Jet3/Jet4 keep the password in the header; ACE files are encrypted with it.
  struct Case {
    const char* format;
    const char* options;
  };
  for (const Case& c : {Case{"jet3", ""}, Case{"jet4", ""}, Case{"ace12", " --encryption rc4"}, Case{"ace14", ""}}) {
    SCOPED_TRACE(c.format);
    const std::filesystem::path out = dir.path() / (std::string(c.format) + ".mdb");
    auto r = testing_support::Run(Mkdb("frontend " + ShellQuote(out.string()) + " --format " + c.format +
                                       " --password-file geslo.txt" + c.options),
                                  dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THROW(engine::DBEngine::Instance().OpenDatabase(out.string()), engine::EngineError);
    auto db = engine::DBEngine::Instance().OpenDatabase(out.string(), false, true, ";PWD=Skriv-no7");
    EXPECT_EQ(db->TableDefs().Item("Partner").Connect(), ";DATABASE=C:\\MLQ\\PARTNER.MDB");
  }
  auto jet = testing_support::Run(Mkdb("frontend x.mdb --format jet4 --password-file geslo.txt --encryption rc4"), dir.path());
  EXPECT_EQ(jet.status, 2);
  EXPECT_NE(jet.err.find("--encryption"), std::string::npos) << jet.err;
}

TEST(Mkdb, HelpAndUsageErrors) {
  auto help = testing_support::Run(Mkdb("--help"));
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("vostrel-mkdb frontend OUT.mdb"), std::string::npos);
  struct Case {
    const char* args;
    const char* says;
  };
  const Case cases[] = {
      {"", "say what to build"},
      {"sideways x.mdb", "unknown kind"},
      {"frontend x.mdb --format jet5", "bad --format"},
      {"frontend x.mdb --link Partner", "NAME=PATH"},
      {"frontend x.mdb --size lots", "bad --size"},
      {"frontend x.mdb --code-page 1251", "1250 or 1252"},
      {"frontend x.mdb --frobnicate", "unknown option"},
      {"frontend x.mdb --password-file nikjer.txt", "readable file"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    auto r = testing_support::Run(Mkdb(c.args), dir.path());
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.mdb")) << c.args;
  }
}

TEST(Mkdb, BuildsWhatItIsAskedFor) {
  TempDir dir;
  struct Case {
    std::string args;
    std::string file;
    std::string partner_link;  // empty: no link named Partner
  };
  const Case cases[] = {
      {"frontend MLQ.mdb", "MLQ.mdb", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"frontend j3.mdb --format jet3 --link 'Partner=C:\\Čebele\\PARTNER.MDB'", "j3.mdb", ";DATABASE=C:\\Čebele\\PARTNER.MDB"},
      {"frontend ace.mdb --format ace12 --connect 'MS Access;PWD=geslo' --tables 300 --partner-after 120 --fill-page",
       "ace.mdb", "MS Access;PWD=geslo;DATABASE=C:\\MLQ\\PARTNER.MDB"},
      {"frontend lv.mdb --out-of-row --desktop-lv --size 300K", "lv.mdb", ";DATABASE=C:\\MLQ\\PARTNER.MDB"},
  };
  for (const auto& c : cases) {
    auto r = testing_support::Run(Mkdb(c.args), dir.path());
    ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
    EXPECT_EQ(EngineLink(dir / c.file), c.partner_link) << c.args;
  }
  EXPECT_GT(std::filesystem::file_size(dir / "lv.mdb"), 300u * 1024 * 9 / 10);

  auto back = testing_support::Run(Mkdb("backend PARTNER.MDB --format jet3"), dir.path());
  ASSERT_EQ(back.status, 0) << back.err;
  auto db = engine::DBEngine::Instance().OpenDatabase((dir / "PARTNER.MDB").string());
  for (const char* name : {"Partner", "Artikli"}) {
    EXPECT_EQ(db->TableDefs().Item(name).Entry().type, 1) << name;
    EXPECT_EQ(db->TableDefs().Item(name).Connect(), "") << name;
  }
  db->Close();
}

TEST(Demo, RelinksTheBuiltFrontEnd) {
  SKIP_ON_WINDOWS("tools/demo.sh is a shell script");
  if (!std::filesystem::exists(Program("vostrel"))) GTEST_SKIP() << "the window program is not built here";
  TempDir dir;
  auto r = testing_support::Run("DEMO_DIR=" + ShellQuote((dir / "demo").string()) + " " +
               ShellQuote((SourceDir() / "tools" / "demo.sh").string()) + " " +
               ShellQuote(BinDir().parent_path().string()));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Partner before:  ;DATABASE=C:\\MLQ\\PARTNER.MDB"), std::string::npos) << r.out;
  std::string after = ";DATABASE=" + (dir / "demo" / "Podatki").string() + "\\PARTNER.MDB";
  EXPECT_NE(r.out.find("Partner after:   " + after), std::string::npos) << r.out;
  EXPECT_EQ(EngineLink(dir / "demo" / "MLQ.mdb"), after);
}

}  // namespace
