// The back-end of a link: opening the database file a link string names, as
// OpenDatabase opens a file, with the link's password where the back-end has
// a database password.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/database_impl.h"
#include "jet/env.h"

namespace engine {

// The PWD= parameter of what a link string keeps besides its path ("MS
// Access;PWD=geslo"), if it has one.
std::optional<std::string> LinkPassword(const std::optional<std::string>& connect);

// Opens the back-end `name` as OpenDatabase opens a file. A back-end with a
// database password opens only with that password (else 3031).
std::unique_ptr<DatabaseImpl> OpenBackEnd(jet::Env& env, const std::string& name,
                                          const std::optional<std::string>& password);

}  // namespace engine
