// Telling a database file by its content: a scan of a folder finds
// front-ends whatever their names.
#pragma once

#include <string>

#include "vostrel/env.h"

namespace engine {

// Whether the file at `path` starts with the header of a Jet3, Jet4 or ACE
// database (a database password or encryption does not matter). Reads at
// most one page; false where it cannot be read, and where `path` is not a
// regular file itself (a symbolic link is not followed; a FIFO is not waited on).
bool IsDatabaseFile(Env& env, const std::string& path);

}  // namespace engine
