// Name resolution as on the desktop platform: working directory, backslash
// separators, and names that differ only in case.
#include "engine/path.h"

#include "tests/support/support.h"

namespace {

using namespace testing_support;
using engine::PathProblem;

TEST(ResolvePath, FindsFilesAsTheDesktopPlatformDoes) {
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
  struct Case {
    std::string name;
    std::string cwd;
    std::string full;
    PathProblem problem;
  };
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
  for (const Case& c : cases) {
    const engine::ResolvedPath p = engine::ResolvePath(jet::Env::Default(), c.name, c.cwd);
    EXPECT_EQ(p.problem, c.problem) << c.name;
    EXPECT_EQ(p.full, c.full) << c.name;
  }
}

}  // namespace
