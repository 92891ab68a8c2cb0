// Sessions of the desktop program: while it has a database open, it keeps a
// lock file beside it (".ldb" beside ".mdb", ".laccdb" beside ".accdb") of
// 64-byte entries, a machine name then a user name, 32 bytes each,
// NUL-padded, in the file's code page; and it holds record locks on the
// database and on the lock file (an SMB server holds them as POSIX record
// locks for its clients), among them a one-byte "user lock" per session
// for as long as it lives. A lock file on which no lock is held is stale: a
// session that ended without removing it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vostrel/database.h"
#include "engine/database_impl.h"
#include "vostrel/error.h"
#include "jet/env_names.h"

namespace engine {

struct Sessions {
  bool live = false;               // another process holds a record lock on the database or its lock file
  std::vector<SessionUser> users;  // the lock file's entries (of a stale one too)
};

// The lock file's name beside `db_path`, as the desktop program names it
// (the extension's case aside: an existing one is found whatever its case).
std::string LockFileName(const std::string& db_path);

// Whether another process holds a session's record lock on `file`: any
// lock but one over the whole file, which is another writer's like ours.
bool HeldBySession(jet::File& file);

// Who has the database open. `db_file` is the database as this process has
// it open; a lock over the whole file is not a session's but another
// writer's like ours, which the write lock itself refuses (3045).
Sessions FindSessions(jet::Env& env, jet::File& db_file, const std::string& db_path, uint16_t code_page);

// The user-lock bytes of a database and of its lock files, held by this
// process until the object goes: a session of the desktop program that
// starts meanwhile cannot take its user lock, so the system makes it wait
// or refuses it. Exclusive on the database (a session's lock there is
// shared), shared on the lock files, which are opened for reading only (a
// session's lock there is exclusive). The bytes lie past the end of the
// data: the session's reads, and everyone's, go on.
class SessionLocks {
 public:
  SessionLocks() = default;
  SessionLocks(SessionLocks&&) = default;
  SessionLocks& operator=(SessionLocks&&) = delete;
  ~SessionLocks() { Release(); }

  // kLocked where another process holds one of the bytes of `file`.
  jet::Status Hold(jet::File& file, bool exclusive);
  // Keeps a lock file open (and so its lock) for as long as the object lives.
  jet::Status Hold(std::unique_ptr<jet::File> lock_file);
  void Release();

 private:
  std::vector<jet::File*> held_;
  std::vector<std::unique_ptr<jet::File>> lock_files_;
};

// Throws 3260 where a session of another process has the database open;
// otherwise returns the user-lock bytes held, to be kept until the change
// is synced. Called on the write path before anything is written. The
// probe comes first, to name who is there; the bytes are then taken each in
// one call, which fails where a session took its user lock after the probe
// (3260 as well): no session starts between the probe and the end of the
// write (docs/architecture.md, "Sessions of the desktop program").
[[nodiscard]] SessionLocks ShutOutSessions(DatabaseImpl& db, jet::Env& env);

}  // namespace engine
