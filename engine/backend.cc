#include "engine/backend.h"

#include "engine/failures.h"
#include "vostrel/paths.h"

namespace engine {

const PathMap& LoadedMap(jet::Env& env, std::shared_ptr<const PathMap>& map) {
  if (!map) map = std::make_shared<const PathMap>(LoadPathMap(env, DefaultMapSources()));
  return *map;
}

const PathMap& DatabaseImpl::Map() { return LoadedMap(*env, map); }

std::unique_ptr<DatabaseImpl> OpenBackEnd(jet::Env& env, std::shared_ptr<const PathMap>& map, const std::string& name,
                                          const std::optional<std::string>& password) {
#ifdef _WIN32
  // Drive and UNC paths are this system's own: no map stands between.
  const bool windows = false;
#else
  const bool windows = IsWindowsRooted(name);
#endif
  const std::optional<std::string> mapped = windows ? LoadedMap(env, map).ToLocal(name) : std::nullopt;
  try {
    std::unique_ptr<DatabaseImpl> backend = OpenDatabaseImpl(env, mapped.value_or(name), password);
    backend->map = map;
    return backend;
  } catch (const EngineError& e) {
    // A Windows path that neither this system nor the map reaches.
    if (windows && !mapped && e.number() == kErrNotValidPath) throw Unmapped(e, WindowsRoot(name));
    throw;
  }
}

}  // namespace engine
