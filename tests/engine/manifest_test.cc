// Every real file of ../shared: the engine sees the catalog and the row
// counts an independent reader saw; the password-protected and encrypted
// ones only with their password.
#include <algorithm>

#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "jet/env_names.h"
#include "tests/engine/manifest.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;
using engine_test::ManifestFile;

std::string Line(const std::string& name, int type, const std::string& scope, const std::string& database,
                 const std::string& connect, const std::string& foreign, const std::string& rows) {
  return name + "\t" + std::to_string(type) + "\t" + scope + "\t" + database + "\t" + connect + "\t" + foreign + "\t" +
         rows;
}

std::vector<std::string> Expected(const ManifestFile& m) {
  std::vector<std::string> lines;
  for (const auto& o : m.objects)
    lines.push_back(Line(o.name, o.type, o.scope, o.database, o.connect, o.foreign_name, o.rows));
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> Seen(engine::Database& db) {
  std::vector<std::string> lines;
  for (auto& def : db.TableDefs()) {
    const engine::CatalogEntry& e = def->Entry();
    const int64_t rows = db.RowCount(*def);
    lines.push_back(Line(e.name, e.type, e.system ? "system" : "user", e.database.value_or(""), e.connect.value_or(""),
                         e.foreign_name.value_or(""), rows < 0 ? "" : std::to_string(rows)));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

void CheckFolder(const std::string& folder) {
  const fs::path dir = SharedDir() / folder;
  const auto manifest = engine_test::ReadManifest(dir);
  ASSERT_FALSE(manifest.empty()) << dir;
  for (const auto& [relative, m] : manifest) {
    SCOPED_TRACE(folder + "/" + relative);
    const fs::path file = dir / relative;
    std::string connect;
    if (engine_test::HasDatabasePassword(relative, m)) {
      for (const char* wrong : {"", ";PWD=Password"}) {
        try {
          engine::DBEngine::Instance().OpenDatabase(jet::Env::Default(), file.string(), false, false, wrong);
          ADD_FAILURE() << "opened with the password '" << wrong << "'";
        } catch (const engine::EngineError& e) {
          EXPECT_EQ(e.number(), 3031) << e.description();
          EXPECT_EQ(e.description(), "Not a valid password.");
        }
      }
      connect = ";PWD=" + (m.password.empty() ? std::string("password") : m.password);  // as the README names it
    }
    try {
      auto db = engine::DBEngine::Instance().OpenDatabase(jet::Env::Default(), file.string(), false, false, connect);
      EXPECT_EQ(Seen(*db), Expected(m));
    } catch (const engine::EngineError& e) {
      ADD_FAILURE() << "Error " << e.number() << ": " << e.description();
    }
  }
}

TEST(Manifest, CorpusCatalogsAndRowCountsMatch) {
  SKIP_WITHOUT_SHARED();
  CheckFolder("corpus");
}

TEST(Manifest, FixtureCatalogsAndRowCountsMatch) {
  SKIP_WITHOUT_SHARED();
  CheckFolder("fixtures");
}

}  // namespace
