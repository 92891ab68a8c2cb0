// Env: the file system as the engine sees it. Everything that touches the
// disk goes through here, so that tests can count, fail or cut any write or
// sync (see tests for the fault-injecting Env).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "vostrel/status.h"

namespace engine {

// What the file system says of a file or folder.
enum class FileKind { kFile, kDirectory, kSymlink, kOther };

struct FileInfo {
  FileKind kind = FileKind::kOther;
  uint64_t size = 0;
  // The file's identity, the same whichever name reaches it: device and inode
  // on POSIX, volume serial number and file index on Windows.
  uint64_t device = 0;
  uint64_t inode = 0;
  uint32_t links = 1;  // names (hard links) the file has
  // When its contents last changed, in the system's own units (nanoseconds
  // since 1970 on POSIX, 100 ns since 1601 on Windows): compared, not shown.
  int64_t modified = 0;
  // The owner may write it: the owner's write bit on POSIX, the absence of
  // the read-only attribute on Windows. Says nothing of who is asking.
  bool owner_writable = true;
};

// A record (byte-range) lock that another open file holds.
struct HeldLock {
  uint64_t start = 0;
  uint64_t length = 0;  // 0: to the end of the file, however long it grows
  bool exclusive = false;
};

class File {
 public:
  virtual ~File() = default;
  // Reads exactly out.size() bytes at offset; a short read is kCorrupt.
  virtual Status ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
  virtual Status WriteAt(uint64_t offset, std::span<const uint8_t> data) = 0;
  virtual Status Sync() = 0;
  virtual Status Truncate(uint64_t size) = 0;
  virtual Result<uint64_t> Size() = 0;
  // An exclusive advisory lock held by this open file until Unlock or close;
  // kLocked when another process (or another open file) holds it.
  virtual Status Lock() = 0;
  virtual Status Unlock() = 0;
  // The open file's identity and size (what Env::Stat says of its path).
  virtual Result<FileInfo> Stat() = 0;
  // A record lock that another process (or another open file) holds on any
  // byte of the file, shared or exclusive; none when there is none. Asks
  // only: takes no lock, needs no write access. The desktop program and an
  // SMB server serving it hold such locks while a session has the file open.
  virtual Result<std::optional<HeldLock>> FindLock() = 0;
  // Closes the file, releasing its locks, and says whether that went well:
  // some file systems report a write they could not store only here (NFS, a
  // disk that allocates late and is full), so a written file whose close
  // fails is not written. Every later call on the file fails. A file not
  // closed is closed when it goes, ignoring the outcome.
  virtual Status Close() = 0;
  // Takes a record lock on `length` bytes from `start` for this open file
  // until UnlockRange or close, without waiting: kLocked, and nothing taken,
  // where another process (or another open file) holds a lock there that
  // this one conflicts with. Exclusive keeps out every other lock and needs
  // the file open for writing on POSIX; shared keeps out exclusive ones. The
  // bytes need not exist. On POSIX a lock is one per open file and range:
  // UnlockRange also releases those bytes of Lock's, which covers them.
  virtual Status LockRange(uint64_t start, uint64_t length, bool exclusive) = 0;
  virtual Status UnlockRange(uint64_t start, uint64_t length) = 0;
  // Reads from offset to the end or until out is full; returns the bytes
  // read. For files whose size the file system does not know ahead (/proc).
  virtual Result<size_t> ReadUpTo(uint64_t offset, std::span<uint8_t> out) {
    Result<uint64_t> size = Size();
    if (!size.ok()) return size.status();
    if (offset >= *size) return size_t{0};
    const size_t n = static_cast<size_t>(std::min<uint64_t>(out.size(), *size - offset));
    Status s = ReadAt(offset, out.first(n));
    if (!s.ok()) return s;
    return n;
  }
};

enum class OpenMode { kRead, kReadWrite, kCreate /* read-write, created or truncated */ };

class Env {
 public:
  virtual ~Env() = default;
  // Opens a regular file. Anything else at `path` (a folder, a FIFO, a
  // device) is refused with kNoAccess, and the open itself never waits for
  // a writer or reader at the other end: whatever a name turns out to be
  // when it is opened, the call returns at once.
  virtual Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) = 0;
  // Opens for reading the file at `path` itself: a symbolic link there is
  // refused (kInvalidPath), not followed, so that a walk of a tree reads
  // only what lies in it, even where an entry is swapped after it was seen.
  virtual Result<std::unique_ptr<File>> OpenEntry(const std::string& path) {
    Result<FileInfo> info = Stat(path, false);
    if (!info.ok()) return info.status();
    if (info->kind == FileKind::kSymlink) return Status::Error(Code::kInvalidPath, path + " is a symbolic link");
    return Open(path, OpenMode::kRead);
  }
  virtual Status Remove(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // Makes the creation or removal of a file in this folder durable.
  virtual Status SyncDir(const std::string& dir) = 0;
  // Gives `from` the name `to`, replacing a file of that name.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;

  // What is at `path`: the file a symbolic link points to, or with
  // follow_links false the link itself (kind kSymlink). kNotFound when
  // nothing is there.
  virtual Result<FileInfo> Stat(const std::string& path, bool follow_links = true) = 0;
  // The names in a folder, "." and ".." left out, in no particular order.
  virtual Result<std::vector<std::string>> ListDir(const std::string& dir) = 0;
  // The absolute path of an existing file or folder, every symbolic link on
  // the way resolved: the one name a file has whichever name reached it.
  virtual Result<std::string> RealPath(const std::string& path) = 0;
  // The process's working directory, absolute.
  virtual Result<std::string> CurrentDir() = 0;
  // The running program's own file, absolute, as the system knows it.
  virtual Result<std::string> ProgramPath() = 0;
  // This machine's name as the system's own call gives it (gethostname on
  // POSIX, GetComputerNameW on Windows): what a server is called by its
  // clients unless its configuration says otherwise.
  virtual Result<std::string> HostName() = 0;

  // The folder that holds `path`, as this system writes paths: "." for a
  // bare name; a root keeps its separator ("/", "C:\", "\\server\share\").
  static std::string FolderOf(const std::string& path);

  // The process-wide Env on the real file system.
  static Env& Default();
};

}  // namespace engine
