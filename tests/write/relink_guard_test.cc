// What a relink checks before it writes, and which journal it trusts: a
// damaged front-end is refused untouched; a journal is found through every
// name of its file and played back onto that file only.
#include <unistd.h>

#include <functional>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "vostrel/database.h"
#include "engine/database_impl.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "engine/relink.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/journal.h"
#include "jet/os_names.h"
#include "tests/support/fault_env.h"
#include "tests/support/support.h"
#include "tests/support/built_fixtures.h"

namespace {

using namespace testing_support;

constexpr double kNow = 46000.25;

struct Built : BuiltPair {
  using BuiltPair::BuiltPair;
  std::vector<engine::LinkRequest> Links() const { return {{"Partner", ";DATABASE=" + back.string()}}; }
};

// The number a relink of `file` fails with (0: it did not fail).
int RelinkFails(const fs::path& file, const std::vector<engine::LinkRequest>& links, std::string* description = nullptr) {
  try {
    auto db = engine::OpenDatabaseImpl(jet::Env::Default(), file.string());
    engine::StoreLinks(*db, jet::Env::Default(), links, kNow);
  } catch (const engine::EngineError& e) {
    if (description) *description = e.description();
    return e.number();
  }
  return 0;
}

// Collects what the engine tells the user besides failures.
struct Notices {
  std::vector<std::string> said;
  Notices() {
    engine::SetNoticeHandler([this](const std::string& text) { said.push_back(text); });
  }
  ~Notices() { engine::SetNoticeHandler(nullptr); }
};

// Each kind of damage the check before a rewrite names, on the page that
// holds Partner's catalog row, and a file cut short: 3049, nothing written.
TEST(RelinkGuard, ADamagedFrontEndIsRefusedUntouched) {
  struct Damage {
    std::string name;
    // Changes the page (its bytes, its slot table at `slots`, `rows` rows).
    std::function<void(std::vector<uint8_t>& page, size_t slots, size_t rows)> page;
    std::function<void(std::vector<uint8_t>& file)> file;
  };
  auto slot = [](std::vector<uint8_t>& page, size_t slots, size_t row) -> uint8_t* { return &page[slots + 2 * row]; };
  const std::vector<Damage> damages = {
      {"a row offset inside the slot table",
       [&](auto& p, size_t slots, size_t rows) {
         jet::StoreU16(slot(p, slots, rows - 1), static_cast<uint16_t>(slots + 2 * rows - 2));
       }, nullptr},
      {"a row offset past the page",
       [&](auto& p, size_t slots, size_t) { jet::StoreU16(slot(p, slots, 0), static_cast<uint16_t>(p.size() + 16)); },
       nullptr},
      {"rows overlapping",
       [&](auto& p, size_t slots, size_t) {
         jet::StoreU16(slot(p, slots, 1), static_cast<uint16_t>(jet::LoadU16(slot(p, slots, 0)) + 8));
       }, nullptr},
      {"an overflow flag on a row that holds no pointer",
       [&](auto& p, size_t slots, size_t) {
         jet::StoreU16(slot(p, slots, 0), static_cast<uint16_t>(jet::LoadU16(slot(p, slots, 0)) | jet::kRowLookup));
       }, nullptr},
      {"a free-space count off by one",
       [](auto& p, size_t, size_t) { jet::StoreU16(&p[2], static_cast<uint16_t>(jet::LoadU16(&p[2]) + 1)); }, nullptr},
      {"the file cut inside a page", nullptr, [](auto& f) { f.resize(f.size() - 1000); }},
  };
  for (const Damage& d : damages) {
    dbbuilder::FrontEndOptions options;
    options.local_table_bytes = 64 * 1024;  // pages after the catalog's, to cut
    Built b(options);
    auto bytes = ReadBytes(b.front);
    {
      auto db = engine::OpenDatabaseImpl(jet::Env::Default(), b.front.string());
      const jet::Format& f = db->header.format;
      const uint32_t page = db->catalog.FindTable("Partner")->location.page;
      std::vector<uint8_t> p(bytes.begin() + page * f.page_size, bytes.begin() + (page + 1) * f.page_size);
      const size_t rows = jet::LoadU16(&p[f.data_row_count]);
      ASSERT_GE(rows, 2u);
      if (d.page) d.page(p, f.data_row_offsets, rows);
      std::copy(p.begin(), p.end(), bytes.begin() + page * f.page_size);
      if (d.file) d.file(bytes);
    }
    WriteBytes(b.front, bytes);
    std::string why;
    EXPECT_EQ(RelinkFails(b.front, b.Links(), &why), engine::kErrCannotOpenDatabase) << d.name << ": " << why;
    EXPECT_EQ(ReadBytes(b.front), bytes) << d.name;
    EXPECT_FALSE(fs::exists(jet::JournalPath(b.front.string()))) << d.name;
    // Reading stays lenient: the link of a file cut short can still be shown.
    if (d.file) {
      EXPECT_EQ(EngineLink(b.front), std::string(";DATABASE=") + dbbuilder::kOldBackEnd) << d.name;
    }
  }
}

// A relink through a symbolic link killed at every write: whichever name
// opens the file next finds the journal and sees the old link or the new.
TEST(RelinkGuard, KilledThroughASymbolicLinkAndOpenedByTheRealName) {
  SKIP_ON_WINDOWS("symbolic links, which need a privilege on Windows and which Wine cannot make");
  Built b;
  fs::create_directory(b.dir / "elsewhere");
  const fs::path alias = b.dir / "elsewhere" / "mlq-alias.mdb";
  fs::create_symlink(b.front, alias);
  const auto before = ReadBytes(b.front);
  const std::string old_link = EngineLink(b.front);
  uint64_t operations = 0;
  {
    FaultEnv env;
    auto db = engine::OpenDatabaseImpl(env, alias.string());
    const uint64_t at_open = env.Operations();
    engine::StoreLinks(*db, env, b.Links(), kNow);
    operations = env.Operations() - at_open;
  }
  const auto after = ReadBytes(b.front);
  for (const bool power_lost : {false, true}) {
    for (uint64_t n = 1; n <= operations; ++n) {
      WriteBytes(b.front, before);
      FaultEnv env;
      {
        auto db = engine::OpenDatabaseImpl(env, alias.string());
        env.FailAt(env.Operations() + n, Fault::kCrash);
        try {
          engine::StoreLinks(*db, env, b.Links(), kNow);
        } catch (const engine::EngineError&) {
        }
      }
      if (power_lost) env.LosePower();
      const std::string at = "cut at " + std::to_string(n) + (power_lost ? ", the power gone" : "");
      const std::string link = EngineLink(b.front);
      const auto bytes = ReadBytes(b.front);
      EXPECT_TRUE(bytes == before || bytes == after) << at;
      EXPECT_EQ(link, bytes == before ? old_link : b.Links()[0].link) << at;
      EXPECT_FALSE(fs::exists(jet::JournalPath(b.front.string()))) << at;
      EXPECT_FALSE(fs::exists(jet::JournalPath(alias.string()))) << at;
      EXPECT_EQ(EngineLink(alias), link) << at;
    }
  }
}

// A file with a second name: a journal beside one name would not be found
// through the other, so the change is refused and nothing is written.
TEST(RelinkGuard, AFileWithTwoNamesIsNotChanged) {
  Built b;
  const fs::path second = b.dir / "second.mdb";
  fs::create_hard_link(b.front, second);
  const auto before = ReadBytes(b.front);
  for (const fs::path& name : {b.front, second}) {
    std::string why;
    EXPECT_EQ(RelinkFails(name, b.Links(), &why), engine::kErrInvalidOperation) << name;
    EXPECT_NE(why.find("more than one name (hard links)"), std::string::npos) << why;
    EXPECT_EQ(ReadBytes(b.front), before);
    EXPECT_FALSE(fs::exists(jet::JournalPath(name.string())));
  }
}

// A relink cut after its first write to the file leaves a journal. The user
// then puts another front-end in the file's place (copied over it, or
// renamed onto its name): the next open, a plain read (by the engine, or by
// vostrel-cli list), leaves that file byte for byte as it is, sets the
// journal aside and says so once.
TEST(RelinkGuard, AJournalIsNotPlayedBackOntoAnotherFile) {
  for (const bool renamed : {false, true}) {
    Built b;
    dbbuilder::FrontEndOptions other_options;
    other_options.extra_links = 3;
    const fs::path other = b.dir / "other.mdb";
    ASSERT_TRUE(dbbuilder::WriteDatabase(dbbuilder::FrontEnd(other_options), other.string()).ok());
    const auto replacement = ReadBytes(other);
    {
      FaultEnv env;
      auto db = engine::OpenDatabaseImpl(env, b.front.string());
      // Create, write and sync the journal, sync its folder, then the first page write.
      env.FailAt(env.Operations() + 5, Fault::kCrash);
      EXPECT_THROW(engine::StoreLinks(*db, env, b.Links(), kNow), engine::EngineError);
    }
    const std::string journal = jet::JournalPath(b.front.string());
    ASSERT_TRUE(fs::exists(journal));
    const auto journal_bytes = ReadBytes(journal);
    if (renamed)
      fs::rename(other, b.front);
    else
      WriteBytes(b.front, replacement);

    Notices notices;
    auto list = [&] {
      if (!renamed) {
        EXPECT_NO_THROW(EngineLink(b.front));
        return;
      }
      const RunResult r = testing_support::Run(ShellQuote(Program("vostrel-cli").string()) + " list " + ShellQuote(b.front.string()));
      EXPECT_EQ(r.status, 0) << r.err;
      if (!r.err.empty()) notices.said.push_back(r.err);
    };
    list();
    EXPECT_EQ(ReadBytes(b.front), replacement) << (renamed ? "renamed" : "copied");
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_EQ(ReadBytes(journal + ".of-another-file"), journal_bytes);
    ASSERT_EQ(notices.said.size(), 1u);
    EXPECT_NE(notices.said[0].find("was left by a change to another file"), std::string::npos) << notices.said[0];
    list();
    EXPECT_EQ(notices.said.size(), 1u) << "said once";
  }
}

// A journal of another file that cannot be moved aside (the rename fails)
// stays where this file's own journal goes: the open fails, saying why,
// rather than go on to a change that would write over it.
TEST(RelinkGuard, AJournalThatCannotBeSetAsideStopsTheOpen) {
  Built b;
  const fs::path other = b.dir / "other.mdb";
  dbbuilder::FrontEndOptions other_options;
  other_options.extra_links = 3;
  ASSERT_TRUE(dbbuilder::WriteDatabase(dbbuilder::FrontEnd(other_options), other.string()).ok());
  {
    FaultEnv env;
    auto db = engine::OpenDatabaseImpl(env, b.front.string());
    env.FailAt(env.Operations() + 5, Fault::kCrash);  // the journal written, then the first page write
    EXPECT_THROW(engine::StoreLinks(*db, env, b.Links(), kNow), engine::EngineError);
  }
  const std::string journal = jet::JournalPath(b.front.string());
  const auto journal_bytes = ReadBytes(journal);
  const auto replacement = ReadBytes(other);
  WriteBytes(b.front, replacement);
  FaultEnv env;
  env.FailAt(1, Fault::kIoError);  // the rename, the open's first change
  try {
    engine::OpenDatabaseImpl(env, b.front.string());
    ADD_FAILURE() << "opened";
  } catch (const engine::EngineError& e) {
    EXPECT_EQ(e.number(), engine::kErrDiskOrNetwork);
    EXPECT_NE(e.description().find("was left by a change to another file, not " + b.front.string() +
                                   "; it was not played back (rename "),
              std::string::npos)
        << e.description();
  }
  EXPECT_EQ(ReadBytes(b.front), replacement);
  EXPECT_EQ(ReadBytes(journal), journal_bytes);
  EXPECT_FALSE(fs::exists(journal + ".of-another-file"));
}

}  // namespace

namespace {

// A change made from a link as it was read is stored only while the file
// still holds that link: another process's relink in between is never
// overwritten, and then nothing of the change is written.
TEST(RelinkGuard, AChangeMadeFromAnOldLinkIsRefusedUnderTheLock) {
  for (const bool changed_between : {false, true}) {
    Built b;
    const std::string read = EngineLink(b.front);
    auto db = engine::OpenDatabaseImpl(jet::Env::Default(), b.front.string());
    const std::string mine = ";DATABASE=" + b.back.string();
    const std::string theirs = ";DATABASE=" + (b.dir / "." / "PARTNER.MDB").string();
    if (changed_between) {
      ASSERT_EQ(RelinkFails(b.front, {{"Partner", theirs}}), 0);
    }
    int fails = 0;
    try {
      engine::StoreLinks(*db, jet::Env::Default(), {{"Partner", mine, read}}, kNow);
    } catch (const engine::EngineError& e) {
      fails = e.number();
    }
    EXPECT_EQ(fails, changed_between ? engine::kErrChangedMeanwhile : 0) << changed_between;
    EXPECT_EQ(EngineLink(b.front), changed_between ? theirs : mine) << changed_between;
  }
}

// A session of the desktop program that starts while a relink writes (at
// each of its writes, syncs and removals) cannot take its user lock, on the
// lock file nor on the front-end: the system keeps it out until the change
// is synced, while its reads of the data go on. Then it starts.
TEST(RelinkGuard, ASessionStartingWhileTheRelinkWritesIsKeptOut) {
  Built b;
  const fs::path lock_file = b.dir / "MLQ.ldb";
  WriteBytes(lock_file, {});  // a stale one, as an ended session leaves it
  // Another process's user lock in `slot`, on the lock file and then on the front-end.
  auto start_session = [&](uint64_t slot) -> std::pair<jet::Status, jet::Status> {
    auto ldb = jet::Env::Default().Open(lock_file.string(), jet::OpenMode::kReadWrite);
    auto front = jet::Env::Default().Open(b.front.string(), jet::OpenMode::kReadWrite);
    if (!ldb.ok() || !front.ok()) return {ldb.status(), front.status()};
    std::vector<uint8_t> page(4096);
    EXPECT_TRUE((*front)->ReadAt(0, page).ok());
    return {(*ldb)->LockRange(jet::kUserLocks + slot, 1, true), (*front)->LockRange(jet::kUserLocks + slot, 1, false)};
  };
  FaultEnv env;
  std::vector<std::string> let_in;
  env.BeforeEachChange([&](const std::string& what) {
    for (const uint64_t slot : {uint64_t{0}, jet::kUserLockSlots - 1}) {
      const auto [on_lock_file, on_front] = start_session(slot);
      if (on_lock_file.code() != jet::Code::kLocked || on_front.code() != jet::Code::kLocked)
        let_in.push_back(what + " (slot " + std::to_string(slot) + ")");
    }
  });
  auto db = engine::OpenDatabaseImpl(env, b.front.string());
  ASSERT_NO_THROW(engine::StoreLinks(*db, env, b.Links(), kNow));
  EXPECT_GT(env.Operations(), 3u);
  EXPECT_EQ(let_in, std::vector<std::string>{});
  const auto [on_lock_file, on_front] = start_session(0);
  EXPECT_TRUE(on_lock_file.ok() && on_front.ok()) << on_lock_file.message() << on_front.message();
}

}  // namespace
