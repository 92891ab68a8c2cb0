// Where a session of the desktop program marks itself for as long as it has
// a database open: its "user lock", one byte per session at kUserLocks +
// slot, on the lock file (exclusive) and on the database (shared), at the
// first slot no other session holds; its entry in the lock file is at slot
// * 64. Far past the end of either file (they stop at 2 GiB): nobody reads
// or writes these bytes, so a lock there fails nobody's reads.
// They are os's because the Windows Env finds a session by trying them
// (env_windows.cc); the engine takes them before it writes (jet names them,
// jet/os_names.h).
#pragma once

#include <cstdint>

namespace os {

inline constexpr uint64_t kUserLocks = 0x10000001;
inline constexpr uint64_t kUserLockSlots = 255;  // the most sessions the desktop program allows at once

}  // namespace os
