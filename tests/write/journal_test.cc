// The rollback journal: a change lands whole or not at all, whatever fails.
#include "jet/journal.h"

#include <sys/stat.h>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

#include "jet/format.h"
#include "jet/pager.h"
#include "tests/support/fault_env.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;
using jet::Code;
using jet::PageImage;

constexpr uint32_t kPageSize = 4096;

std::vector<uint8_t> Pattern(uint32_t page, uint8_t salt) {
  std::vector<uint8_t> p(kPageSize);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(page * 31 + i * 7 + salt);
  return p;
}

fs::path MakeDatabase(const TempDir& dir, uint32_t pages) {
  std::vector<uint8_t> bytes;
  for (uint32_t n = 0; n < pages; ++n) {
    auto p = Pattern(n, 0);
    bytes.insert(bytes.end(), p.begin(), p.end());
  }
  fs::path path = dir / "db.mdb";
  WriteBytes(path, bytes);
  return path;
}

// The change most tests make: two pages rewritten, one appended.
std::vector<PageImage> Change() {
  return {PageImage{1, Pattern(1, 99)}, PageImage{3, Pattern(3, 99)}, PageImage{5, Pattern(5, 99)}};
}

// The file as the change leaves it.
std::vector<uint8_t> Changed(const std::vector<uint8_t>& before) {
  std::vector<uint8_t> after = before;
  after.resize(6 * kPageSize);
  for (const PageImage& p : Change()) std::copy(p.bytes.begin(), p.bytes.end(), after.begin() + p.number * kPageSize);
  return after;
}

struct Opened {
  std::unique_ptr<jet::File> file;
  std::unique_ptr<jet::Pager> pager;
};

Opened OpenForWriting(jet::Env& env, const fs::path& path, uint32_t db_key = 0, jet::PageCounters* counters = nullptr) {
  Opened o;
  auto f = env.Open(path.string(), jet::OpenMode::kReadWrite);
  EXPECT_TRUE(f.ok()) << f.status().message();
  o.file = std::move(*f);
  EXPECT_TRUE(o.file->Lock().ok());
  auto format = jet::FormatForVersion(1);
  o.pager = std::make_unique<jet::Pager>(*o.file, *format, db_key, *o.file->Size(), counters);
  return o;
}

// The changing operations the change takes, made uncut.
uint64_t OperationsOfChange(const fs::path& db) {
  FaultEnv env;
  Opened o = OpenForWriting(env, db);
  EXPECT_TRUE(jet::CommitPages(env, *o.pager, db.string(), Change()).ok());
  return env.Operations();
}

TEST(Journal, CommitWritesThePagesAndLeavesNoJournal) {
  TempDir dir;
  fs::path db = MakeDatabase(dir, 4);
  const auto before = ReadBytes(db);
  jet::PageCounters counters;
  Opened o = OpenForWriting(jet::Env::Default(), db, 0, &counters);
  jet::CommitStats stats;
  ASSERT_TRUE(jet::CommitPages(jet::Env::Default(), *o.pager, db.string(), Change(), &stats).ok());
  EXPECT_EQ(ReadBytes(db), Changed(before));
  EXPECT_FALSE(fs::exists(jet::JournalPath(db.string())));
  // Two originals into the journal (page 5 is new), three pages out; the
  // journal's sync, its folder's, the database's, the folder's after removal.
  EXPECT_EQ(stats.pages_read, 2u);
  EXPECT_EQ(stats.pages_written, 3u);
  EXPECT_EQ(stats.syncs, 4u);
  EXPECT_EQ(counters.pages_written.load(), 3u);
  EXPECT_EQ(counters.syncs.load(), 4u);
  EXPECT_EQ(o.pager->page_count(), 6u);
}

TEST(Journal, EncryptedPagesAreStoredEncryptedAndRestoredAsStored) {
  TempDir dir;
  fs::path db = MakeDatabase(dir, 4);
  const auto before = ReadBytes(db);
  {
    Opened o = OpenForWriting(jet::Env::Default(), db, 0x12345678);
    ASSERT_TRUE(jet::CommitPages(jet::Env::Default(), *o.pager, db.string(), Change()).ok());
    auto page3 = o.pager->ReadPage(3);
    ASSERT_TRUE(page3.ok());
    EXPECT_EQ(*page3, Pattern(3, 99));  // plain through the pager
  }
  const auto after = ReadBytes(db);
  EXPECT_NE(std::vector<uint8_t>(after.begin() + 3 * kPageSize, after.begin() + 4 * kPageSize), Pattern(3, 99));

  // A cut-off change on an encrypted file plays back the stored bytes.
  WriteBytes(db, before);
  FaultEnv env;
  Opened o = OpenForWriting(env, db, 0x12345678);
  env.FailAt(env.Operations() + 6, Fault::kCrash);  // create, write, sync, sync folder, a page, crash
  EXPECT_FALSE(jet::CommitPages(env, *o.pager, db.string(), Change()).ok());
  o = Opened{};
  ASSERT_TRUE(jet::RecoverJournal(jet::Env::Default(), db.string()).ok());
  EXPECT_EQ(ReadBytes(db), before);
}

// The heart of it: the change cut at every operation that touches the disk,
// by every kind of fault. A crash (with or without losing what was not
// synced) must leave, after recovery, the old file or the new one; a failure
// the process survives must leave the old file at once, and no journal.
TEST(Journal, EveryCutLeavesTheOldFileOrTheNewOne) {
  TempDir dir;
  fs::path db = MakeDatabase(dir, 4);
  const auto before = ReadBytes(db);
  const auto after = Changed(before);

  const uint64_t total = OperationsOfChange(db);
  ASSERT_GE(total, 8u);

  // lose_power: 0 the process was killed, 1 the power went, 2 the power went
  // after the database's unsynced writes reached the disk, 3 after only the
  // first of them did.
  struct Case {
    Fault fault;
    int lose_power;
  };
  const Case cases[] = {{Fault::kCrash, 0},     {Fault::kCrash, 1},     {Fault::kCrash, 2},
                        {Fault::kCrash, 3},     {Fault::kTornWrite, 0}, {Fault::kTornWrite, 1},
                        {Fault::kTornWrite, 2}, {Fault::kNoSpace, 0},   {Fault::kIoError, 0}};
  int ended_old = 0, ended_new = 0;
  for (const Case& c : cases) {
    for (uint64_t n = 1; n <= total + 1; ++n) {  // total + 1: the power goes after the commit returned
      WriteBytes(db, before);
      FaultEnv env;
      jet::Status s;
      {
        Opened o = OpenForWriting(env, db);
        env.FailAt(n, c.fault);
        s = jet::CommitPages(env, *o.pager, db.string(), Change());
      }
      std::string trace = std::string(FaultName(c.fault)) + (c.lose_power ? " + power cut" : "") +
                          (c.lose_power == 2 ? " (the database's writes on the disk)" : "") +
                          (c.lose_power == 3 ? " (the database's first write on the disk)" : "") + " at operation " +
                          std::to_string(n) + "\n";
      for (const auto& line : env.Log()) trace += "  " + line + "\n";
      if (c.fault == Fault::kNoSpace || c.fault == Fault::kIoError) {
        if (n > total) continue;
        EXPECT_EQ(s.code(), Code::kIoError) << trace;
        EXPECT_EQ(ReadBytes(db), before) << trace;
        EXPECT_FALSE(fs::exists(jet::JournalPath(db.string()))) << trace;
        continue;
      }
      if (c.lose_power == 1) env.LosePower();
      if (c.lose_power >= 2)
        env.LosePower({[&](const std::string& path, size_t n) { return path == db.string() && (c.lose_power == 2 || n == 0); },
                       nullptr});
      jet::Status r = jet::RecoverJournal(jet::Env::Default(), db.string());
      EXPECT_TRUE(r.ok()) << r.message() << "\n" << trace;
      EXPECT_FALSE(fs::exists(jet::JournalPath(db.string()))) << trace;
      const auto now = ReadBytes(db);
      EXPECT_TRUE(now == before || now == after) << trace;
      if (s.ok()) {
        EXPECT_EQ(now, after) << "the commit returned before it was durable\n" << trace;
      }
      // What a crashed process reported, nobody hears.
      (now == after ? ended_new : ended_old)++;
    }
  }
  // Both outcomes occur: cuts before the commit point and after it.
  EXPECT_GT(ended_old, 0);
  EXPECT_GT(ended_new, 0);
}

TEST(Journal, RecoveryRemovesAJournalThatIsNotComplete) {
  TempDir dir;
  fs::path db = MakeDatabase(dir, 4);
  const auto before = ReadBytes(db);
  // A complete journal, made by crashing a change right after it was written.
  std::vector<uint8_t> journal;
  {
    FaultEnv env;
    Opened o = OpenForWriting(env, db);
    env.FailAt(5, Fault::kCrash);  // the first page write to the database
    EXPECT_FALSE(jet::CommitPages(env, *o.pager, db.string(), Change()).ok());
    journal = ReadBytes(jet::JournalPath(db.string()));
    ASSERT_FALSE(journal.empty());
  }
  ASSERT_EQ(ReadBytes(db), before);

  // Damaged copies of it: every one must be thrown away without touching
  // the database (which holds pages 1 and 3 changed, to see a playback).
  const auto scribbled = Changed(before);
  std::vector<std::pair<std::string, std::vector<uint8_t>>> damaged;
  for (size_t cut : {size_t{0}, size_t{7}, size_t{27}, journal.size() / 2, journal.size() - 1})
    damaged.emplace_back("cut at " + std::to_string(cut), std::vector<uint8_t>(journal.begin(), journal.begin() + cut));
  for (size_t at : {size_t{0}, size_t{13}, size_t{20}, size_t{28}, size_t{40}, journal.size() - 3}) {
    auto j = journal;
    j[at] ^= 0x5a;
    damaged.emplace_back("byte " + std::to_string(at) + " flipped", j);
  }
  for (const auto& [what, bytes] : damaged) {
    WriteBytes(db, scribbled);
    WriteBytes(jet::JournalPath(db.string()), bytes);
    EXPECT_TRUE(jet::RecoverJournal(jet::Env::Default(), db.string()).ok()) << what;
    EXPECT_EQ(ReadBytes(db), scribbled) << what;
    EXPECT_FALSE(fs::exists(jet::JournalPath(db.string()))) << what;
  }

  // The intact journal plays back: pages restored, the appended page cut off.
  WriteBytes(db, scribbled);
  WriteBytes(jet::JournalPath(db.string()), journal);
  EXPECT_TRUE(jet::RecoverJournal(jet::Env::Default(), db.string()).ok());
  EXPECT_EQ(ReadBytes(db), before);
  EXPECT_FALSE(fs::exists(jet::JournalPath(db.string())));
}

TEST(Journal, RecoveryWaitsForAChangeInProgressAndRefusesAReadOnlyFile) {
  TempDir dir;
  fs::path db = MakeDatabase(dir, 4);
  const auto before = ReadBytes(db);
  {
    FaultEnv env;
    Opened o = OpenForWriting(env, db);
    env.FailAt(5, Fault::kCrash);
    EXPECT_FALSE(jet::CommitPages(env, *o.pager, db.string(), Change()).ok());
  }
  const auto journal = ReadBytes(jet::JournalPath(db.string()));
  const auto scribbled = Changed(before);
  WriteBytes(db, scribbled);

  {
    // Another writer holds the file: its journal is not ours to play back.
    Opened holder = OpenForWriting(jet::Env::Default(), db);
    EXPECT_EQ(jet::RecoverJournal(jet::Env::Default(), db.string()).code(), Code::kLocked);
    EXPECT_EQ(ReadBytes(db), scribbled);
    EXPECT_TRUE(fs::exists(jet::JournalPath(db.string())));
  }

  if (testing_support::PermissionsBind()) {  // root writes read-only files anyway
    fs::permissions(db, fs::perms::owner_read);
    EXPECT_EQ(jet::RecoverJournal(jet::Env::Default(), db.string()).code(), Code::kReadOnly);
    fs::permissions(db, fs::perms::owner_read | fs::perms::owner_write);
  }

  EXPECT_TRUE(jet::RecoverJournal(jet::Env::Default(), db.string()).ok());
  EXPECT_EQ(ReadBytes(db), before);
  (void)journal;
}

}  // namespace

namespace {

// A cut-off change found again after the disk was mounted elsewhere (another
// device and inode) or after a journal written by the other system (which
// numbers volumes and files its own way): the journal is the file's by what
// it holds, and is played back.
TEST(Journal, AJournalIsTheFilesWhereverItIsMountedAndWhoeverWroteIt) {
  enum class Moved { kRemounted, kWrittenElsewhere };
  for (const Moved moved : {Moved::kRemounted, Moved::kWrittenElsewhere}) {
    const char* what = moved == Moved::kRemounted ? "remounted" : "written by the other system";
    TempDir dir;
    fs::path db = MakeDatabase(dir, 4);
    const auto before = ReadBytes(db);
    {
      FaultEnv env;
      Opened o = OpenForWriting(env, db);
      env.FailAt(7, Fault::kCrash);  // create, write, sync, sync folder, two pages, crash
      EXPECT_FALSE(jet::CommitPages(env, *o.pager, db.string(), Change()).ok());
    }
    ASSERT_NE(ReadBytes(db), before);
    const std::string journal = jet::JournalPath(db.string());
    FaultEnv env;
    if (moved == Moved::kRemounted) {
      env.RemountElsewhere();
    } else {
      // Another volume serial number and file index, the checksum made anew.
      auto bytes = ReadBytes(journal);
      for (size_t i = 32; i < 48; ++i) bytes[i] = static_cast<uint8_t>(0xa0 + i);
      uint64_t h = 0xcbf29ce484222325ull;
      for (size_t i = 0; i + 8 < bytes.size(); ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
      for (size_t i = 0; i < 8; ++i) bytes[bytes.size() - 8 + i] = static_cast<uint8_t>(h >> (8 * i));
      WriteBytes(journal, bytes);
    }
    std::optional<jet::SetAsideJournal> set_aside;
    EXPECT_TRUE(jet::RecoverJournal(env, db.string(), &set_aside).ok()) << what;
    EXPECT_FALSE(set_aside) << what;
    EXPECT_EQ(ReadBytes(db), before) << what;
    EXPECT_FALSE(fs::exists(journal)) << what;
    EXPECT_FALSE(fs::exists(journal + ".of-another-file")) << what;
  }
}

// Whether the whole power-cut enumeration runs (VOSTREL_POWER_CUT=full, the
// ctest label powercut) or a sample of it.
bool FullPowerCut() {
  const char* v = std::getenv("VOSTREL_POWER_CUT");
  return v && std::string(v) == "full";
}

// The full power-cut model on the journal's own commit and on its recovery:
// the power goes after any prefix of the operations, the disk having written
// any subset of each file's unsynced writes in any order, the last of them
// torn at any byte; and the recovery that follows is cut the same way. Every
// state must recover to the old file or the new one, byte for byte.
TEST(Journal, EveryPowerCutStateRecoversTheOldFileOrTheNew) {
  TempDir dir;
  fs::path db = MakeDatabase(dir, 4);
  const auto before = ReadBytes(db);
  const auto after = Changed(before);
  const uint64_t total = OperationsOfChange(db);
  const bool full = FullPowerCut();
  const std::vector<size_t> tears = full ? std::vector<size_t>{1, 8, 100, 511, 512, 513, 1000, 2047, 2048, 2049, 4095, 4096, 4097}
                                         : std::vector<size_t>{1, 511, 513, 4095};
  uint64_t states = 0, exact = 0;
  for (uint64_t n = 1; n <= total + 1; ++n) {
    WriteBytes(db, before);
    FaultEnv env;
    {
      Opened o = OpenForWriting(env, db);
      env.FailAt(n, Fault::kCrash);
      (void)jet::CommitPages(env, *o.pager, db.string(), Change());
    }
    for (const auto& cut : env.PowerCutStates(tears, full ? 0 : 10, n)) {
      const std::string trace = "cut at " + std::to_string(n) + ": " + cut.description;
      auto check = [&](const std::string& more) {
        ++states;
        FaultEnv unsynced;  // no faults; no real syncs to wait for
        jet::Status r = jet::RecoverJournal(unsynced, db.string());
        const auto now = ReadBytes(db);
        const bool ok = r.ok() && !fs::exists(jet::JournalPath(db.string())) && (now == before || now == after);
        EXPECT_TRUE(ok) << r.message() << (fs::exists(jet::JournalPath(db.string())) ? " (the journal stays)" : "")
                        << (now.size() == after.size() ? " (the new size)" : "") << "\n" << trace << more;
        exact += ok;
      };
      env.LosePower(cut);
      check("");
      // The recovery cut at each of its operations, the power then lost
      // with some of what it wrote on the disk.
      for (uint64_t m = 1;; ++m) {
        env.LosePower(cut);
        FaultEnv again;
        again.FailAt(m, Fault::kCrash);
        (void)jet::RecoverJournal(again, db.string());
        if (!again.Crashed()) break;  // recovery takes fewer operations
        for (const auto& recovery_cut : again.PowerCutStates(tears, full ? 0 : 1, n * 100 + m)) {
          env.LosePower(cut);  // the journal, which the last check's recovery removed
          again.LosePower(recovery_cut);
          check("; recovery cut at " + std::to_string(m) + ": " + recovery_cut.description);
        }
      }
    }
  }
  std::cout << states << " power-cut states, " << exact << " recovered byte-exact\n";
  EXPECT_EQ(states, exact);
}

}  // namespace
