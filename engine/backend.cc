#include "engine/backend.h"

#include "vostrel/dbengine.h"
#include "engine/failures.h"
#include "vostrel/paths.h"

namespace engine {

std::unique_ptr<DatabaseImpl> OpenBackEnd(jet::Env& env, const std::string& name,
                                          const std::optional<std::string>& password) {
#ifdef _WIN32
  // Drive and UNC paths are this system's own: no map stands between.
  const bool windows = false;
#else
  const bool windows = IsWindowsRooted(name);
#endif
  const std::optional<std::string> mapped = windows ? DBEngine::Instance().Map().ToLocal(name) : std::nullopt;
  try {
    return OpenDatabaseImpl(env, mapped.value_or(name), password);
  } catch (const EngineError& e) {
    // A Windows path that neither this system nor the map reaches.
    if (windows && !mapped && e.number() == kErrNotValidPath) throw Unmapped(e, WindowsRoot(name));
    throw;
  }
}

}  // namespace engine
