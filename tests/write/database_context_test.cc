// What a database was opened through travels with it: its Env carries the
// map's reading, the back-ends' lookup and the session checks, and the path
// map it was opened with stays its own. The map is the Linux server's: on
// Windows a link's path is the system's own, and these tests are not built.
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "engine/database_impl.h"
#include "engine/relink.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "tests/support/fault_env.h"
#include "tests/support/forwarding_env.h"
#include "tests/support/support.h"

#ifndef _WIN32
namespace {

using namespace testing_support;

// The system's Env, noting every name it is opened or listed at and failing
// the opens of one, as of a file the process may not read. The databases
// are opened through a FaultEnv over it.
class NotingEnv final : public ForwardingEnv {
 public:
  std::set<std::string> opened, listed;
  std::string refused;

  jet::Result<std::unique_ptr<jet::File>> Open(const std::string& path, jet::OpenMode mode) override {
    opened.insert(path);
    if (path == refused) return jet::Status::Error(jet::Code::kIoError, "refused: " + path);
    return base_.Open(path, mode);
  }
  jet::Result<std::vector<std::string>> ListDir(const std::string& dir) override {
    listed.insert(dir);
    return base_.ListDir(dir);
  }
};

// Sets an environment variable for the test's length.
class Variable {
 public:
  Variable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~Variable() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// MLQ.mdb beside its back-end PARTNER.MDB, and a lock file nobody holds.
struct Scene {
  TempDir dir;
  fs::path front = dir / "MLQ.mdb";
  fs::path map_file = dir / "config" / "vostrel" / "map";

  Scene() {
    EXPECT_TRUE(dbbuilder::WriteDatabase(dbbuilder::FrontEnd({}), front.string()).ok());
    EXPECT_TRUE(dbbuilder::WriteDatabase(dbbuilder::BackEnd(dbbuilder::FormatVersion::kJet4),
                                         (dir / "PARTNER.MDB").string())
                    .ok());
    WriteBytes(dir / "MLQ.ldb", std::vector<uint8_t>(64, 0));
  }
};

const std::string kLink = ";DATABASE=Z:\\Baze\\PARTNER.MDB";

// A database opened through an Env, the engine knowing no map: its map is
// read through that Env (a map file it refuses is not read, and Z: then
// reaches nothing), the back-end found through the map is opened through
// it, and the session check before the write asks it about smbd's
// processes.
TEST(DatabaseContext, MapBackEndAndSessionsGoThroughTheDatabasesEnv) {
  Scene s;
  fs::create_directories(s.map_file.parent_path());
  std::ofstream(s.map_file) << "Z:\\Baze = " << s.dir.path().string() << "\n";
  const Variable config("XDG_CONFIG_HOME", (s.dir / "config").string());
  const Variable wine("WINEPREFIX", (s.dir / "no-wine").string());
  const Variable testparm("VOSTREL_TESTPARM", "");
  unsetenv("VOSTREL_MAP");

  NotingEnv refusing;
  refusing.refused = s.map_file.string();
  FaultEnv refusing_env(refusing);
  auto unmapped = engine::OpenDatabaseImpl(refusing_env, s.front.string());
  EXPECT_EQ(ErrorNumber([&] { engine::CheckLink(*unmapped, refusing_env, {"Partner", kLink}); }),
            engine::kErrNotValidPath);
  EXPECT_TRUE(refusing.opened.count(s.map_file.string()));

  NotingEnv noting;
  FaultEnv env(noting);
  auto db = engine::OpenDatabaseImpl(env, s.front.string());
  noting.listed.clear();
  engine::StoreLinks(*db, env, {{"Partner", kLink}}, 45000.5);
  EXPECT_TRUE(noting.opened.count(s.map_file.string()));
  EXPECT_TRUE(noting.opened.count((s.dir / "PARTNER.MDB").string()));
  EXPECT_TRUE(noting.listed.count("/proc")) << "smbd looked for elsewhere";
  db->Close();
}

// A SetMap is for the databases opened after it: one opened before keeps
// finding its back-ends where its own map said, through one relink and the
// next, so that what a check found is what the store finds.
TEST(DatabaseContext, ADatabaseKeepsTheMapItWasOpenedWith) {
  Scene s;
  TempDir elsewhere;  // no back-end there
  engine::DBEngine& dbe = engine::DBEngine::Instance();
  auto map_to = [](const fs::path& dir) {
    engine::PathMap map;
    map.Add(engine::PathMapEntry{"Z:\\Baze", dir.string(), "test"});
    return map;
  };
  dbe.SetMap(map_to(s.dir.path()));
  auto before = dbe.OpenDatabase(s.front.string());
  dbe.SetMap(map_to(elsewhere.path()));
  auto after = dbe.OpenDatabase(s.front.string());

  EXPECT_NO_THROW(before->CheckLink({"Partner", kLink}));
  EXPECT_EQ(ErrorNumber([&] { after->CheckLink({"Partner", kLink}); }), engine::kErrCouldNotFindFile);
  after->Close();
  EXPECT_NO_THROW(before->StoreLinks({{"Partner", kLink}}, 45000.5));
  dbe.SetMap(engine::PathMap());
}

}  // namespace
#endif  // _WIN32
