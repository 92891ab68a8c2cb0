// Must not compile with a program's include path: the engine's own headers
// are not its public folder.
#include "engine/relink.h"
