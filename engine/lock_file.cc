#include "engine/lock_file.h"

#include <algorithm>

#include "engine/failures.h"
#include "jet/session_locks.h"
#include "jet/text.h"

namespace engine {
namespace {

constexpr size_t kEntrySize = 64;
constexpr size_t kNameSize = 32;
constexpr size_t kMaxEntries = jet::kUserLockSlots;

bool EndsWithIgnoreCase(const std::string& s, std::string_view suffix) {
  return s.size() >= suffix.size() && jet::EqualsIgnoreCase(std::string_view(s).substr(s.size() - suffix.size()), suffix);
}

std::string Name(std::span<const uint8_t> field, uint16_t code_page) {
  const auto end = std::find(field.begin(), field.end(), uint8_t{0});
  return jet::DecodeCodePage(jet::Bytes(field.data(), static_cast<size_t>(end - field.begin())), code_page);
}

bool AnyLock(jet::File& file) {
  auto held = file.FindLock();
  return held.ok() && held->has_value();
}

}  // namespace

bool HeldBySession(jet::File& file) {
  auto held = file.FindLock();
  return held.ok() && *held && !((*held)->start == 0 && (*held)->length == 0);
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

Sessions FindSessions(jet::Env& env, jet::File& db_file, const std::string& db_path, uint16_t code_page) {
  Sessions s;
  s.live = HeldBySession(db_file);
  for (const std::string& path : LockFilePaths(env, db_path)) {
    auto lock_file = env.Open(path, jet::OpenMode::kRead);
    if (!lock_file.ok()) {
      // Held without sharing (Windows): a process has it open now.
      s.live = s.live || lock_file.status().code() == jet::Code::kLocked;
      continue;
    }
    s.live = s.live || AnyLock(**lock_file);
    std::vector<uint8_t> bytes(kEntrySize * kMaxEntries);
    auto n = (*lock_file)->ReadUpTo(0, bytes);
    if (!n.ok()) continue;
    for (size_t at = 0; at + kEntrySize <= *n; at += kEntrySize) {
      std::span<const uint8_t> entry(bytes.data() + at, kEntrySize);
      SessionUser u{Name(entry.first(kNameSize), code_page), Name(entry.subspan(kNameSize), code_page)};
      if (!u.machine.empty() || !u.user.empty()) s.users.push_back(std::move(u));
    }
  }
  return s;
}

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
  if (s.live) throw LockedBy(s.users);
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
  if (s.live) throw LockedBy(s.users);
  throw FromStatus(taken, db.name, db.path);
}

std::vector<SessionUser> Database::OpenBy() {
  if (impl_->closed || !impl_->file) throw ObjectInvalid();
  Sessions s = FindSessions(*impl_->env, *impl_->file, impl_->path, impl_->header.code_page);
  if (!s.live) return {};
  return std::move(s.users);
}

}  // namespace engine
