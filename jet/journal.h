// The rollback journal that makes a change to a database file atomic.
//
// Before any page of the database is overwritten, the original images of the
// pages to change (and the file's original size) are written to
// "<database>.vostrel-journal" and synced. Then the new pages are written and
// synced, and deleting the journal commits. A journal found at open (a "hot"
// journal: complete and with a valid checksum) means a change was cut off; it
// is played back, which restores the file exactly as it was before the change.
// An incomplete journal means the database was not touched yet; it is removed.
#pragma once

#include <string>

#include "jet/env.h"
#include "jet/status.h"

namespace jet {

std::string JournalPath(const std::string& db_path);

// Plays back a hot journal beside db_path, if there is one. Called before a
// database is read. Ok when there is no journal.
Status RecoverJournal(Env& env, const std::string& db_path);

}  // namespace jet
