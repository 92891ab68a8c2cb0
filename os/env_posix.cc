// The real file system, through POSIX calls.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "vostrel/env.h"
#include "vostrel/status.h"

namespace os {

// The engine's Env and File, which this file implements, and its Status.
using namespace engine;

namespace {

Status FromErrno(int err, const std::string& what, bool writing) {
  std::string msg = what + ": " + std::strerror(err);
  switch (err) {
    case ENOENT:
      return Status::Error(Code::kNotFound, msg);
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
      return Status::Error(Code::kInvalidPath, msg);
    case EACCES:
    case EPERM:
      return Status::Error(writing ? Code::kReadOnly : Code::kNoAccess, msg);
    case EROFS:
    case ETXTBSY:
      return Status::Error(Code::kReadOnly, msg);
    case EISDIR:
      return Status::Error(Code::kNoAccess, msg);
    case EAGAIN:
      return Status::Error(Code::kLocked, msg);
    default:
      return Status::Error(Code::kIoError, msg);
  }
}

FileInfo InfoOf(const struct stat& st) {
  FileInfo info;
  if (S_ISREG(st.st_mode)) info.kind = FileKind::kFile;
  else if (S_ISDIR(st.st_mode)) info.kind = FileKind::kDirectory;
  else if (S_ISLNK(st.st_mode)) info.kind = FileKind::kSymlink;
  else info.kind = FileKind::kOther;
  info.size = static_cast<uint64_t>(st.st_size);
  info.device = static_cast<uint64_t>(st.st_dev);
  info.inode = static_cast<uint64_t>(st.st_ino);
  info.links = static_cast<uint32_t>(st.st_nlink);
  info.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  info.owner_writable = (st.st_mode & S_IWUSR) != 0;
  return info;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  // The descriptor is gone after close(2) whatever it returns, EINTR
  // included (Linux), so it is never closed twice.
  Status Close() override {
    if (fd_ < 0) return Status::Error(Code::kIoError, "close " + path_ + ": already closed");
    const int rc = ::close(fd_);
    const int err = errno;
    fd_ = -1;
    if (rc != 0 && err != EINTR) return FromErrno(err, "close " + path_, true);
    return Status::Ok();
  }

  Status ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    Result<size_t> n = ReadUpTo(offset, out);
    if (!n.ok()) return n.status();
    if (*n < out.size()) return Status::Corrupt("read past the end of " + path_);
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    size_t done = 0;
    while (done < data.size()) {
      ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno, "write " + path_, true);
      }
      done += static_cast<size_t>(n);
    }
    return Status::Ok();
  }

  Status Sync() override {
    if (::fsync(fd_) != 0) return FromErrno(errno, "sync " + path_, true);
    return Status::Ok();
  }

  Status Truncate(uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return FromErrno(errno, "truncate " + path_, true);
    return Status::Ok();
  }

  Result<uint64_t> Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return FromErrno(errno, "stat " + path_, false);
    return static_cast<uint64_t>(st.st_size);
  }

  Result<FileInfo> Stat() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return FromErrno(errno, "stat " + path_, false);
    return InfoOf(st);
  }

  // Open-file-description locks: they conflict between processes and also
  // between two opens of the same file in one process, and they are released
  // when the descriptor closes, even if the process dies.
  Status Lock() override { return SetLock(F_WRLCK, 0, 0); }
  Status Unlock() override { return SetLock(F_UNLCK, 0, 0); }
  Status LockRange(uint64_t start, uint64_t length, bool exclusive) override {
    return SetLock(exclusive ? F_WRLCK : F_RDLCK, start, length);
  }
  Status UnlockRange(uint64_t start, uint64_t length) override { return SetLock(F_UNLCK, start, length); }

  // An open-file-description query meets the classic record locks an SMB
  // server takes for its clients as well as other descriptions' own.
  Result<std::optional<HeldLock>> FindLock() override {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_WRLCK;  // meets every lock, shared or exclusive
    fl.l_whence = SEEK_SET;
    if (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) return FromErrno(errno, "query locks of " + path_, false);
    if (fl.l_type == F_UNLCK) return std::optional<HeldLock>();
    return std::optional<HeldLock>(
        HeldLock{static_cast<uint64_t>(fl.l_start), static_cast<uint64_t>(fl.l_len), fl.l_type == F_WRLCK});
  }

  Result<size_t> ReadUpTo(uint64_t offset, std::span<uint8_t> out) override {
    size_t done = 0;
    while (done < out.size()) {
      ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno, "read " + path_, false);
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

 private:
  // length 0: from start to the end of the file, however long it grows.
  Status SetLock(short type, uint64_t start, uint64_t length) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(start);
    fl.l_len = static_cast<off_t>(length);
    if (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      if (errno == EAGAIN || errno == EACCES) return Status::Error(Code::kLocked, path_ + " is locked by another process");
      return FromErrno(errno, "lock " + path_, true);
    }
    return Status::Ok();
  }

  int fd_;
  std::string path_;
};

// Opens without waiting (a FIFO's open blocks until its other end opens; a
// device's may wait for the device), then refuses what is not a regular
// file and lets the descriptor block again for ordinary reads and writes.
// O_TRUNC is harmless on what is refused: it has no effect on a FIFO or a
// terminal, and a folder cannot be opened for writing at all.
Result<std::unique_ptr<File>> OpenRegular(const std::string& path, int flags, bool writing) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return FromErrno(errno, "open " + path, writing);
  struct stat st;
  const int stat_err = ::fstat(fd, &st) != 0 ? errno : 0;
  if (stat_err != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (stat_err != 0) return FromErrno(stat_err, "open " + path, writing);
    return Status::Error(Code::kNoAccess, "open " + path + ": not a regular file");
  }
  const int fl = ::fcntl(fd, F_GETFL);
  if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
    const int err = errno;
    ::close(fd);
    return FromErrno(err, "open " + path, writing);
  }
  return std::unique_ptr<File>(new PosixFile(fd, path));
}

class PosixEnv final : public Env {
 public:
  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    int flags = 0;
    switch (mode) {
      case OpenMode::kRead: flags = O_RDONLY; break;
      case OpenMode::kReadWrite: flags = O_RDWR; break;
      case OpenMode::kCreate: flags = O_RDWR | O_CREAT | O_TRUNC; break;
    }
    return OpenRegular(path, flags, mode != OpenMode::kRead);
  }

  Result<std::unique_ptr<File>> OpenEntry(const std::string& path) override {
    return OpenRegular(path, O_RDONLY | O_NOFOLLOW, false);
  }

  Status Remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) return FromErrno(errno, "remove " + path, true);
    return Status::Ok();
  }

  bool Exists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }

  Status SyncDir(const std::string& dir) override {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FromErrno(errno, "open folder " + dir, true);
    int rc = ::fsync(fd);
    int err = errno;
    ::close(fd);
    if (rc != 0) return FromErrno(err, "sync folder " + dir, true);
    return Status::Ok();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return FromErrno(errno, "rename " + from, true);
    return Status::Ok();
  }

  Result<FileInfo> Stat(const std::string& path, bool follow_links) override {
    struct stat st;
    int rc = follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0) return FromErrno(errno, "stat " + path, false);
    return InfoOf(st);
  }

  Result<std::vector<std::string>> ListDir(const std::string& dir) override {
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.empty() ? "." : dir.c_str()), ::closedir);
    if (!d) return FromErrno(errno, "list " + dir, false);
    std::vector<std::string> names;
    errno = 0;
    while (struct dirent* e = ::readdir(d.get())) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(std::move(name));
      errno = 0;
    }
    if (errno != 0) return FromErrno(errno, "list " + dir, false);
    return names;
  }

  Result<std::string> RealPath(const std::string& path) override {
    std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), ::free);
    if (!real) return FromErrno(errno, "resolve " + path, false);
    return std::string(real.get());
  }

  Result<std::string> CurrentDir() override {
    std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), ::free);
    if (!cwd) return FromErrno(errno, "working folder", false);
    return std::string(cwd.get());
  }

  // Linux names the program's file in /proc; elsewhere the caller falls back
  // on what it was started as.
  Result<std::string> ProgramPath() override { return RealPath("/proc/self/exe"); }

  Result<std::string> HostName() override {
    char name[256] = {};  // a host name is at most 255 bytes (HOST_NAME_MAX is 64 on Linux)
    if (::gethostname(name, sizeof name - 1) != 0) return FromErrno(errno, "host name", false);
    return std::string(name);
  }
};

}  // namespace

}  // namespace os

// The process-wide Env (the engine's class, declared in vostrel/env.h).
engine::Env& engine::Env::Default() {
  static os::PosixEnv env;
  return env;
}
