// Env: the file system as the engine sees it. Everything that touches the
// disk goes through here, so that tests can count, fail or cut any write or
// sync (see tests for the fault-injecting Env).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "jet/status.h"

namespace jet {

struct IoCounters {
  uint64_t bytes_read = 0;
  uint64_t bytes_written = 0;
  uint64_t reads = 0;
  uint64_t writes = 0;
  uint64_t syncs = 0;
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
};

enum class OpenMode { kRead, kReadWrite, kCreate /* read-write, created or truncated */ };

class Env {
 public:
  virtual ~Env() = default;
  virtual Result<std::unique_ptr<File>> Open(const std::string& path, OpenMode mode) = 0;
  virtual Status Remove(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // Makes the creation or removal of a file in this folder durable.
  virtual Status SyncDir(const std::string& dir) = 0;

  // The process-wide Env on the real file system.
  static Env& Default();
};

}  // namespace jet
