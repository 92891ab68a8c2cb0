// FaultEnv: the real file system with faults on demand, to prove that a
// change to a database survives being cut off anywhere.
//
// Every operation that changes the disk counts: a write, a sync of a file or
// a folder, a truncation, a removal, the creation of a file. The Nth of them
// can fail, once (a full disk, an I/O error), or the process can "crash"
// there: that operation and every later one, reads included, fail and do
// nothing. After a crash, LosePower() turns the disk into what a power cut
// would leave: what was not synced is gone (file contents back to their last
// sync, files whose creation or removal was not made durable by a folder
// sync back to how they were), except for what the test says the disk had
// already written back: any subset of a file's unsynced writes, landed in any
// order, the last of them torn at any byte. PowerCutStates lists those states.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/env_names.h"

namespace testing_support {

enum class Fault {
  kNone,
  kCrash,      // this and every later operation fail and change nothing
  kTornWrite,  // a write stores only its first half, then the process crashes
  kNoSpace,    // this one operation fails as on a full disk
  kIoError,    // this one operation fails as on a failing disk
};

const char* FaultName(Fault fault);

class FaultEnv final : public jet::Env {
 public:
  explicit FaultEnv(jet::Env& base = jet::Env::Default());
  ~FaultEnv() override;

  // The nth changing operation (counted from 1 since the FaultEnv was made)
  // fails as `fault`.
  void FailAt(uint64_t n, Fault fault);

  // Runs `hook` before each changing operation (with its log line): what
  // another process does at that instant.
  void BeforeEachChange(std::function<void(const std::string& what)> hook) { before_change_ = std::move(hook); }

  uint64_t Operations() const { return operations_; }
  bool Crashed() const { return crashed_; }
  // One line per changing operation so far, for messages of failed tests.
  const std::vector<std::string>& Log() const { return log_; }

  // After a crash: what a power cut at that moment leaves on the disk. By
  // default only what was synced. The disk may have written back some of
  // the rest, in any order: `wrote_back(path, n)` says whether it wrote the
  // nth change (write or truncation, counted from 0) made to that file since
  // its last sync; `name_reached_disk(path)` whether a creation or removal of
  // the file that no folder sync made durable reached the disk all the same.
  //
  // `landed`, where it names a file, says instead exactly which of its
  // unsynced changes reached the disk and in what order, the last of them
  // possibly torn: only its first `torn_bytes` bytes written.
  struct Landing {
    std::vector<size_t> changes;  // indices into the file's unsynced changes, in the order they landed
    size_t torn_bytes = SIZE_MAX;
  };
  struct PowerCut {
    PowerCut() = default;
    PowerCut(std::function<bool(const std::string&, size_t)> wrote, std::function<bool(const std::string&)> named)
        : wrote_back(std::move(wrote)), name_reached_disk(std::move(named)) {}
    std::function<bool(const std::string& path, size_t n)> wrote_back;
    std::function<bool(const std::string& path)> name_reached_disk;
    std::map<std::string, Landing> landed;
    std::string description;  // for messages of failed tests
  };
  // May be called again with another cut: each call starts from the disk as
  // the crash left it (for the files this env has touched).
  void LosePower(const PowerCut& cut);
  void LosePower() { LosePower(PowerCut{}); }

  // The power-cut states a crash here leaves possible, for every file this
  // env touched: each file's unsynced changes in any subset and order (as far
  // as the result differs: for each byte range written, none of its writes or
  // one of them last), the last to land torn at each of `tear_at` bytes
  // (those inside it), each unsynced creation or removal on the disk or not.
  // With `limit` > 0 a random sample of that many (from `seed`), else all
  // (but a sample of 2,000 where there are more).
  std::vector<PowerCut> PowerCutStates(const std::vector<size_t>& tear_at, size_t limit = 0,
                                       uint64_t seed = 1) const;

  // From now on every question for another process's record locks
  // (File::FindLock) fails as on a failing disk or server.
  void FailLockProbes() { lock_probes_fail_ = true; }

  // From now on every file reports another device and inode than the file
  // system's: the same files seen after a remount on another device, or
  // copied with their folder to another disk.
  void RemountElsewhere() { remounted_ = true; }

  jet::Result<std::unique_ptr<jet::File>> Open(const std::string& path, jet::OpenMode mode) override;
  jet::Status Remove(const std::string& path) override;
  bool Exists(const std::string& path) override;
  jet::Status SyncDir(const std::string& dir) override;
  jet::Status Rename(const std::string& from, const std::string& to) override;
  jet::Result<jet::FileInfo> Stat(const std::string& path, bool follow_links = true) override;
  jet::Result<std::vector<std::string>> ListDir(const std::string& dir) override;
  jet::Result<std::string> RealPath(const std::string& path) override;
  jet::Result<std::string> CurrentDir() override;
  jet::Result<std::string> ProgramPath() override { return base_.ProgramPath(); }
  jet::Result<std::string> HostName() override { return base_.HostName(); }

 private:
  friend class FaultFile;
  // Counts one changing operation: the fault to apply to it, if any.
  Fault Next(const std::string& what);
  jet::Status CrashedStatus() const;
  jet::Status FaultStatus(Fault fault, const std::string& what) const;
  // The durable state of a file that this env has touched.
  struct Change {  // a write, or a truncation (no bytes)
    uint64_t offset = 0;
    std::vector<uint8_t> bytes;
    bool truncation = false;
  };
  struct Tracked {
    bool durable_exists = false;
    std::optional<bool> exists_at_cut;  // as the crash left it, taken at the first LosePower
    std::optional<std::vector<uint8_t>> durable_bytes;  // as of the last sync
    std::vector<Change> unsynced;                       // since the last sync, in order
  };
  void Changed(const std::string& path, Change change);
  Tracked& Track(const std::string& path);
  void Synced(const std::string& path);
  jet::FileInfo Reported(jet::FileInfo info) const;

  jet::Env& base_;
  uint64_t operations_ = 0;
  uint64_t fail_at_ = 0;
  Fault fault_ = Fault::kNone;
  bool crashed_ = false;
  bool remounted_ = false;
  bool lock_probes_fail_ = false;
  std::map<std::string, Tracked> tracked_;
  std::vector<std::string> log_;
  std::function<void(const std::string&)> before_change_;
};

}  // namespace testing_support
