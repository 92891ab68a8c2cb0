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

// Throws 3260 where a session of another process has the database open, or
// where that could not be asked; the description then says which file.
// Called on the write path before anything is written; reads only. A
// session that starts after this call and before the change is committed
// is not seen: nothing vostrel may hold keeps the desktop program out
// without failing its reads (docs/architecture.md, the residual race).
void RefuseIfInUse(DatabaseImpl& db, jet::Env& env);

}  // namespace engine
