// Leaves what a relink cut off in the middle leaves behind: the journal
// written and synced, the file already partly changed, the process gone.
//   cut-relink FRONT-END TABLE LINK
// Built for both systems: a journal one system leaves is played back by the
// other on the same folder (tools/windows/test.sh).
#include <cstdio>
#include <vector>

#include "vostrel/database.h"
#include "engine/database_impl.h"
#include "vostrel/error.h"
#include "engine/relink.h"
#include "jet/journal.h"
#include "tests/support/fault_env.h"
#include "tests/support/support.h"

namespace {

using testing_support::Fault;
using testing_support::FaultEnv;
namespace fs = std::filesystem;

// The relink through an env that tears its nth changing operation (none
// when n is 0); the changing operations it made.
uint64_t Relink(const std::string& front, const std::vector<engine::LinkRequest>& links, double now, uint64_t n,
                std::string* path) {
  FaultEnv env;
  auto db = engine::OpenDatabaseImpl(env, front);
  *path = db->path;
  if (n) env.FailAt(env.Operations() + n, Fault::kTornWrite);
  try {
    engine::StoreLinks(*db, env, links, now);
  } catch (const engine::EngineError&) {
    if (!n) throw;
  }
  return env.Operations();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: cut-relink FRONT-END TABLE LINK\n");
    return 2;
  }
  const std::string front = argv[1];
  const std::vector<engine::LinkRequest> links = {{argv[2], argv[3]}};
  const double now = engine::CatalogNow();
  try {
    const std::vector<uint8_t> before = testing_support::ReadBytes(front);
    std::string path;
    const uint64_t operations = Relink(front, links, now, 0, &path);
    // The first cut after which the file is changed and its journal is there:
    // earlier ones leave the file as it was.
    for (uint64_t n = 1; n <= operations; ++n) {
      testing_support::WriteBytes(front, before);
      std::error_code ignored;
      fs::remove(jet::JournalPath(path), ignored);
      Relink(front, links, now, n, &path);
      if (testing_support::ReadBytes(front) != before && fs::exists(jet::JournalPath(path))) return 0;
    }
  } catch (const engine::EngineError& e) {
    std::fprintf(stderr, "cut-relink: %s\n", e.description().c_str());
    return 1;
  }
  std::fprintf(stderr, "cut-relink: no cut left a changed file and its journal\n");
  return 1;
}
