// The back-end of a link: opening the database file a link string names, as
// OpenDatabase opens a file, with the link's password where the back-end has
// a database password.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/database_impl.h"
#include "jet/env_names.h"

namespace engine {

// The map `map` holds; where it holds none, the default sources' map, read
// through `env` and kept in `map`. Throws EngineError 3001 for a bad entry.
const PathMap& LoadedMap(jet::Env& env, std::shared_ptr<const PathMap>& map);

// Opens the back-end `name` (a link's path: a Windows path through `map`,
// LoadedMap's, read only where the name is one) through `env` as
// OpenDatabase opens a file; the back-end keeps the same map. A back-end
// with a database password opens only with that password (else 3031).
std::unique_ptr<DatabaseImpl> OpenBackEnd(jet::Env& env, std::shared_ptr<const PathMap>& map, const std::string& name,
                                          const std::optional<std::string>& password);

}  // namespace engine
