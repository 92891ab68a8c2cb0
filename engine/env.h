// The file system the engine opens, reads and writes files through. A
// front-end passes the platform's own (Env::Default()); tests pass one that
// injects faults. A second platform brings only its own Env.
#pragma once

#include "jet/env.h"

namespace engine {

using Env = jet::Env;

}  // namespace engine
