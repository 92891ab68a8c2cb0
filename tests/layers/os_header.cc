// Must not compile with a program's include path: the system's services
// (os) are beneath the engine; a program reaches them through platform/.
#include "os/crypto.h"
