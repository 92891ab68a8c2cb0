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
// when it has them and again before it lets them go: a database that
// changed while it was open ends it with 4 ("changed").
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "jet/win32_text.h"

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: desktop-session DATABASE MACHINE USER [MILLISECONDS]\n");
    return 2;
  }
  const std::string machine = jet::Utf8FromWide(argv[2]), user = jet::Utf8FromWide(argv[3]);
  HANDLE db = OpenShared(argv[1], OPEN_EXISTING);
  if (db == INVALID_HANDLE_VALUE) return Fail("open the database");
  HANDLE lock_file = OpenShared(LockFileOf(argv[1]), OPEN_ALWAYS);
  if (lock_file == INVALID_HANDLE_VALUE) return Fail("open the lock file");
  DWORD slot = 0;
  while (slot < kSlots && !LockByte(lock_file, kUserLocks + slot, true)) ++slot;
  if (slot == kSlots) return Fail("take a user lock");
  // A shared lock on the database: other sessions take theirs beside it.
  if (!LockByte(db, kUserLocks + slot, false)) return Fail("lock the database");
  char entry[kEntry] = {};
  std::memcpy(entry, machine.data(), std::min(machine.size(), kName - 1));
  std::memcpy(entry + kName, user.data(), std::min(user.size(), kName - 1));
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(slot * kEntry);
  DWORD written = 0;
  if (!::WriteFile(lock_file, entry, sizeof entry, &written, &where) || written != sizeof entry)
    return Fail("write the entry");
  std::printf("ready\n");
  std::fflush(stdout);
  if (argc == 5) {
    const std::string before = Contents(db);
    ::Sleep(static_cast<DWORD>(_wtoi(argv[4])));
    const bool changed = Contents(db) != before;
    std::printf(changed ? "changed\n" : "unchanged\n");
    ::CloseHandle(lock_file);
    ::CloseHandle(db);
    return changed ? 4 : 0;
  }
  char buffer[64];
  DWORD n = 0;
  while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &n, nullptr) && n > 0) {
  }
  ::CloseHandle(lock_file);
  ::CloseHandle(db);
  return 0;
}
