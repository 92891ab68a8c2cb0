// Name resolution as on the desktop platform: working directory, backslash
// separators, and names that differ only in case.
#include "engine/path.h"

#include "tests/support/support.h"

namespace {

using namespace testing_support;
using engine::PathProblem;

struct Case {
  std::string name;
  std::string cwd;
  std::string full;
  PathProblem problem;
};

template <size_t N>
void ExpectResolved(const Case (&cases)[N]) {
  for (const Case& c : cases) {
    const engine::ResolvedPath p = engine::ResolvePath(jet::Env::Default(), c.name, c.cwd);
    EXPECT_EQ(p.problem, c.problem) << c.name;
    EXPECT_EQ(p.full, c.full) << c.name;
  }
}

TEST(ResolvePath, FindsFilesAsTheDesktopPlatformDoes) {
  SKIP_ON_WINDOWS("names that differ only in case are two files; drive letters and shares are foreign");
  TempDir tmp;
  const fs::path root = fs::canonical(tmp.path());
  fs::create_directories(root / "Data" / "Čebelarstvo Šuštar");
  fs::create_directories(root / "Two" / "x");
  fs::create_directories(root / "Two" / "X");
  fs::create_directories(root / "Pair" / "Ab");
  fs::create_directories(root / "Pair" / "aB");
  for (const char* f : {"MLQ.mdb", "Data/PARTNER.MDB", "Data/Čebelarstvo Šuštar/Žalec.mdb", "Two/a.mdb", "Two/A.MDB"})
    WriteBytes(root / f, {1});
  fs::create_directories(root / "Data" / "folder.mdb");
  const std::string r = root.string();
  const Case cases[] = {
      {"MLQ.mdb", r, r + "/MLQ.mdb", PathProblem::kNone},
      {"MLQ.mdB", r, r + "/MLQ.mdb", PathProblem::kNone},
      {"mlq.MDB", r, r + "/MLQ.mdb", PathProblem::kNone},
      {"PARTNER.MDB", r + "/Data", r + "/Data/PARTNER.MDB", PathProblem::kNone},
      {"data\\partner.mdb", r, r + "/Data/PARTNER.MDB", PathProblem::kNone},
      {r + "\\DATA\\Partner.Mdb", "", r + "/Data/PARTNER.MDB", PathProblem::kNone},
      {r + "/Data//PARTNER.MDB", "", r + "/Data/PARTNER.MDB", PathProblem::kNone},
      {"Data\\ČEBELARSTVO ŠUŠTAR\\žalec.MDB", r, r + "/Data/Čebelarstvo Šuštar/Žalec.mdb", PathProblem::kNone},
      {"..\\MLQ.mdb", r + "/Data", r + "/MLQ.mdb", PathProblem::kNone},
      {"Two/a.mdb", r, r + "/Two/a.mdb", PathProblem::kNone},  // the exact name wins
      {"Two/a.MDB", r, r + "/Two/a.MDB", PathProblem::kMissingFile},  // two that differ only in case: neither
      {"Two/x/a.mdb", r, r + "/Two/x/a.mdb", PathProblem::kMissingFile},
      {"two/X/a.mdb", r, r + "/Two/X/a.mdb", PathProblem::kMissingFile},  // "two" is "Two", "X" is exact
      {"Pair/AB/f.mdb", r, r + "/Pair/AB", PathProblem::kInvalidPath},  // "Ab" or "aB"?
      {"Missing.mdb", r, r + "/Missing.mdb", PathProblem::kMissingFile},
      {"Data/folder.mdb", r, r + "/Data/folder.mdb", PathProblem::kMissingFile},  // a folder is no file
      {"Nowhere/MLQ.mdb", r, r + "/Nowhere", PathProblem::kInvalidPath},
      {"MLQ.mdb/x.mdb", r, r + "/MLQ.mdb", PathProblem::kInvalidPath},  // a file is no folder
      {"C:\\MLQ\\MLQ.mdb", r, "C:\\MLQ\\MLQ.mdb", PathProblem::kInvalidPath},
      {"\\\\server\\share\\MLQ.mdb", r, "\\\\server\\share\\MLQ.mdb", PathProblem::kInvalidPath},
      {"", r, "", PathProblem::kInvalidPath},
      {"Data\\", r, r + "/Data/", PathProblem::kInvalidPath},
  };
  ExpectResolved(cases);
}

// On Windows the rules are the file system's: drive letters and shares are
// roots, case is ignored by it and each name comes back in its case on disk.
TEST(ResolvePath, NativeWindowsPaths) {
#ifndef _WIN32
  GTEST_SKIP() << "Windows only: drive letters and UNC shares as roots";
#endif
  TempDir tmp;
  const std::string r = Utf8(fs::canonical(tmp.path()));
  fs::create_directories(Utf8Path(r + "/Data/Čebelarstvo Šuštar"));
  for (const char* f : {"MLQ.mdb", "Data/PARTNER.MDB", "Data/Čebelarstvo Šuštar/Žalec.mdb"}) WriteBytes(Utf8Path(r + "/" + f), {1});
  // Past the classic 260 characters: the "\\?\" prefix is the Env's business.
  std::string deep = r;
  for (int i = 0; i < 12; ++i) deep += "\\folder-with-a-long-name-" + std::to_string(i);
  fs::create_directories(Utf8Path(deep));
  WriteBytes(Utf8Path(deep + "\\Partner.mdb"), {1});
  const std::string drive = r.substr(0, 2);
  const std::string rooted = r.substr(2);  // "\\users\\...": the working folder's drive
  const Case cases[] = {
      {"mlq.MDB", r, r + "\\MLQ.mdb", PathProblem::kNone},
      {r + "/data/partner.mdb", "", r + "\\Data\\PARTNER.MDB", PathProblem::kNone},
      {rooted + "\\DATA\\Partner.Mdb", r, r + "\\Data\\PARTNER.MDB", PathProblem::kNone},
      {"Data\\ČEBELARSTVO ŠUŠTAR\\žalec.MDB", r, r + "\\Data\\Čebelarstvo Šuštar\\Žalec.mdb", PathProblem::kNone},
      {"..\\MLQ.mdb", r + "\\Data", r + "\\MLQ.mdb", PathProblem::kNone},
      {deep + "\\PARTNER.MDB", "", deep + "\\Partner.mdb", PathProblem::kNone},
      // Written verbatim, as a user may give a long path: the same file.
      {"\\\\?\\" + r + "\\Data\\PARTNER.MDB", "", r + "\\Data\\PARTNER.MDB", PathProblem::kNone},
      {"\\\\?\\" + deep + "\\Partner.mdb", r, deep + "\\Partner.mdb", PathProblem::kNone},
      {"Missing.mdb", r, r + "\\Missing.mdb", PathProblem::kMissingFile},
      {"Nowhere\\MLQ.mdb", r, r + "\\Nowhere", PathProblem::kInvalidPath},
      {drive + "MLQ.mdb", r, drive + "MLQ.mdb", PathProblem::kInvalidPath},  // relative to a drive: not taken
      {"\\\\no-such-server\\share\\MLQ.mdb", r, "\\\\no-such-server\\share\\MLQ.mdb", PathProblem::kInvalidPath},
      {"\\\\server", r, "\\\\server", PathProblem::kInvalidPath},
      {"Data\\", r, r + "\\Data\\", PathProblem::kInvalidPath},
  };
  ExpectResolved(cases);
  // The file the long name found opens.
  EXPECT_TRUE(jet::Env::Default().Open(deep + "\\Partner.mdb", jet::OpenMode::kRead).ok());
}

}  // namespace
