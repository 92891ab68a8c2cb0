// Must not compile with a program's include path: no public header brings
// jet's names along.
#include "vostrel/dbengine.h"
#include "vostrel/env.h"

jet::Env* files = nullptr;
