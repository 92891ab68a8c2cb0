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

// Opens the back-end `name` (a link's path: a Windows path through the
// engine's path map) as OpenDatabase opens a file. A back-end with a
// database password opens only with that password (else 3031).
std::unique_ptr<DatabaseImpl> OpenBackEnd(jet::Env& env, const std::string& name,
                                          const std::optional<std::string>& password);

}  // namespace engine
