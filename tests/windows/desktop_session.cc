// A stand-in for a session of the desktop program, for the tests under Wine:
//   desktop-session.exe DATABASE MACHINE USER [MILLISECONDS]
// opens the database and its lock file as the desktop program does when it
// opens a database for shared use (reading and writing, sharing both, not
// deletion), takes the first user lock no other session holds on the lock
// file and the same byte on the database, writes its entry (machine, then
// user) at that slot, says "ready" on its output and holds all of it until
// its input ends. The lock file stays behind, as it does when a session
// ends without the right to remove it: stale.
//
// Where the system refuses a user lock (another process holds every slot),
// it says "refused" and ends with 3. Given MILLISECONDS, it holds its locks
// that long instead of until its input ends, reading the whole database
// when it has them and again before it lets them go, and says "unchanged"
// or "changed" (4); TIMES such sessions one after another, the worst
// status of them its own.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "os/win32_text.h"

namespace {

// The first user lock; one byte per session, 255 at most.
constexpr DWORD kUserLocks = 0x10000001;
constexpr DWORD kSlots = 255;
constexpr size_t kEntry = 64, kName = 32;

int Fail(const char* what) {
  const DWORD err = ::GetLastError();
  if (err == ERROR_LOCK_VIOLATION) {
    std::printf("refused\n");
    return 3;
  }
  std::fprintf(stderr, "desktop-session: %s: error %lu\n", what, err);
  return 2;
}

// The whole database as it is now (a session's reads: past the locks).
std::string Contents(HANDLE db) {
  std::string all;
  char buffer[1 << 16];
  OVERLAPPED where{};
  DWORD n = 0;
  while (::ReadFile(db, buffer, sizeof buffer, &n, &where) && n > 0) {
    all.append(buffer, n);
    where.Offset += n;
  }
  return all;
}

HANDLE OpenShared(const std::wstring& path, DWORD disposition) {
  return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool LockByte(HANDLE h, DWORD at, bool exclusive) {
  OVERLAPPED where{};
  where.Offset = at;
  return ::LockFileEx(h, LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0), 0, 1, 0, &where) != 0;
}

std::wstring LockFileOf(std::wstring db) {
  const size_t dot = db.rfind(L'.');
  const std::wstring ext = dot == std::wstring::npos ? L"" : db.substr(dot);
  const bool ace = ::lstrcmpiW(ext.c_str(), L".accdb") == 0 || ::lstrcmpiW(ext.c_str(), L".accde") == 0;
  if (dot != std::wstring::npos && db.find_first_of(L"\\/", dot) == std::wstring::npos) db.resize(dot);
  return db + (ace ? L".laccdb" : L".ldb");
}

// Both handles, closed with the session: its locks go with them.
struct Opened {
  HANDLE db = INVALID_HANDLE_VALUE, lock_file = INVALID_HANDLE_VALUE;
  ~Opened() {
    if (lock_file != INVALID_HANDLE_VALUE) ::CloseHandle(lock_file);
    if (db != INVALID_HANDLE_VALUE) ::CloseHandle(db);
  }
};

// One session: 0, or 3 (refused), 4 (changed) or 2 (failed). A negative
// `hold_ms` holds it until the input ends.
int Session(const wchar_t* database, const std::string& machine, const std::string& user, int hold_ms) {
  Opened o;
  o.db = OpenShared(database, OPEN_EXISTING);
  if (o.db == INVALID_HANDLE_VALUE) return Fail("open the database");
  o.lock_file = OpenShared(LockFileOf(database), OPEN_ALWAYS);
  if (o.lock_file == INVALID_HANDLE_VALUE) return Fail("open the lock file");
  DWORD slot = 0;
  while (slot < kSlots && !LockByte(o.lock_file, kUserLocks + slot, true)) ++slot;
  if (slot == kSlots) return Fail("take a user lock");
  // A shared lock on the database: other sessions take theirs beside it.
  if (!LockByte(o.db, kUserLocks + slot, false)) return Fail("lock the database");
  char entry[kEntry] = {};
  std::memcpy(entry, machine.data(), std::min(machine.size(), kName - 1));
  std::memcpy(entry + kName, user.data(), std::min(user.size(), kName - 1));
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(slot * kEntry);
  DWORD written = 0;
  if (!::WriteFile(o.lock_file, entry, sizeof entry, &written, &where) || written != sizeof entry)
    return Fail("write the entry");
  if (hold_ms >= 0) {
    const std::string before = Contents(o.db);
    ::Sleep(static_cast<DWORD>(hold_ms));
    const bool changed = Contents(o.db) != before;
    std::printf(changed ? "changed\n" : "unchanged\n");
    return changed ? 4 : 0;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  char buffer[64];
  DWORD n = 0;
  while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &n, nullptr) && n > 0) {
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || argc > 6) {
    std::fprintf(stderr, "usage: desktop-session DATABASE MACHINE USER [MILLISECONDS [TIMES]]\n");
    return 2;
  }
  const std::string machine = os::Utf8FromWide(argv[2]), user = os::Utf8FromWide(argv[3]);
  if (argc == 4) return Session(argv[1], machine, user, -1);
  const int hold_ms = _wtoi(argv[4]), times = argc == 6 ? _wtoi(argv[5]) : 1;
  int worst = 0;
  for (int i = 0; i < times; ++i) {
    const int status = Session(argv[1], machine, user, hold_ms);
    if (status > worst) worst = status;
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(3 * hold_ms));  // then the next user comes
  }
  return worst;
}
