// Status: the outcome of an operation on a database file or the file
// system, LevelDB-style. Nothing below the engine throws; the engine turns a
// Status into a numbered error (error.h).
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace engine {

enum class Code {
  kOk = 0,
  kNotFound,        // the file, or a folder on its path, does not exist
  kInvalidPath,     // the path cannot name a file here
  kBadFormat,       // not a database of a known format
  kCorrupt,         // a structure inside points outside the file, loops, or does not fit
  kPassword,        // a database password is set, or the file is encrypted
  kNoAccess,        // permission denied when reading
  kReadOnly,        // the file or its folder cannot be written
  kLocked,          // another process holds the file
  kIoError,         // the disk failed or is full
  kInvalidArgument, // the caller asked for something the format cannot hold
  kUnsupported,     // a valid file we do not handle
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(Code code, std::string message) { return Status(code, std::move(message)); }
  static Status NotFound(std::string m) { return Status(Code::kNotFound, std::move(m)); }
  static Status BadFormat(std::string m) { return Status(Code::kBadFormat, std::move(m)); }
  static Status Corrupt(std::string m) { return Status(Code::kCorrupt, std::move(m)); }
  static Status InvalidArgument(std::string m) { return Status(Code::kInvalidArgument, std::move(m)); }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}
  Code code_ = Code::kOk;
  std::string message_;
};

// A value or the Status that explains why there is none. Reaching for the
// value of a Result that holds none ends the process: it is a fault of the
// caller, which must ask ok() first, and going on would read garbage.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}          // NOLINT: implicit on purpose
  Result(Status status) : status_(std::move(status)) {}  // NOLINT: must not be ok
  bool ok() const { return value_.has_value(); }
  const Status& status() const { return status_; }
  T& value() & { return Checked(); }
  const T& value() const& { return Checked(); }
  T&& value() && { return std::move(Checked()); }
  T* operator->() { return &Checked(); }
  const T* operator->() const { return &Checked(); }
  T& operator*() { return Checked(); }
  const T& operator*() const { return Checked(); }

 private:
  T& Checked() {
    if (!value_) std::abort();
    return *value_;
  }
  const T& Checked() const {
    if (!value_) std::abort();
    return *value_;
  }

  std::optional<T> value_;
  Status status_;
};

}  // namespace engine
