#include "jet/journal.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "jet/invariant.h"
#include "jet/reason.h"

namespace jet {
namespace {

constexpr char kMagic[8] = {'V', 'O', 'S', 'T', 'J', 'R', 'N', 'L'};
// Version 3 keeps each image whole; version 2 (still read) kept a checksum of
// each 512-byte sector of it.
constexpr uint32_t kLayoutVersion = 3;
constexpr uint32_t kSectorSumsVersion = 2;
constexpr size_t kHeaderSize = 52;
constexpr size_t kRecordHeaderSize = 12;
// The sectors of a version 2 journal's image checksums.
constexpr size_t kSector = 512;
constexpr uint32_t kMaxImages = 64;
constexpr size_t kChecksumSize = 8;
// Bounds for a journal read back from the disk, which may be anything.
constexpr uint32_t kMaxPageSize = 65536;
constexpr uint64_t kMaxDatabaseSize = uint64_t{1} << 40;

uint64_t Fnv1a64(const uint8_t* data, size_t size) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < size; ++i) {
    h ^= data[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

void PutLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint64_t GetLe(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint64_t{p[i]} << (8 * i);
  return v;
}

size_t Sectors(size_t length) { return (length + kSector - 1) / kSector; }

struct Record {
  uint64_t offset = 0;
  std::vector<uint8_t> bytes;
  // Each image the change writes here, as stored (as long as `bytes`).
  std::vector<std::vector<uint8_t>> images;
  // A version 2 journal's instead: per image, its sectors' checksums.
  std::vector<std::vector<uint64_t>> sector_sums;
};

struct Journal {
  uint32_t version = kLayoutVersion;
  uint32_t page_size = 0;
  uint64_t original_size = 0;
  uint64_t final_size = 0;
  uint64_t device = 0;
  uint64_t inode = 0;
  std::vector<Record> records;
};

std::vector<uint8_t> Encode(const Journal& j) {
  std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
  PutLe(out, kLayoutVersion, 4);
  PutLe(out, j.page_size, 4);
  PutLe(out, j.original_size, 8);
  PutLe(out, j.final_size, 8);
  PutLe(out, j.device, 8);
  PutLe(out, j.inode, 8);
  PutLe(out, j.records.size(), 4);
  for (const Record& r : j.records) {
    PutLe(out, r.offset, 8);
    PutLe(out, r.bytes.size(), 4);
    out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    PutLe(out, r.images.size(), 4);
    for (const auto& image : r.images) {
      VOSTREL_ASSERT(image.size() == r.bytes.size(), "J3");
      out.insert(out.end(), image.begin(), image.end());
    }
  }
  PutLe(out, Fnv1a64(out.data(), out.size()), 8);
  return out;
}

// A journal that is complete and consistent, or nothing: a journal cut off
// while it was written, or damaged, decodes to nullopt.
std::optional<Journal> Decode(const std::vector<uint8_t>& in) {
  if (in.size() < kHeaderSize + kChecksumSize) return std::nullopt;
  if (std::memcmp(in.data(), kMagic, sizeof kMagic) != 0) return std::nullopt;
  const size_t body = in.size() - kChecksumSize;
  if (GetLe(in.data() + body, 8) != Fnv1a64(in.data(), body)) return std::nullopt;
  Journal j;
  j.version = static_cast<uint32_t>(GetLe(in.data() + 8, 4));
  if (j.version != kLayoutVersion && j.version != kSectorSumsVersion) return std::nullopt;
  j.page_size = static_cast<uint32_t>(GetLe(in.data() + 12, 4));
  j.original_size = GetLe(in.data() + 16, 8);
  j.final_size = GetLe(in.data() + 24, 8);
  j.device = GetLe(in.data() + 32, 8);
  j.inode = GetLe(in.data() + 40, 8);
  const uint64_t count = GetLe(in.data() + 48, 4);
  if (j.page_size == 0 || j.page_size > kMaxPageSize || j.original_size > kMaxDatabaseSize ||
      j.final_size > kMaxDatabaseSize)
    return std::nullopt;
  size_t pos = kHeaderSize;
  for (uint64_t i = 0; i < count; ++i) {
    if (body - pos < kRecordHeaderSize) return std::nullopt;
    Record r;
    r.offset = GetLe(in.data() + pos, 8);
    const uint64_t length = GetLe(in.data() + pos + 8, 4);
    pos += kRecordHeaderSize;
    if (length > j.page_size || length > body - pos) return std::nullopt;
    if (r.offset > j.original_size || length > j.original_size - r.offset) return std::nullopt;
    r.bytes.assign(in.begin() + static_cast<ptrdiff_t>(pos), in.begin() + static_cast<ptrdiff_t>(pos + length));
    pos += length;
    if (body - pos < 4) return std::nullopt;
    const uint64_t images = GetLe(in.data() + pos, 4);
    pos += 4;
    if (images > kMaxImages) return std::nullopt;
    if (j.version == kSectorSumsVersion) {
      const size_t sectors = Sectors(r.bytes.size());
      if (images * sectors * 8 > body - pos) return std::nullopt;
      r.sector_sums.resize(images);
      for (auto& sums : r.sector_sums)
        for (size_t i = 0; i < sectors; ++i, pos += 8) sums.push_back(GetLe(in.data() + pos, 8));
    } else {
      if (images * length > body - pos) return std::nullopt;
      for (uint64_t i = 0; i < images; ++i, pos += length)
        r.images.emplace_back(in.begin() + static_cast<ptrdiff_t>(pos), in.begin() + static_cast<ptrdiff_t>(pos + length));
    }
    j.records.push_back(std::move(r));
  }
  if (pos != body) return std::nullopt;
  return j;
}

// Counts what reaches the disk, for the caller and for the engine.
struct Counted {
  CommitStats* stats;
  PageCounters* counters;
  void Syncs() {
    if (stats) ++stats->syncs;
    if (counters) counters->syncs.fetch_add(1, std::memory_order_relaxed);
  }
  void PageRead() {
    if (stats) ++stats->pages_read;
    if (counters) counters->pages_read.fetch_add(1, std::memory_order_relaxed);
  }
  Status Sync(File& f) {
    Syncs();
    return f.Sync();
  }
  Status SyncDir(Env& env, const std::string& dir) {
    Syncs();
    return env.SyncDir(dir);
  }
};

// Writes the journal and makes it durable, name included. On failure the
// database has not been touched; a partly written journal is removed (and if
// even that fails, it is incomplete, which recovery also removes).
Status WriteJournal(Env& env, const std::string& path, const std::vector<uint8_t>& bytes, Counted& counted) {
  auto file = env.Open(path, OpenMode::kCreate);
  if (!file.ok()) return file.status();
  Status s = (*file)->WriteAt(0, bytes);
  if (s.ok()) s = counted.Sync(**file);
  const Status closed = (*file)->Close();
  if (s.ok()) s = closed;
  if (s.ok()) s = counted.SyncDir(env, Env::FolderOf(path));
  if (!s.ok()) (void)env.Remove(path);
  return s;
}

// Puts the original bytes back and cuts the file to its original size, then
// makes that durable. Only called while a complete journal is on the disk,
// so a failure here leaves the file to the next RecoverJournal.
Status PlayBack(File& db, const Journal& j, Counted& counted) {
  for (const Record& r : j.records) JET_RETURN_IF_ERROR(db.WriteAt(r.offset, r.bytes));
  auto size = db.Size();
  if (!size.ok()) return size.status();
  if (*size != j.original_size) JET_RETURN_IF_ERROR(db.Truncate(j.original_size));
  VOSTREL_ASSERT(!db.Size().ok() || *db.Size() == j.original_size, "J6");
  return counted.Sync(db);
}

// After a failure in the middle of a commit: restores the database from the
// journal in memory and removes the journal. `journal_on_disk` says whether
// the journal file is still there; when it is not (it was removed, but that
// removal could not be made durable), it is written again first, so that the
// database is never being restored without a journal behind it.
Status RollBack(Env& env, File& db, const std::string& journal_path, const Journal& j,
                const std::vector<uint8_t>& journal_bytes, bool journal_on_disk, Counted& counted) {
  if (!journal_on_disk) JET_RETURN_IF_ERROR(WriteJournal(env, journal_path, journal_bytes, counted));
  JET_RETURN_IF_ERROR(PlayBack(db, j, counted));
  JET_RETURN_IF_ERROR(env.Remove(journal_path));
  return counted.SyncDir(env, Env::FolderOf(journal_path));
}

Status Failed(const Status& cause, const Status& rollback) {
  if (rollback.ok()) return cause;
  return Status::Error(cause.code(), cause.message() + "; the change is rolled back at the next open (" +
                                         rollback.message() + ")");
}

Status ReadWholeFile(Env& env, const std::string& path, std::vector<uint8_t>& out) {
  auto file = env.Open(path, OpenMode::kRead);
  if (!file.ok()) return file.status();
  auto size = (*file)->Size();
  if (!size.ok()) return size.status();
  // A journal holds a handful of pages; anything far larger is not ours.
  if (*size > (uint64_t{1} << 30)) {
    out.clear();
    return Status::Ok();
  }
  out.resize(*size);
  return (*file)->ReadAt(0, out);
}

// Whether `now`, a range the change wrote, holds what a cut of the change can
// leave there: each byte as it was or as one of the change's images has it.
// A cut leaves any of the images of a page, the last write torn anywhere
// (inside a sector too), over the old bytes or another image.
bool FitsImages(const std::vector<uint8_t>& now, const Record& r) {
  for (size_t at = 0; at < now.size(); at += kSector) {
    const size_t n = std::min(kSector, now.size() - at);
    auto sector = [&](const std::vector<uint8_t>& image) {
      return std::equal(now.begin() + static_cast<ptrdiff_t>(at), now.begin() + static_cast<ptrdiff_t>(at + n),
                        image.begin() + static_cast<ptrdiff_t>(at));
    };
    if (sector(r.bytes) || std::any_of(r.images.begin(), r.images.end(), sector)) continue;
    if (!r.sector_sums.empty()) {
      // A version 2 journal knows its images by whole sectors only.
      const uint64_t sum = Fnv1a64(now.data() + at, n);
      const size_t index = at / kSector;
      if (std::none_of(r.sector_sums.begin(), r.sector_sums.end(), [&](const auto& sums) { return sums[index] == sum; }))
        return false;
      continue;
    }
    for (size_t i = at; i < at + n; ++i)
      if (now[i] != r.bytes[i] &&
          std::none_of(r.images.begin(), r.images.end(), [&](const auto& image) { return image[i] == now[i]; }))
        return false;
  }
  return true;
}

// Whether the journal was written for this file as it is now: every page it
// names as a cut of the change left it (FitsImages), the size between the
// sizes before and after. That is the file's identity: its device and inode
// change when the disk is mounted again elsewhere or the folder is copied to
// another disk, and a journal written on Windows names a volume and a file
// index, so they are recorded but not required (J8). Anything else is
// another file in its place, which a playback would damage.
Result<bool> Belongs(File& db, const Journal& j) {
  auto size = db.Size();
  if (!size.ok()) return size.status();
  if (*size < std::min(j.original_size, j.final_size) || *size > std::max(j.original_size, j.final_size))
    return false;
  std::vector<uint8_t> now;
  for (const Record& r : j.records) {
    if (r.offset + r.bytes.size() > *size) return false;
    now.resize(r.bytes.size());
    JET_RETURN_IF_ERROR(db.ReadAt(r.offset, now));
    if (!FitsImages(now, r)) return false;
  }
  return true;
}

// Moves a journal that is not the file's out of the way, kept for whoever
// wants to look at it, and says so once: the next open finds no journal.
Status SetAside(Env& env, const std::string& journal_path, const std::string& db_path,
                std::optional<SetAsideJournal>* said) {
  const std::string aside = journal_path + ".of-another-file";
  Status s = env.Rename(journal_path, aside);
  if (s.ok()) s = env.SyncDir(Env::FolderOf(journal_path));
  if (said) *said = SetAsideJournal{journal_path, db_path, s.ok() ? aside : "", s.ok() ? "" : s.message()};
  // Left where it is, it stands where this file's own journal goes: the
  // next change would write over it, so nothing goes on until it is moved.
  return s;
}

}  // namespace

std::string JournalPath(const std::string& db_path) { return db_path + ".vostrel-journal"; }

std::string JournalPathFor(Env& env, const std::string& db_path) {
  auto real = env.RealPath(db_path);
  return JournalPath(real.ok() ? *real : db_path);
}

Status CommitPages(Env& env, Pager& pager, const std::string& db_path, const std::vector<PageImage>& pages,
                   CommitStats* stats) {
  const uint32_t page_size = pager.page_size();
  for (const PageImage& p : pages)
    if (p.bytes.size() != page_size) return Status::InvalidArgument("a page image is not one page long");
  if (pages.empty()) return Status::Ok();
  // The pager counts the database's own page writes and syncs; the rest is counted here.
  Counted counted{stats, pager.counters()};
  File& db = pager.file();

  auto info = db.Stat();
  if (!info.ok()) return info.status();
  if (info->links > 1)
    return Status::Error(Code::kUnsupported, JET_REASON("the file has more than one name (hard links), and a change cut "
                                                "off there would be read torn through the names its journal does "
                                                "not lie beside"));
  Journal journal;
  journal.page_size = page_size;
  journal.original_size = info->size;
  journal.final_size = info->size;
  journal.device = info->device;
  journal.inode = info->inode;
  std::map<uint32_t, size_t> record_of;  // page number to its record
  for (const PageImage& p : pages) {
    const uint64_t offset = uint64_t{p.number} * page_size;
    journal.final_size = std::max(journal.final_size, offset + page_size);
    if (offset >= journal.original_size) continue;  // a new page: the truncation takes it away again
    auto [at, added] = record_of.emplace(p.number, journal.records.size());
    if (added) {
      Record r;
      r.offset = offset;
      r.bytes.resize(static_cast<size_t>(std::min<uint64_t>(page_size, journal.original_size - offset)));
      JET_RETURN_IF_ERROR(db.ReadAt(offset, r.bytes));  // as stored: encrypted where the file is
      counted.PageRead();
      journal.records.push_back(std::move(r));
    }
    Record& r = journal.records[at->second];
    if (r.images.size() == kMaxImages) return Status::InvalidArgument("a page is written too often in one change");
    Result<std::vector<uint8_t>> image = pager.StoredBytes(p.number, p.bytes);
    if (!image.ok()) return image.status();
    image->resize(r.bytes.size());
    r.images.push_back(std::move(*image));
  }
  const std::vector<uint8_t> journal_bytes = Encode(journal);
  VOSTREL_ASSERT(Decode(journal_bytes).has_value(), "J2");
  const std::string journal_path = JournalPathFor(env, db_path);
  JET_RETURN_IF_ERROR(WriteJournal(env, journal_path, journal_bytes, counted));
  VOSTREL_ASSERT(env.Exists(journal_path), "J1");
  // From here on the journal protects the file.
  auto roll_back = [&](const Status& cause, bool journal_on_disk) {
    Status rolled = RollBack(env, db, journal_path, journal, journal_bytes, journal_on_disk, counted);
    (void)pager.RefreshSize();
    return Failed(cause, rolled);
  };
  Status s;
  for (const PageImage& p : pages) {
    VOSTREL_ASSERT(uint64_t{p.number} * page_size >= journal.original_size || record_of.contains(p.number), "J4");
    s = pager.WritePage(p.number, p.bytes);
    if (!s.ok()) break;
    if (stats) ++stats->pages_written;
    if (p.sync_after && &p != &pages.back()) {
      if (stats) ++stats->syncs;
      s = pager.Sync();
      if (!s.ok()) break;
    }
  }
  if (s.ok()) {
    if (stats) ++stats->syncs;
    s = pager.Sync();
  }
  if (!s.ok()) return roll_back(s, true);

  // The commit: once the journal is gone for good, the change stays.
  VOSTREL_ASSERT(s.ok(), "J5");
  s = env.Remove(journal_path);
  if (!s.ok()) return roll_back(s, true);
  s = counted.SyncDir(env, Env::FolderOf(journal_path));
  if (!s.ok()) return roll_back(s, false);
  return Status::Ok();
}

Status RecoverJournal(Env& env, const std::string& db_path, std::optional<SetAsideJournal>* set_aside) {
  const std::string journal_path = JournalPathFor(env, db_path);
  if (!env.Exists(journal_path)) return Status::Ok();

  auto db = env.Open(db_path, OpenMode::kReadWrite);
  std::vector<uint8_t> bytes;
  if (!db.ok()) {
    // Without write access the journal can only be judged, not played back.
    if (db.status().code() != Code::kReadOnly) return db.status();
    JET_RETURN_IF_ERROR(ReadWholeFile(env, journal_path, bytes));
    std::optional<Journal> journal = Decode(bytes);
    if (!journal) return Status::Ok();
    auto reader = env.Open(db_path, OpenMode::kRead);
    if (!reader.ok()) return reader.status();
    auto ours = Belongs(**reader, *journal);
    if (!ours.ok()) return ours.status();
    if (!*ours) return SetAside(env, journal_path, db_path, set_aside);
    return Status::Error(Code::kReadOnly, "a change to " + db_path +
                                              " was cut off and cannot be rolled back: the file is read-only");
  }
  JET_RETURN_IF_ERROR((*db)->Lock());
  return RecoverJournalLocked(env, **db, db_path, set_aside);
}

Status RecoverJournalLocked(Env& env, File& db, const std::string& db_path,
                            std::optional<SetAsideJournal>* set_aside) {
  const std::string journal_path = JournalPathFor(env, db_path);
  // Another process may have finished its change while we waited for the lock.
  if (!env.Exists(journal_path)) return Status::Ok();
  std::vector<uint8_t> bytes;
  JET_RETURN_IF_ERROR(ReadWholeFile(env, journal_path, bytes));
  Counted counted{nullptr, nullptr};
  std::optional<Journal> journal = Decode(bytes);
  if (!journal) {
    // Cut off before the database was touched: the file is as it was, and a
    // leftover that cannot be removed does no harm.
    if (env.Remove(journal_path).ok()) (void)env.SyncDir(Env::FolderOf(journal_path));
    return Status::Ok();
  }
  auto ours = Belongs(db, *journal);
  if (!ours.ok()) return ours.status();
  if (!*ours) return SetAside(env, journal_path, db_path, set_aside);
  VOSTREL_ASSERT(*ours, "J7");
  JET_RETURN_IF_ERROR(PlayBack(db, *journal, counted));
  // A played-back journal must go: left behind, it would be played again over
  // whatever is written to the file later.
  JET_RETURN_IF_ERROR(env.Remove(journal_path));
  return env.SyncDir(Env::FolderOf(journal_path));
}

}  // namespace jet
