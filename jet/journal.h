// The rollback journal that makes a change to a database file atomic.
//
// Before any page of the database is overwritten, the original images of the
// pages to change (and the file's original size) are written to the journal
// and synced. Then the new pages are written and synced, and deleting the
// journal commits. A journal found at open (a "hot" journal: complete and
// with a valid checksum) means a change was cut off; it is played back, which
// restores the file exactly as it was before the change. An incomplete
// journal means the database was not touched yet; it is removed.
//
// The journal lies beside the file's real path (every symbolic link
// resolved), so that it is found whichever name opens the file. What it
// holds is what identifies the file: what each page it names may hold at any
// cut of the change (the page as it was or one of the images the change
// writes there, byte by byte, for a write torn anywhere). The file's device
// and inode are recorded but not required: they change with a remount or a
// copy to another disk, and mean other things on Windows. A journal that
// does not fit the file beside it (the user put another file in its place)
// is never played back: it is set aside under JournalPath + ".of-another-file".
//
// The journal file, all numbers little-endian, the same bytes on every
// system:
//   0   8  "VOSTJRNL"
//   8   4  layout version (3)
//   12  4  page size of the database
//   16  8  size of the database file before the change
//   24  8  its size after the change
//   32  8  its device (as the writing system numbers it; not checked)
//   40  8  its inode (likewise)
//   48  4  number of records
//   52     the records: 8-byte offset, 4-byte length, then that many bytes
//          as they were in the database at that offset, a 4-byte count of
//          the images the change writes there, and each image, as long as
//          the record and as stored
//   end 8  FNV-1a 64 of every byte before it
// Version 2, still played back, held per image the FNV-1a 64 of each
// 512-byte sector instead of the image.
//
// Invariants (checked with VOSTREL_ASSERT where the code relies on them):
//   J1  No byte of the database is written before its journal is complete,
//       synced, and its name synced in its folder.
//   J2  A journal is acted on only when it decodes whole: its checksum covers
//       every byte, so a journal cut or torn while it was written is never
//       played back; it is removed, the database being untouched (J1).
//   J3  A record names bytes inside the file's original size, at most one
//       page, each page once; each of its images is as long as it.
//   J4  Every page the change writes inside the original size has a record,
//       and every image written there is among the record's images: every
//       state a cut leaves fits the journal (FitsImages), torn writes
//       included, so a hot journal is always recognised as the file's.
//   J5  The journal is removed (the commit) only after the database's new
//       pages are synced.
//   J6  A playback leaves the database byte for byte as before the change:
//       every record written, the size cut to the original, synced, and only
//       then the journal removed. A playback cut off is played again.
//   J7  A journal is played back only onto a file it fits; one that does not
//       fit is set aside, never removed and never played.
//   J8  A journal's fit is judged by content alone: a file that fits is the
//       file, wherever it is mounted and whichever system wrote the journal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/env_names.h"
#include "jet/pager.h"

namespace jet {

// The journal's name for a database at `db_path` (a real path).
std::string JournalPath(const std::string& db_path);
// The journal's name for the database reached through `db_path`, which may
// be a symbolic link or lie in a folder reached through one.
std::string JournalPathFor(Env& env, const std::string& db_path);

// Plays back a hot journal of the database at db_path, if there is one.
// Called before a database is read. Ok when there is no journal. The database
// is locked while the journal is examined, so a change that another process
// is making right now is not mistaken for a cut-off one: that case is
// kLocked. A hot journal of a database that cannot be written is kReadOnly
// (it cannot be played back, and the file must not be read as it is). A
// journal of another file is set aside, and `set_aside` (when given) says
// where to; otherwise it is left empty. One that cannot be moved is a
// failure (set_aside says why): it stands where this file's journal goes,
// and a change would write over it.
struct SetAsideJournal {
  std::string journal;  // where it was found
  std::string db_path;  // the file it was found beside
  std::string kept_as;  // where it is now; empty when it could not be moved
  std::string failure;  // why not, then
};
Status RecoverJournal(Env& env, const std::string& db_path, std::optional<SetAsideJournal>* set_aside = nullptr);

// The same for a caller that holds the database open read-write and locked
// (a writer that finds, once it holds the lock, that a change of another
// process was cut off since it opened the file).
Status RecoverJournalLocked(Env& env, File& db, const std::string& db_path,
                            std::optional<SetAsideJournal>* set_aside = nullptr);

// A page as it must read after the change: exactly one page of plain bytes
// (the pager encrypts them where the file's pages are encrypted).
struct PageImage {
  uint32_t number = 0;
  std::vector<uint8_t> bytes;
  // This write and every one before it are synced before the next is
  // written: a power cut lands any subset of the writes since the last
  // sync, in any order, so what a later write points at must be durable
  // first for a reader that knows nothing of the journal.
  bool sync_after = false;
};

// What a commit did to the disk. The same numbers are added to the pager's
// counters, where there are any.
struct CommitStats {
  uint64_t pages_read = 0;     // original pages copied into the journal
  uint64_t pages_written = 0;  // pages written to the database
  uint64_t syncs = 0;          // file and folder syncs, the journal's included
};

// Writes `pages` into the database as one atomic, durable change, in the
// order given, syncing the database after each image marked sync_after; a
// page may come more than once (a step of the change that must reach the
// file before a later one), the last image being what it holds in the end.
// The pager's file is the database open read-write and locked by the caller
// (it stays open and locked). Pages past the end of the file grow it. A file
// with more than one name (hard link) is kUnsupported:
// a journal beside one name is not found by a reader of another, which
// would read the file torn.
//
// On failure the database reads exactly as before: the change is rolled back
// at once from memory, and where even that cannot be done, the journal stays
// on the disk and the next RecoverJournal restores the file. Errors: kReadOnly
// when the journal cannot be created (a read-only folder), kIoError when the
// disk is full or fails, kInvalidArgument for pages that are not whole pages.
Status CommitPages(Env& env, Pager& pager, const std::string& db_path, const std::vector<PageImage>& pages,
                   CommitStats* stats = nullptr);

}  // namespace jet
