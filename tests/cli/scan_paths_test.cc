// The paths scan prints, as this system writes paths; unlike the rest of
// scan's tests (symbolic links, a shell), these run on Windows too, where a
// folder given as C:/Dva or C:\ printed C:\Dva/MLQ.mdb and C:\/MLQ.mdb.
#include "tests/cli/built.h"

namespace {

using namespace testing_support;
using cli_test::Cli;
using dbbuilder::FormatVersion;

// Each path printed as this system writes paths, whatever separators the
// folder was given with ("\\" on Windows: C:\Dva\MLQ.mdb, never C:\Dva/MLQ.mdb).
TEST(ScanCommand, PrintsPathsAsThisSystemWritesThem) {
  TempDir dir;
  const fs::path back = cli_test::BuildBackEnd(dir.path(), "PARTNER.MDB", FormatVersion::kJet4);
  dbbuilder::DatabaseSpec described = dbbuilder::FrontEnd({});
  described.objects.resize(1);
  dbbuilder::Link l;
  l.name = "Partner";
  l.database = Utf8(back);
  l.foreign_name = "Partner";
  described.AddLink(l);
  cli_test::Build(described, dir.path() / "drevo", "a/MLQ.mdb");
  std::string given = Utf8(dir.path() / "drevo");
  for (char& c : given)
    if (c == '\\') c = '/';
  for (const std::string& folder : {given, given + "/"}) {
    RunResult r = testing_support::Run(Cli() + " scan " + ShellQuote(folder), dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Native(given + "/a/MLQ.mdb") + "\tPartner\tok\n") << folder;
  }
}

}  // namespace
