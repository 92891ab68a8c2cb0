// Must not compile with a program's include path: jet is beneath the engine.
#include "jet/env_names.h"
