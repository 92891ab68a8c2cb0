#include "engine/lock_file.h"

#include <algorithm>
#include <optional>

#include "engine/failures.h"
#include "engine/samba_sessions.h"
#include "jet/os_names.h"
#include "jet/text.h"

namespace engine {
namespace {

constexpr size_t kEntrySize = 64;
constexpr size_t kNameSize = 32;
constexpr size_t kMaxEntries = jet::kUserLockSlots;

bool EndsWithIgnoreCase(const std::string& s, std::string_view suffix) {
  return s.size() >= suffix.size() && jet::EqualsIgnoreCase(std::string_view(s).substr(s.size() - suffix.size()), suffix);
}

// The desktop program pads a name with NULs or with spaces (a user name is
// written as "ana" and 29 spaces): neither is part of it.
std::string Name(std::span<const uint8_t> field, uint16_t code_page) {
  const auto nul = std::find(field.begin(), field.end(), uint8_t{0});
  size_t n = static_cast<size_t>(nul - field.begin());
  while (n > 0 && field[n - 1] == ' ') --n;
  return jet::DecodeCodePage(jet::Bytes(field.data(), n), code_page);
}

// Whether another process holds a lock on `file` (with `whole_file`, one
// over all of it counts too); where that cannot be asked, the file is
// noted in `s` and counts as held.
bool Held(jet::File& file, bool whole_file, const std::string& path, bool lock_file, Sessions& s) {
  auto held = file.FindLock();
  if (!held.ok()) {
    s.unasked.push_back(Unasked{path, lock_file, held.status().message()});
    return true;
  }
  return *held && (whole_file || !((*held)->start == 0 && (*held)->length == 0));
}

}  // namespace

bool HeldBySession(jet::File& file) {
  Sessions ignored;
  return Held(file, false, {}, false, ignored);
}

std::string LockFileName(const std::string& db_path) {
  const size_t slash = db_path.find_last_of("/\\");
  const size_t dot = db_path.rfind('.');
  const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? db_path.substr(0, dot) : db_path;
  return stem + (EndsWithIgnoreCase(db_path, ".accdb") || EndsWithIgnoreCase(db_path, ".accde") ? ".laccdb" : ".ldb");
}

// Every lock file beside the database. Where two differ only in the case of
// their names (clients that spelled the database's name differently), the
// desktop program on each keeps its own, and both tell who is there.
std::vector<std::string> LockFilePaths(jet::Env& env, const std::string& db_path) {
  const std::string wanted = LockFileName(db_path);
  const size_t slash = wanted.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : wanted.substr(0, slash + 1);
  const std::string name = wanted.substr(folder.size());
  std::vector<std::string> paths;
  if (auto entries = env.ListDir(folder.empty() ? "." : folder); entries.ok()) {
    std::sort(entries->begin(), entries->end());
    for (const std::string& entry : *entries)
      if (jet::EqualsIgnoreCase(entry, name)) paths.push_back(folder + entry);
  }
  return paths;
}

namespace {

FileIdentity IdentityOf(jet::Env& env, const std::string& path) {
  auto info = env.Stat(path);
  return info.ok() ? FileIdentity{info->device, info->inode} : FileIdentity{};
}

// Samba's clients on the database, or none where Samba could not tell: then
// that is said once, and for the rest of the process the record locks alone
// decide (a run that failed, for want of rights or by its timeout, would
// fail again at every front-end). The files are looked up, and smbd's
// processes found, through the Env the database was opened through: the
// one view of the file system the database has.
std::vector<SambaSession> SambaClients(jet::Env& env, const std::string& db_path,
                                       const std::vector<std::string>& lock_files) {
  static bool unreadable = false;
  if (unreadable) return {};
  const SambaAsked asked = AskSamba(env, DefaultSambaQuery());
  if (asked.answer == SambaAsked::Answer::kUnreadable) {
    unreadable = true;
    Notice(Say("Samba's smbstatus could not tell which Windows clients have files open (%1); only the locks "
               "they hold are seen, so a client of a share with \"posix locking = no\" is not.",
               {asked.failure.localized})
               .localized);
  }
  if (asked.answer != SambaAsked::Answer::kAnswered || (asked.state.opens.empty() && asked.state.locks.empty())) return {};
  std::vector<FileIdentity> locks;
  for (const std::string& path : lock_files) locks.push_back(IdentityOf(env, path));
  return SambaSessionsOn(asked.state, IdentityOf(env, db_path), locks);
}

}  // namespace

Sessions FindSessions(jet::Env& env, jet::File& db_file, const std::string& db_path, uint16_t code_page) {
  Sessions s;
  s.live = Held(db_file, false, db_path, false, s);
  const std::vector<std::string> lock_files = LockFilePaths(env, db_path);
  // Each lock file's records by slot; the first lock file's slot wins.
  std::vector<std::optional<SessionUser>> by_slot;
  for (const std::string& path : lock_files) {
    auto lock_file = env.Open(path, jet::OpenMode::kRead);
    if (!lock_file.ok()) {
      // Held without sharing (Windows): a process has it open now. Gone
      // since the folder was listed: the session it told of ended.
      const jet::Code code = lock_file.status().code();
      if (code != jet::Code::kLocked && code != jet::Code::kNotFound)
        s.unasked.push_back(Unasked{path, true, lock_file.status().message()});
      s.live = s.live || code != jet::Code::kNotFound;
      continue;
    }
    s.live = Held(**lock_file, true, path, true, s) || s.live;
    std::vector<uint8_t> bytes(kEntrySize * kMaxEntries);
    auto n = (*lock_file)->ReadUpTo(0, bytes);
    if (!n.ok()) {
      s.unasked.push_back(Unasked{path, true, n.status().message()});
      s.live = true;
      continue;
    }
    for (size_t at = 0; at + kEntrySize <= *n; at += kEntrySize) {
      std::span<const uint8_t> entry(bytes.data() + at, kEntrySize);
      SessionUser u{Name(entry.first(kNameSize), code_page), Name(entry.subspan(kNameSize), code_page)};
      const size_t slot = at / kEntrySize;
      if (u.machine.empty() && u.user.empty()) continue;
      if (by_slot.size() <= slot) by_slot.resize(slot + 1);
      if (!by_slot[slot]) by_slot[slot] = u;
      s.users.push_back(std::move(u));
    }
  }
  // smbd's clients, which it may hold no POSIX lock for: named by the record
  // of the slot whose user lock they hold, else by their address and account.
  const std::vector<SambaSession> clients = SambaClients(env, db_path, lock_files);
  if (clients.empty()) return s;
  s.live = true;
  std::vector<SessionUser> named;
  auto add = [&](SessionUser u) {
    for (const SessionUser& n : named)
      if (n.machine == u.machine && n.user == u.user) return;
    named.push_back(std::move(u));
  };
  for (const SambaSession& c : clients) {
    bool by_record = false;
    for (size_t slot : c.slots) {
      if (slot < by_slot.size() && by_slot[slot]) {
        add(*by_slot[slot]);
        by_record = true;
      }
    }
    if (!by_record) add(SessionUser{c.machine, c.user});
  }
  s.users = std::move(named);
  return s;
}

namespace {

// 3260 naming who has the database open and, where the locks or a lock file
// could not be read, which: "could not ask" counts as "in use".
EngineError Refusal(const Sessions& s) {
  EngineError e = LockedBy(s.users);
  std::string english = e.description(), localized = e.localized();
  for (const Unasked& u : s.unasked) {
    const Phrase why = u.lock_file ? Say("The lock file '%1' could not be read (%2).", {u.path, u.why})
                                   : Say("The locks held on '%1' could not be read (%2).", {u.path, u.why});
    english += " " + why.english;
    localized += " " + why.localized;
  }
  return EngineError(e.number(), english, localized);
}

}  // namespace

jet::Status SessionLocks::Hold(jet::File& file, bool exclusive) {
  jet::Status s = file.LockRange(jet::kUserLocks, jet::kUserLockSlots, exclusive);
  if (s.ok()) held_.push_back(&file);
  return s;
}

jet::Status SessionLocks::Hold(std::unique_ptr<jet::File> lock_file) {
  jet::Status s = Hold(*lock_file, false);
  if (s.ok()) lock_files_.push_back(std::move(lock_file));
  return s;
}

void SessionLocks::Release() {
  // Closing would release them too, but on Windows only "when the system
  // has the resources": now, so that a session waiting to start goes on.
  for (jet::File* file : held_) (void)file->UnlockRange(jet::kUserLocks, jet::kUserLockSlots);
  held_.clear();
  lock_files_.clear();
}

SessionLocks ShutOutSessions(DatabaseImpl& db, jet::Env& env) {
  SessionLocks held;
  if (!db.file) return held;
  Sessions s = FindSessions(env, *db.file, db.path, db.header.code_page);
  if (s.live) throw Refusal(s);
  // A lock file that a session makes after the list is read cannot matter:
  // that session's lock on the database, taken after, fails.
  jet::Status taken = held.Hold(*db.file, true);
  for (const std::string& path : LockFilePaths(env, db.path)) {
    if (!taken.ok()) break;
    auto lock_file = env.Open(path, jet::OpenMode::kRead);
    if (lock_file.ok()) taken = held.Hold(std::move(*lock_file));
    else if (lock_file.status().code() != jet::Code::kNotFound)  // not found: a stale one removed meanwhile
      taken = lock_file.status();
  }
  if (taken.ok()) return held;
  held.Release();
  // A session that started after the probe, named if it wrote its entry;
  // else another writer like us holds the bytes (3045).
  s = FindSessions(env, *db.file, db.path, db.header.code_page);
  if (s.live) throw Refusal(s);
  throw FromStatus(taken, db.name, db.path);
}

std::vector<SessionUser> Database::OpenBy() {
  if (impl_->closed || !impl_->file) throw ObjectInvalid();
  Sessions s = FindSessions(*impl_->env, *impl_->file, impl_->path, impl_->header.code_page);
  if (!s.live) return {};
  return std::move(s.users);
}

}  // namespace engine
