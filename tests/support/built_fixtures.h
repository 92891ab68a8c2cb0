// The fixture folders of ../shared/fixtures, built: a front-end "MLQ.mdb"
// and its back-end "PARTNER.MDB" with the same tables and links, written by
// the builder, so that a test whose point is not the real files runs
// without ../shared.
#pragma once

#include <filesystem>
#include <string>

#include "dbbuilder/schema.h"

namespace testing_support {

// Writes `described` to `path`; fails the test if the builder refuses.
// Returns the path.
std::string Built(const dbbuilder::DatabaseSpec& described, const std::filesystem::path& path);

// Writes dir/<name>/MLQ.mdb and dir/<name>/PARTNER.MDB for a fixture folder
// name ("v2003-basic", "v2003-no-partner", ...) and returns dir/<name>.
// Fails the test for a name it does not know.
std::filesystem::path BuildFixture(const std::string& name, const std::filesystem::path& dir);

// The back-end path of "v2003-unicode-path" and "v2003-long-path".
std::string UnicodeBackEndPath();
std::string LongBackEndPath();

}  // namespace testing_support
