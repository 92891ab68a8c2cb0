// The system's services beyond the Env that jet works through (the os
// library beneath it: os/crypto.h, os/session_locks.h), as jet names them,
// as env_names.h names the engine's Env.
#pragma once

#include "os/crypto.h"
#include "os/session_locks.h"

namespace jet {

using os::Crypto;
using os::HashAlgorithm;
using os::HashSize;
using os::kAesBlock;
using os::kUserLocks;
using os::kUserLockSlots;

}  // namespace jet
