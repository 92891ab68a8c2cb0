// The real file system, through POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/env.h"

namespace jet {
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

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override { ::close(fd_); }

  Status ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    size_t done = 0;
    while (done < out.size()) {
      ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno, "read " + path_, false);
      }
      if (n == 0) return Status::Corrupt("read past the end of " + path_);
      done += static_cast<size_t>(n);
    }
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

  // Open-file-description locks: they conflict between processes and also
  // between two opens of the same file in one process, and they are released
  // when the descriptor closes, even if the process dies.
  Status Lock() override { return SetLock(F_WRLCK); }
  Status Unlock() override { return SetLock(F_UNLCK); }

 private:
  Status SetLock(short type) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    if (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      if (errno == EAGAIN || errno == EACCES) return Status::Error(Code::kLocked, path_ + " is locked by another process");
      return FromErrno(errno, "lock " + path_, true);
    }
    return Status::Ok();
  }

  int fd_;
  std::string path_;
};

class PosixEnv final : public Env {
 public:
  Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kRead: flags |= O_RDONLY; break;
      case OpenMode::kReadWrite: flags |= O_RDWR; break;
      case OpenMode::kCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return FromErrno(errno, "open " + path, mode != OpenMode::kRead);
    return std::unique_ptr<File>(new PosixFile(fd, path));
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
};

}  // namespace

Env& Env::Default() {
  static PosixEnv env;
  return env;
}

}  // namespace jet
