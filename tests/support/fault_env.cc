#include "tests/support/fault_env.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <tuple>

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
    // What a sync makes durable is this env's model (LosePower); the disk's
    // own fsync would only make thousands of cut states slow.
    env_.Synced(path_);
    return Status::Ok();
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
    auto info = base_->Stat();
    if (!info.ok()) return info;
    return env_.Reported(*info);
  }

  jet::Result<std::optional<jet::HeldLock>> FindLock() override {
    if (env_.crashed_) return env_.CrashedStatus();
    if (env_.lock_probes_fail_) return Status::Error(jet::Code::kIoError, "query locks of " + path_ + ": I/O error");
    return base_->FindLock();
  }

  // Not counted among the changing operations: what a close may fail to
  // store is a write this env already counted.
  Status Close() override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->Close();
  }

  Status LockRange(uint64_t start, uint64_t length, bool exclusive) override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->LockRange(start, length, exclusive);
  }

  Status UnlockRange(uint64_t start, uint64_t length) override {
    if (env_.crashed_) return env_.CrashedStatus();
    return base_->UnlockRange(start, length);
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
  if (before_change_) before_change_(what);
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
  auto info = base_.Stat(path, follow_links);
  if (!info.ok()) return info;
  return Reported(*info);
}

jet::FileInfo FaultEnv::Reported(jet::FileInfo info) const {
  if (remounted_) {
    info.device ^= 0x5eed0000u;
    info.inode += 7919;
  }
  return info;
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
  auto folder_info = base_.Stat(dir);
  if (!folder_info.ok()) return folder_info.status();
  const std::string folder = NormalFolder(dir);
  for (auto& [path, t] : tracked_) {
    if (NormalFolder(Folder(path)) != folder) continue;
    t.durable_exists = base_.Exists(path);
    if (t.durable_exists && !t.durable_bytes) t.durable_bytes.emplace();
  }
  return Status::Ok();
}

void FaultEnv::LosePower(const PowerCut& cut) {
  for (auto& [path, t] : tracked_) {
    if (!t.exists_at_cut) t.exists_at_cut = base_.Exists(path);
    const bool exists_now = *t.exists_at_cut;
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
    auto apply = [&](const Change& c, size_t length) {
      if (c.truncation) {
        bytes.resize(c.offset);
        return;
      }
      length = std::min(length, c.bytes.size());
      if (bytes.size() < c.offset + length) bytes.resize(c.offset + length);
      std::copy(c.bytes.begin(), c.bytes.begin() + static_cast<ptrdiff_t>(length),
                bytes.begin() + static_cast<ptrdiff_t>(c.offset));
    };
    if (auto landing = cut.landed.find(path); landing != cut.landed.end()) {
      const auto& order = landing->second.changes;
      for (size_t i = 0; i < order.size(); ++i)
        apply(t.unsynced.at(order[i]), i + 1 == order.size() ? landing->second.torn_bytes : SIZE_MAX);
    } else {
      for (size_t n = 0; n < t.unsynced.size(); ++n)
        if (cut.wrote_back && cut.wrote_back(path, n)) apply(t.unsynced[n], SIZE_MAX);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
}

namespace {

// One file's part of a power cut: for each byte range its unsynced changes
// wrote (a region), which of them landed last, if any.
struct FileCut {
  std::string path;
  std::vector<std::vector<size_t>> regions;  // the changes of each region, in program order
  std::vector<size_t> sizes;                 // bytes of each change (0: a truncation)
  bool name_in_doubt = false;                // created or removed, no folder sync since
};

// A torn write: the `torn` change of a region lands last, only its first
// `bytes` bytes, over `under` (another change of the region) or the synced
// bytes.
struct Tear {
  size_t file, region, torn;
  std::optional<size_t> under;
  size_t bytes;
};

std::string Indices(const std::vector<size_t>& v) {
  std::string s;
  for (size_t i : v) {
    if (!s.empty()) s += ',';
    s += std::to_string(i);
  }
  return "{" + s + "}";
}

}  // namespace

std::vector<FaultEnv::PowerCut> FaultEnv::PowerCutStates(const std::vector<size_t>& tear_at, size_t limit,
                                                         uint64_t seed) const {
  std::vector<FileCut> files;
  for (const auto& [path, t] : tracked_) {
    FileCut f;
    f.path = path;
    f.name_in_doubt = (t.exists_at_cut ? *t.exists_at_cut : base_.Exists(path)) != t.durable_exists;
    std::map<std::tuple<uint64_t, size_t, bool>, size_t> region_of;
    for (size_t n = 0; n < t.unsynced.size(); ++n) {
      const Change& c = t.unsynced[n];
      f.sizes.push_back(c.bytes.size());
      auto [it, added] = region_of.emplace(std::make_tuple(c.offset, c.bytes.size(), c.truncation), f.regions.size());
      if (added) f.regions.emplace_back();
      f.regions[it->second].push_back(n);
    }
    if (!f.regions.empty() || f.name_in_doubt) files.push_back(std::move(f));
  }
  // The dimensions of a state: per file each region's choice (0 none, k the
  // kth change last) and whether its name reached the disk.
  std::vector<size_t> radix;
  for (const FileCut& f : files) {
    for (const auto& r : f.regions) radix.push_back(r.size() + 1);
    radix.push_back(f.name_in_doubt ? 2 : 1);
  }
  std::vector<Tear> tears;
  for (size_t fi = 0; fi < files.size(); ++fi)
    for (size_t ri = 0; ri < files[fi].regions.size(); ++ri) {
      const auto& r = files[fi].regions[ri];
      for (size_t torn : r) {
        if (files[fi].sizes[torn] == 0) continue;
        std::vector<std::optional<size_t>> unders{std::nullopt};
        for (size_t u : r)
          if (u != torn) unders.push_back(u);
        for (const auto& under : unders)
          for (size_t b : tear_at)
            if (b > 0 && b < files[fi].sizes[torn]) tears.push_back(Tear{fi, ri, torn, under, b});
      }
    }

  auto make = [&](const std::vector<size_t>& digits, const Tear* tear) {
    PowerCut cut;
    size_t d = 0;
    std::vector<std::string> in_doubt_on_disk;
    for (size_t fi = 0; fi < files.size(); ++fi) {
      const FileCut& f = files[fi];
      Landing landing;
      for (size_t ri = 0; ri < f.regions.size(); ++ri, ++d) {
        if (tear && tear->file == fi && tear->region == ri) continue;
        if (digits[d] > 0) landing.changes.push_back(f.regions[ri][digits[d] - 1]);
      }
      std::sort(landing.changes.begin(), landing.changes.end());
      std::string what = fs::path(f.path).filename().string() + ": changes " + Indices(landing.changes);
      if (tear && tear->file == fi) {
        if (tear->under) landing.changes.push_back(*tear->under);
        landing.changes.push_back(tear->torn);
        landing.torn_bytes = tear->bytes;
        // (Appended piece by piece: "x" + std::to_string(n) draws a false
        // -Wrestrict from GCC 12.)
        what += ",";
        if (tear->under) what.append(" ").append(std::to_string(*tear->under)).append(" then");
        what.append(" change ").append(std::to_string(tear->torn)).append(" torn after ");
        what.append(std::to_string(tear->bytes)).append(" bytes");
      }
      if (digits[d++] == 1) {
        in_doubt_on_disk.push_back(f.path);
        what += ", its creation or removal on the disk";
      }
      if (!cut.description.empty()) cut.description += "; ";
      cut.description += what;
      cut.landed.emplace(f.path, std::move(landing));
    }
    cut.name_reached_disk = [in_doubt_on_disk](const std::string& path) {
      return std::find(in_doubt_on_disk.begin(), in_doubt_on_disk.end(), path) != in_doubt_on_disk.end();
    };
    return cut;
  };

  // Every state is walked up to kMaxStates of them; a larger space (a
  // change of dozens of pages: the product of each page's choices) is
  // sampled instead.
  constexpr size_t kMaxStates = 2000;
  size_t space = tears.size() + 1;
  for (size_t r : radix) space = space > kMaxStates ? space : space * r;
  if (limit == 0 && space > kMaxStates) limit = kMaxStates;
  std::vector<PowerCut> states;
  if (limit > 0) {
    std::mt19937_64 random(seed);
    for (size_t i = 0; i < limit; ++i) {
      std::vector<size_t> digits;
      for (size_t r : radix) digits.push_back(random() % r);
      const Tear* tear = !tears.empty() && random() % 2 ? &tears[random() % tears.size()] : nullptr;
      states.push_back(make(digits, tear));
    }
    return states;
  }
  // Every combination; with a tear, its region's own digit stays 0.
  for (size_t t = 0; t <= tears.size(); ++t) {
    const Tear* tear = t == 0 ? nullptr : &tears[t - 1];
    size_t skip = SIZE_MAX;  // the digit a tear decides
    if (tear) {
      skip = 0;
      for (size_t fi = 0; fi < tear->file; ++fi) skip += files[fi].regions.size() + 1;
      skip += tear->region;
    }
    std::vector<size_t> digits(radix.size(), 0);
    for (;;) {
      states.push_back(make(digits, tear));
      size_t d = 0;
      for (; d < radix.size(); ++d) {
        if (d == skip) continue;
        if (++digits[d] < radix[d]) break;
        digits[d] = 0;
      }
      if (d == radix.size()) break;
    }
  }
  return states;
}

}  // namespace testing_support
