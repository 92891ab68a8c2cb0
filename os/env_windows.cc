// The real file system, through Win32 calls. Paths arrive as UTF-8 and cross
// to the system as UTF-16; long ones get the "\\?\" prefix.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <memory>

#include "os/session_locks.h"
#include "os/win32_text.h"
#include "vostrel/env.h"
#include "vostrel/status.h"

namespace os {

// The engine's Env and File, which this file implements, and its Status.
using namespace engine;

namespace {

std::wstring Wide(const std::string& utf8) { return WideFromUtf8(utf8); }
std::string Utf8(std::wstring_view wide) { return Utf8FromWide(wide); }

// The name the system is given: "/" becomes "\", the path is made absolute
// and normalised, and one too long for the classic limit gets "\\?\" (or
// "\\?\UNC\" for a share), which lifts the limit but also turns off the
// normalisation, hence done here first.
std::wstring SystemPath(const std::string& path) {
  std::wstring w = Wide(path);
  for (wchar_t& c : w)
    if (c == L'/') c = L'\\';
  if (w.rfind(L"\\\\?\\", 0) == 0 || w.empty()) return w;
  const DWORD need = ::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (need == 0) return w;
  std::wstring full(need, L'\0');
  const DWORD got = ::GetFullPathNameW(w.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return w;
  full.resize(got);
  // 248: the longest folder name CreateDirectoryW takes without the prefix.
  if (full.size() < 248) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The reverse of the prefix, for names handed back to the engine.
std::string UserPath(std::wstring w) {
  if (w.rfind(L"\\\\?\\UNC\\", 0) == 0) w = L"\\\\" + w.substr(8);
  else if (w.rfind(L"\\\\?\\", 0) == 0) w = w.substr(4);
  return Utf8(w);
}

Status FromError(DWORD err, const std::string& what, bool writing) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = n ? Utf8(std::wstring_view(text, n)) : "error " + std::to_string(err);
  if (text) ::LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) reason.pop_back();
  std::string msg = what + ": " + reason;
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return Status::Error(Code::kNotFound, msg);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
      return Status::Error(Code::kInvalidPath, msg);
    case ERROR_ACCESS_DENIED:
      return Status::Error(writing ? Code::kReadOnly : Code::kNoAccess, msg);
    case ERROR_WRITE_PROTECT:
      return Status::Error(Code::kReadOnly, msg);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return Status::Error(Code::kLocked, msg);
    default:
      return Status::Error(Code::kIoError, msg);
  }
}

Status LastError(const std::string& what, bool writing) { return FromError(::GetLastError(), what, writing); }

FileInfo InfoOf(const BY_HANDLE_FILE_INFORMATION& in) {
  FileInfo info;
  info.kind = (in.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::kDirectory : FileKind::kFile;
  info.size = (static_cast<uint64_t>(in.nFileSizeHigh) << 32) | in.nFileSizeLow;
  info.device = in.dwVolumeSerialNumber;
  info.inode = (static_cast<uint64_t>(in.nFileIndexHigh) << 32) | in.nFileIndexLow;
  info.links = in.nNumberOfLinks;
  info.modified = static_cast<int64_t>((static_cast<uint64_t>(in.ftLastWriteTime.dwHighDateTime) << 32) |
                                       in.ftLastWriteTime.dwLowDateTime);
  info.owner_writable = (in.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
  return info;
}

struct Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  explicit Handle(HANDLE handle) : h(handle) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool ok() const { return h != INVALID_HANDLE_VALUE; }
};

// A handle that only asks about a file or folder, whatever holds it open.
HANDLE OpenToAsk(const std::string& path, bool follow_links) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;  // folders open only with this
  if (!follow_links) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  return ::CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, flags, nullptr);
}

// The write lock: one byte far past the end of any database file (they stop
// at 2 GiB) and past the bytes the desktop program itself locks, so that it
// never covers data. Windows locks are mandatory: a lock over the file's
// bytes would make the desktop program's reads fail while vostrel writes.
constexpr uint64_t kLockOffset = uint64_t{1} << 62;

class WindowsFile final : public File {
 public:
  WindowsFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
  ~WindowsFile() override {
    if (h_ == INVALID_HANDLE_VALUE) return;
    if (locked_) (void)Unlock();
    ::CloseHandle(h_);
  }

  Status Close() override {
    if (h_ == INVALID_HANDLE_VALUE) return Status::Error(Code::kIoError, "close " + path_ + ": already closed");
    if (locked_) (void)Unlock();
    const bool closed = ::CloseHandle(h_) != 0;
    const DWORD err = ::GetLastError();
    h_ = INVALID_HANDLE_VALUE;
    if (!closed) return FromError(err, "close " + path_, true);
    return Status::Ok();
  }

  Status ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    size_t done = 0;
    while (done < out.size()) {
      OVERLAPPED at = At(offset + done);
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 30));
      if (!::ReadFile(h_, out.data() + done, want, &n, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) return Status::Corrupt("read past the end of " + path_);
        return LastError("read " + path_, false);
      }
      if (n == 0) return Status::Corrupt("read past the end of " + path_);
      done += n;
    }
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    size_t done = 0;
    while (done < data.size()) {
      OVERLAPPED at = At(offset + done);
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
      if (!::WriteFile(h_, data.data() + done, want, &n, &at)) return LastError("write " + path_, true);
      done += n;
    }
    return Status::Ok();
  }

  Status Sync() override {
    if (!::FlushFileBuffers(h_)) return LastError("sync " + path_, true);
    return Status::Ok();
  }

  Status Truncate(uint64_t size) override {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(h_, FileEndOfFileInfo, &end, sizeof end)) return LastError("truncate " + path_, true);
    return Status::Ok();
  }

  Result<uint64_t> Size() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(h_, &size)) return LastError("stat " + path_, false);
    return static_cast<uint64_t>(size.QuadPart);
  }

  Result<FileInfo> Stat() override {
    BY_HANDLE_FILE_INFORMATION in;
    if (!::GetFileInformationByHandle(h_, &in)) return LastError("stat " + path_, false);
    return InfoOf(in);
  }

  // Byte-range locks belong to the handle: a second open of the same file,
  // in this process or another, is refused as well.
  Status Lock() override {
    Status s = LockRange(kLockOffset, 1, true);
    if (s.ok()) locked_ = true;
    return s;
  }

  // Windows has no call that only asks which locks others hold: finding one
  // means trying to take it. So only the bytes where every session of the
  // desktop program holds its lock for as long as it lives are tried, one at
  // a time: its "user lock", one byte per session at kSessionLocks + slot,
  // far past the end of the lock file and of the database, which nobody
  // reads or writes (Windows locks are mandatory: a lock over data would
  // fail a session's reads). A byte found free is released at once. A
  // session taking its user lock at that instant finds the byte taken and
  // moves on to the next one, as it does when another session has it; that
  // is the one way this probe touches a session.
  Result<std::optional<HeldLock>> FindLock() override {
    for (uint64_t at = kUserLocks; at < kUserLocks + kUserLockSlots; ++at) {
      if (TryLock(at, 1, true)) {
        if (Status s = Release(at, 1); !s.ok()) return s;
        continue;
      }
      const DWORD err = ::GetLastError();
      if (err != ERROR_LOCK_VIOLATION && err != ERROR_IO_PENDING) return FromError(err, "query locks of " + path_, false);
      // A shared lock of ours is granted beside another shared one.
      const bool exclusive = !TryLock(at, 1, false);
      if (!exclusive) {
        if (Status s = Release(at, 1); !s.ok()) return s;
      }
      return std::optional<HeldLock>(HeldLock{at, 1, exclusive});
    }
    return std::optional<HeldLock>();
  }

  Status Unlock() override {
    if (!locked_) return Status::Ok();
    if (Status s = Release(kLockOffset, 1); !s.ok()) return s;
    locked_ = false;
    return Status::Ok();
  }

  // One call over the whole range: granted only where no byte of it is held.
  Status LockRange(uint64_t start, uint64_t length, bool exclusive) override {
    if (TryLock(start, length, exclusive)) return Status::Ok();
    const DWORD err = ::GetLastError();
    if (err == ERROR_LOCK_VIOLATION || err == ERROR_IO_PENDING)
      return Status::Error(Code::kLocked, path_ + " is locked by another process");
    return FromError(err, "lock " + path_, true);
  }

  Status UnlockRange(uint64_t start, uint64_t length) override { return Release(start, length); }

 private:
  bool TryLock(uint64_t at, uint64_t length, bool exclusive) {
    OVERLAPPED where = At(at);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return ::LockFileEx(h_, flags, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &where) != 0;
  }

  Status Release(uint64_t at, uint64_t length) {
    OVERLAPPED where = At(at);
    if (!::UnlockFileEx(h_, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &where))
      return LastError("unlock " + path_, true);
    return Status::Ok();
  }

  static OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
  }

  HANDLE h_;
  std::string path_;
  bool locked_ = false;
};

class WindowsEnv final : public Env {
 public:
  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode != OpenMode::kRead) access |= GENERIC_WRITE;
    if (mode == OpenMode::kCreate) disposition = CREATE_ALWAYS;
    // The desktop program opens a shared database for reading and writing
    // and lets others do the same; vostrel must neither be refused by it nor
    // refuse it. A program holding the file exclusively makes this fail
    // with a sharing violation, which is kLocked.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE h = ::CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError("open " + path, mode != OpenMode::kRead);
    // A pipe or a device answers to a file's name too.
    if (::GetFileType(h) != FILE_TYPE_DISK) {
      ::CloseHandle(h);
      return Status::Error(Code::kNoAccess, "open " + path + ": not a regular file");
    }
    return std::unique_ptr<File>(new WindowsFile(h, path));
  }

  Status Remove(const std::string& path) override {
    if (!::DeleteFileW(SystemPath(path).c_str())) return LastError("remove " + path, true);
    return Status::Ok();
  }

  bool Exists(const std::string& path) override {
    return ::GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  // NTFS logs a name's creation in its own journal; flushing a folder's
  // handle forces that log out. File systems that cannot flush a folder
  // (FAT, some shares, Wine) answer "access denied" or "invalid function":
  // nothing more can be done there, so that is not a failure.
  Status SyncDir(const std::string& dir) override {
    Handle h(::CreateFileW(SystemPath(dir.empty() ? "." : dir).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.ok()) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_ACCESS_DENIED) return Status::Ok();
      return FromError(err, "open folder " + dir, true);
    }
    if (!::FlushFileBuffers(h.h)) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_ACCESS_DENIED || err == ERROR_INVALID_FUNCTION) return Status::Ok();
      return FromError(err, "sync folder " + dir, true);
    }
    return Status::Ok();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    if (!::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return LastError("rename " + from, true);
    return Status::Ok();
  }

  Result<FileInfo> Stat(const std::string& path, bool follow_links) override {
    Handle h(OpenToAsk(path, follow_links));
    if (!h.ok()) return LastError("stat " + path, false);
    BY_HANDLE_FILE_INFORMATION in;
    if (!::GetFileInformationByHandle(h.h, &in)) return LastError("stat " + path, false);
    FileInfo info = InfoOf(in);
    if (!follow_links && (in.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) info.kind = FileKind::kSymlink;
    return info;
  }

  Result<std::vector<std::string>> ListDir(const std::string& dir) override {
    const std::string pattern = (dir.empty() ? std::string(".") : dir) + "\\*";
    WIN32_FIND_DATAW found;
    HANDLE h = ::FindFirstFileW(SystemPath(pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return LastError("list " + dir, false);
    std::vector<std::string> names;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.push_back(Utf8(name));
    } while (::FindNextFileW(h, &found));
    const DWORD err = ::GetLastError();
    ::FindClose(h);
    if (err != ERROR_NO_MORE_FILES) return FromError(err, "list " + dir, false);
    return names;
  }

  // The name the file system keeps for the file, every link and junction on
  // the way followed and each name in its case on disk.
  Result<std::string> RealPath(const std::string& path) override {
    Handle h(OpenToAsk(path, true));
    if (!h.ok()) return LastError("resolve " + path, false);
    std::wstring out(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = ::GetFinalPathNameByHandleW(h.h, out.data(), static_cast<DWORD>(out.size()),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (n == 0) return LastError("resolve " + path, false);
      if (n < out.size()) {
        out.resize(n);
        return UserPath(out);
      }
      out.resize(n);
    }
  }

  Result<std::string> CurrentDir() override {
    const DWORD need = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring cwd(need, L'\0');
    const DWORD got = ::GetCurrentDirectoryW(need, cwd.data());
    if (got == 0 || got >= need) return LastError("working folder", false);
    cwd.resize(got);
    return UserPath(cwd);
  }

  Result<std::string> ProgramPath() override {
    // The call truncates without saying how long the path is: grow until it fits.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
      std::wstring path(size, L'\0');
      const DWORD got = ::GetModuleFileNameW(nullptr, path.data(), size);
      if (got == 0) return LastError("program path", false);
      if (got < size) {
        path.resize(got);
        // The name is always absolute, but Wine (8.0) gives a program started
        // from a share as its NT name less "\??\": "UNC\server\share\...".
        if (path.rfind(L"UNC\\", 0) == 0) path = L"\\\\" + path.substr(4);
        return UserPath(path);
      }
    }
    return Status::Error(Code::kIoError, "program path: longer than the system allows");
  }

  // The NetBIOS name, as the machine's lock file records and SMB name it.
  Result<std::string> HostName() override {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size)) return LastError("host name", false);
    return Utf8(std::wstring_view(name, size));
  }
};

}  // namespace

}  // namespace os

// The process-wide Env (the engine's class, declared in vostrel/env.h).
engine::Env& engine::Env::Default() {
  static os::WindowsEnv env;
  return env;
}
