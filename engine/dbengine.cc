#include "vostrel/dbengine.h"

#include "vostrel/database.h"
#include "vostrel/link_string.h"
#include "engine/backend.h"
#include "engine/database_impl.h"
#include "engine/failures.h"

namespace engine {
namespace {

// The password a connect text gives, as OpenDatabase takes one.
std::optional<std::string> PasswordOf(const std::string& connect) {
  const LinkString parts = ParseLinkString(connect);
  if (!OfDatabaseFileKind(parts)) throw InstallableIsamNotFound();
  return parts.password;
}

}  // namespace

std::unique_ptr<Database> DBEngine::Opened(std::unique_ptr<DatabaseImpl> impl, bool read_only) const {
  if (read_only) impl->writable = false;  // what stores a change refuses it then (3027)
  if (!impl->map) impl->map = map_;        // the engine's map as it is now, none yet or not
  return std::unique_ptr<Database>(new Database(std::move(impl)));
}

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
  return OpenDatabase(env, name, false, false, "");
}

std::unique_ptr<Database> DBEngine::OpenDatabase(const std::string& name, bool exclusive, bool read_only,
                                                 const std::string& connect) {
  return OpenDatabase(Env::Default(), name, exclusive, read_only, connect);
}

std::unique_ptr<Database> DBEngine::OpenDatabase(Env& env, const std::string& name, bool exclusive, bool read_only,
                                                 const std::string& connect) {
  if (exclusive) throw InvalidArgument();
  return Opened(OpenDatabaseImpl(env, name, PasswordOf(connect)), read_only);
}

std::unique_ptr<Database> DBEngine::OpenMapped(Env& env, const std::string& name) {
  return OpenMapped(env, name, "");
}

std::unique_ptr<Database> DBEngine::OpenMapped(Env& env, const std::string& name, const std::string& connect) {
  // The map the name is found through is the one the database keeps.
  std::shared_ptr<const PathMap> map = map_;
  return Opened(OpenBackEnd(env, map, name, PasswordOf(connect)), false);
}

IoCounters DBEngine::Counters() const {
  const jet::PageCounters& c = EngineCounters();
  return IoCounters{c.pages_read.load(), c.pages_written.load(), c.syncs.load()};
}

}  // namespace engine
