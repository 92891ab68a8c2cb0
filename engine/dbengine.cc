#include "vostrel/dbengine.h"

#include "vostrel/database.h"
#include "engine/backend.h"
#include "engine/database_impl.h"
#include "engine/failures.h"
#include "vostrel/link_string.h"

namespace engine {

DBEngine& DBEngine::Instance() {
  static DBEngine* engine = new DBEngine();  // kept to the end of the process
  return *engine;
}

jet::PageCounters& EngineCounters() {
  static jet::PageCounters counters;
  return counters;
}

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string& name) {
  return OpenDatabase(Env::Default(), name);
}

std::unique_ptr<Database> DBEngine::OpenDatabase(Env& env, const std::string& name) {
  return std::unique_ptr<Database>(new Database(OpenDatabaseImpl(env, name)));
}

std::unique_ptr<Database> DBEngine::OpenDatabase(Env& env, const std::string& name, bool exclusive, bool read_only,
                                                 const std::string& connect) {
  if (exclusive) throw InvalidArgument();
  std::unique_ptr<DatabaseImpl> impl = OpenDatabaseImpl(env, name, ParseLinkString(connect).password);
  if (read_only) impl->writable = false;
  return std::unique_ptr<Database>(new Database(std::move(impl)));
}

std::unique_ptr<Database> DBEngine::OpenMapped(Env& env, const std::string& name) {
  return std::unique_ptr<Database>(new Database(OpenBackEnd(env, name, std::nullopt)));
}

IoCounters DBEngine::Counters() const {
  const jet::PageCounters& c = EngineCounters();
  return IoCounters{c.pages_read.load(), c.pages_written.load(), c.syncs.load()};
}

}  // namespace engine
