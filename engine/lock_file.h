// Sessions of the desktop program: while it has a database open, it keeps a
// lock file beside it (".ldb" beside ".mdb", ".laccdb" beside ".accdb") of
// 64-byte entries, a machine name then a user name, 32 bytes each,
// padded with NULs or spaces, in the file's code page; and it holds record locks on the
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

// A file whose locks could not be asked about: a lock file this user may
// not open or read (mode 600 of another owner), or a failing lock query.
struct Unasked {
  std::string path;
  bool lock_file = true;  // else the database itself
  std::string why;
};

struct Sessions {
  // Another process holds a record lock on the database or its lock file,
  // or whether one does could not be asked (`unasked`): a file a session
  // may have open is never taken for one nobody has.
  bool live = false;
  std::vector<SessionUser> users;  // the lock file's entries (of a stale one too)
  std::vector<Unasked> unasked;
};

// The lock file's name beside `db_path`, as the desktop program names it
// (the extension's case aside: an existing one is found whatever its case).
std::string LockFileName(const std::string& db_path);

// Whether another process holds a session's record lock on `file`: any
// lock but one over the whole file, which is another writer's like ours.
// Where that cannot be asked, it is taken to be held.
bool HeldBySession(jet::File& file);

// Who has the database open. `db_file` is the database as this process has
// it open; a lock over the whole file is not a session's but another
// writer's like ours, which the write lock itself refuses (3045). Where an
// smbd runs here, Samba is asked too (samba_sessions.h): a Windows client
// with the database or its lock file open or locked is a session, named by
// the record of the lock-file slot whose user lock it holds, else by its
// address and Unix account. Where Samba cannot tell, that is said once a
// process (a notice) and the record locks alone decide.
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

// Throws 3260 where a session of another process has the database open, or
// where that could not be asked (the description then says which file);
// otherwise returns the user-lock bytes held, to be kept until the change
// is synced. Called on the write path before anything is written. The
// probe comes first, to name who is there; the bytes are then taken each in
// one call, which fails where a session took its user lock after the probe
// (3260 as well): no session starts between the probe and the end of the
// write (docs/architecture.md, "Sessions of the desktop program").
[[nodiscard]] SessionLocks ShutOutSessions(DatabaseImpl& db, jet::Env& env);

}  // namespace engine
