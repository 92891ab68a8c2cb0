// The fixture folders of ../shared/fixtures, built: a front-end "MLQ.mdb"
// and its back-end "PARTNER.MDB" with the same tables and links, written by
// the builder, so that a test whose point is not the real files runs
// without ../shared.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "dbbuilder/schema.h"
#include "tests/support/support.h"

namespace testing_support {

// Writes `described` to `path` (making its folder); fails the test if the
// builder refuses. Returns the path.
std::string Built(const dbbuilder::DatabaseSpec& described, const std::filesystem::path& path);

// Writes the front-end `options` describes to `front` and its back-end, of
// the same format and code page, to `back`; fails the test if the builder
// refuses either.
void BuildPair(const dbbuilder::FrontEndOptions& options, const std::filesystem::path& front,
               const std::filesystem::path& back);

// A front-end MLQ.mdb and its back-end PARTNER.MDB built in a fresh folder,
// removed again with the value: what most tests that write start from.
struct BuiltPair {
  TempDir dir;
  std::filesystem::path front, back;
  explicit BuiltPair(const dbbuilder::FrontEndOptions& options = {})
      : front(dir / "MLQ.mdb"), back(dir / "PARTNER.MDB") {
    BuildPair(options, front, back);
  }
};

// A test of what the builder writes, read back by both outside readers:
// skipped where either is missing; files go to a scratch folder of its own.
template <class Param>
class ReadBackTest : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override { SKIP_WITHOUT_READERS(); }
  // Writes `described` to dir_/name (fails the test if the builder refuses;
  // its report to `report`) and returns the path.
  std::string Build(const dbbuilder::DatabaseSpec& described, const std::string& name,
                    dbbuilder::BuildReport* report = nullptr) {
    const std::string path = (dir_ / name).string();
    auto built = dbbuilder::WriteDatabase(described, path);
    EXPECT_TRUE(built.ok()) << built.status().message();
    if (report && built.ok()) *report = built.value();
    return path;
  }
  TempDir dir_;
};

// Writes dir/<name>/MLQ.mdb and dir/<name>/PARTNER.MDB for a fixture folder
// name ("v2003-basic", "v2003-no-partner", ...) and returns dir/<name>.
// Fails the test for a name it does not know.
std::filesystem::path BuildFixture(const std::string& name, const std::filesystem::path& dir);

// The front-end MLQ.mdb of the fixture folder `name`, built once for the
// whole test program (see BuildFixture): for tests that read it or copy it,
// never for one that changes it.
std::filesystem::path BuiltOnce(const std::string& name);

// The back-end path of "v2003-unicode-path" and "v2003-long-path".
std::string UnicodeBackEndPath();
std::string LongBackEndPath();

}  // namespace testing_support
