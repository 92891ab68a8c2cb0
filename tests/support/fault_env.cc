#include "tests/support/fault_env.h"

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>

namespace testing_support {

namespace fs = std::filesystem;
using jet::Code;
using jet::Status;

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kNone: return "none";
    case Fault::kCrash: return "crash";
    case Fault::kTornWrite: return "torn write";
    case Fault::kNoSpace: return "disk full";
    case Fault::kIoError: return "I/O error";
  }
  return "?";
}

namespace {

std::optional<std::vector<uint8_t>> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Folder(const std::string& path) {
  fs::path p = fs::path(path).lexically_normal().parent_path();
  return p.empty() ? "." : p.string();
}

std::string NormalFolder(const std::string& dir) {
  fs::path p = fs::path(dir.empty() ? "." : dir).lexically_normal();
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace

class FaultFile final : public jet::File {
 public:
  FaultFile(FaultEnv& env, std::unique_ptr<jet::File> base, std::string path)
      : env_(env), base_(std::move(base)), path_(std::move(path)) {}

  Status ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->ReadAt(offset, out);
  }

  Status WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    Fault f = env_.Next("write " + path_ + " at " + std::to_string(offset) + ", " + std::to_string(data.size()) + " bytes");
    if (f == Fault::kTornWrite) {
      auto half = data.first(data.size() / 2);
      if (base_->WriteAt(offset, half).ok())
        env_.Changed(path_, FaultEnv::Change{offset, std::vector<uint8_t>(half.begin(), half.end()), false});
      env_.crashed_ = true;
      return env_.CrashedStatus();
    }
    if (f != Fault::kNone) return env_.FaultStatus(f, "write " + path_);
    Status s = base_->WriteAt(offset, data);
    if (s.ok()) env_.Changed(path_, FaultEnv::Change{offset, std::vector<uint8_t>(data.begin(), data.end()), false});
    return s;
  }

  Status Sync() override {
    Fault f = env_.Next("sync " + path_);
    if (f != Fault::kNone) return env_.FaultStatus(f, "sync " + path_);
    Status s = base_->Sync();
    if (s.ok()) env_.Synced(path_);
    return s;
  }

  Status Truncate(uint64_t size) override {
    Fault f = env_.Next("truncate " + path_ + " to " + std::to_string(size));
    if (f != Fault::kNone) return env_.FaultStatus(f, "truncate " + path_);
    Status s = base_->Truncate(size);
    if (s.ok()) env_.Changed(path_, FaultEnv::Change{size, {}, true});
    return s;
  }

  jet::Result<uint64_t> Size() override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->Size();
  }

  Status Lock() override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->Lock();
  }

  Status Unlock() override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->Unlock();
  }

  jet::Result<jet::FileInfo> Stat() override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->Stat();
  }

  jet::Result<std::optional<jet::HeldLock>> FindLock() override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->FindLock();
  }

  jet::Result<size_t> ReadUpTo(uint64_t offset, std::span<uint8_t> out) override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->ReadUpTo(offset, out);
  }

 private:
  FaultEnv& env_;
  std::unique_ptr<jet::File> base_;
  std::string path_;
};

FaultEnv::FaultEnv(jet::Env& base) : base_(base) {}
FaultEnv::~FaultEnv() = default;

void FaultEnv::FailAt(uint64_t n, Fault fault) {
  fail_at_ = n;
  fault_ = fault;
}

Fault FaultEnv::Next(const std::string& what) {
  if (crashed_) {
    log_.push_back("(after the crash) " + what);
    return Fault::kCrash;
  }
  ++operations_;
  log_.push_back(std::to_string(operations_) + ": " + what);
  if (operations_ != fail_at_ || fault_ == Fault::kNone) return Fault::kNone;
  log_.back() += "  <- " + std::string(FaultName(fault_));
  if (fault_ == Fault::kCrash) crashed_ = true;
  return fault_;
}

Status FaultEnv::CrashedStatus() const { return Status::Error(Code::kIoError, "the process has crashed"); }

Status FaultEnv::FaultStatus(Fault fault, const std::string& what) const {
  switch (fault) {
    case Fault::kNoSpace: return Status::Error(Code::kIoError, what + ": No space left on device");
    case Fault::kIoError: return Status::Error(Code::kIoError, what + ": Input/output error");
    default: return CrashedStatus();
  }
}

FaultEnv::Tracked& FaultEnv::Track(const std::string& path) {
  auto it = tracked_.find(path);
  if (it != tracked_.end()) return it->second;
  Tracked t;
  t.durable_bytes = Slurp(path);
  t.durable_exists = t.durable_bytes.has_value() && base_.Exists(path);
  return tracked_.emplace(path, std::move(t)).first->second;
}

void FaultEnv::Synced(const std::string& path) {
  Tracked& t = Track(path);
  t.durable_bytes = Slurp(path);
  t.unsynced.clear();
}

void FaultEnv::Changed(const std::string& path, Change change) { Track(path).unsynced.push_back(std::move(change)); }

jet::Result<std::unique_ptr<jet::File>> FaultEnv::Open(const std::string& path, jet::OpenMode mode) {
  if (crashed_) return CrashedStatus();
  if (mode != jet::OpenMode::kRead) Track(path);
  if (mode == jet::OpenMode::kCreate) {
    Fault f = Next("create " + path);
    if (f != Fault::kNone) return FaultStatus(f, "create " + path);
  }
  auto file = base_.Open(path, mode);
  if (!file.ok()) return file.status();
  if (mode == jet::OpenMode::kCreate) Changed(path, Change{0, {}, true});
  return std::unique_ptr<jet::File>(new FaultFile(*this, std::move(*file), path));
}

Status FaultEnv::Remove(const std::string& path) {
  Track(path);
  Fault f = Next("remove " + path);
  if (f != Fault::kNone) return FaultStatus(f, "remove " + path);
  return base_.Remove(path);
}

bool FaultEnv::Exists(const std::string& path) { return base_.Exists(path); }

// A rename counts as a change and can fail or crash like one. A power cut
// does not undo it: no test yet cuts power between a rename and its folder's
// sync.
Status FaultEnv::Rename(const std::string& from, const std::string& to) {
  Fault f = Next("rename " + from + " to " + to);
  if (f != Fault::kNone) return FaultStatus(f, "rename " + from);
  return base_.Rename(from, to);
}

jet::Result<jet::FileInfo> FaultEnv::Stat(const std::string& path, bool follow_links) {
  if (crashed_) return CrashedStatus();
  return base_.Stat(path, follow_links);
}

jet::Result<std::vector<std::string>> FaultEnv::ListDir(const std::string& dir) {
  if (crashed_) return CrashedStatus();
  return base_.ListDir(dir);
}

jet::Result<std::string> FaultEnv::RealPath(const std::string& path) {
  if (crashed_) return CrashedStatus();
  return base_.RealPath(path);
}

jet::Result<std::string> FaultEnv::CurrentDir() { return base_.CurrentDir(); }

Status FaultEnv::SyncDir(const std::string& dir) {
  Fault f = Next("sync folder " + dir);
  if (f != Fault::kNone) return FaultStatus(f, "sync folder " + dir);
  Status s = base_.SyncDir(dir);
  if (!s.ok()) return s;
  const std::string folder = NormalFolder(dir);
  for (auto& [path, t] : tracked_) {
    if (NormalFolder(Folder(path)) != folder) continue;
    t.durable_exists = base_.Exists(path);
    if (t.durable_exists && !t.durable_bytes) t.durable_bytes.emplace();
  }
  return s;
}

void FaultEnv::LosePower(const PowerCut& cut) {
  for (auto& [path, t] : tracked_) {
    const bool exists_now = base_.Exists(path);
    const bool exists = exists_now == t.durable_exists || !(cut.name_reached_disk && cut.name_reached_disk(path))
                            ? t.durable_exists
                            : exists_now;
    std::error_code ec;
    if (!exists) {
      fs::remove(path, ec);
      continue;
    }
    // What was synced, and of the rest what the disk wrote back.
    std::vector<uint8_t> bytes = t.durable_bytes.value_or(std::vector<uint8_t>{});
    for (size_t n = 0; n < t.unsynced.size(); ++n) {
      if (!(cut.wrote_back && cut.wrote_back(path, n))) continue;
      const Change& c = t.unsynced[n];
      if (c.truncation) {
        bytes.resize(c.offset);
        continue;
      }
      if (bytes.size() < c.offset + c.bytes.size()) bytes.resize(c.offset + c.bytes.size());
      std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + static_cast<ptrdiff_t>(c.offset));
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
}

}  // namespace testing_support
