// The rollback journal: a change lands whole or not at all, whatever fails.
#include "jet/journal.h"

#include <sys/stat.h>
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

  uint64_t total = 0;
  {
    FaultEnv env;
    Opened o = OpenForWriting(env, db);
    ASSERT_TRUE(jet::CommitPages(env, *o.pager, db.string(), Change()).ok());
    total = env.Operations();
  }
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
