// RefreshLink and RefreshLinks as the window and the scripts use them: the
// forms of link strings, several links as one change, another process
// changing the file meanwhile, the file kept in place, and what it costs.
#include <sys/stat.h>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "vostrel/database.h"
#include "engine/database_impl.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "engine/relink.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"
#include "jet/journal.h"
#include "tests/support/fault_env.h"
#include "tests/support/support.h"
#include "tests/support/built_fixtures.h"

namespace {

using namespace testing_support;

using Pair = BuiltPair;

std::unique_ptr<engine::Database> Open(const fs::path& file) {
  return engine::DBEngine::Instance().OpenDatabase(file.string());
}

// What the catalog keeps of each form of link string, and that Connect reads
// every one of them back as it was written.
TEST(RelinkEngine, LinkStringsRoundTrip) {
  Pair p;
  const std::string b = p.back.string();
  struct Form {
    std::string link;
    std::optional<std::string> database, connect;
  };
  const std::vector<Form> forms = {
      {";DATABASE=" + b, b, std::nullopt},
      {"MS Access;PWD=geslo;DATABASE=" + b, b, "MS Access;PWD=geslo"},
      {"ms access;DATABASE=" + b, b, "ms access"},
      {";database=" + b, b, std::nullopt},
      {"MS Access;DATABASE=" + b, b, "MS Access"},
  };
  for (const Form& f : forms) {
    {
      auto db = Open(p.front);
      engine::TableDef& def = db->TableDefs().Item("Partner");
      def.SetConnect(f.link);
      def.RefreshLink();
      EXPECT_EQ(def.Entry().database, f.database) << f.link;
      EXPECT_EQ(def.Entry().connect, f.connect) << f.link;
    }
    auto db = Open(p.front);
    const engine::TableDef& def = db->TableDefs().Item("Partner");
    EXPECT_EQ(def.Entry().database, f.database) << f.link;
    EXPECT_EQ(def.Entry().connect, f.connect) << f.link;
    // The parameter's own case is the engine's; the text around it is kept.
    const std::string expected = f.link.rfind(";database=", 0) == 0 ? ";DATABASE=" + b : f.link;
    EXPECT_EQ(def.Connect(), expected);
  }
}

// The back-end's name is resolved as OpenDatabase resolves one (a name
// without a folder from the working directory, any case, backslashes), and
// stored as it was given.
TEST(RelinkEngine, TheBackEndIsFoundAsOpenDatabaseFindsItAndStoredAsGiven) {
  Pair p;
  const fs::path cwd = fs::current_path();
  fs::current_path(p.dir.path());
  for (const std::string& name : {std::string("partner.mdb"), std::string("PARTNER.MDB"), std::string(".\\Partner.Mdb")}) {
    auto db = Open(p.front);
    engine::TableDef& def = db->TableDefs().Item("Artikli");
    def.SetConnect(";DATABASE=" + name);
    EXPECT_NO_THROW(def.RefreshLink()) << name;
    EXPECT_EQ(Open(p.front)->TableDefs().Item("Artikli").Entry().database, name);
  }
  fs::current_path(cwd);
}

// Several links as one change: all are checked first; one bad link and none
// is written; all good and all are written, with one commit.
TEST(RelinkEngine, SeveralLinksAreOneChange) {
  Pair p;
  const auto before = ReadBytes(p.front);
  {
    auto db = Open(p.front);
    engine::TableDef& partner = db->TableDefs().Item("Partner");
    engine::TableDef& artikli = db->TableDefs().Item("Artikli");
    partner.SetConnect(";DATABASE=" + p.back.string());
    artikli.SetConnect(";DATABASE=" + (p.dir / "MISSING.MDB").string());
    try {
      db->RefreshLinks({&partner, &artikli});
      ADD_FAILURE() << "no error";
    } catch (const engine::EngineError& e) {
      EXPECT_EQ(e.number(), engine::kErrCouldNotFindFile);
      EXPECT_NE(e.description().find("MISSING.MDB"), std::string::npos) << e.description();
    }
    EXPECT_EQ(ReadBytes(p.front), before);
    EXPECT_EQ(partner.Entry().database, std::optional<std::string>(dbbuilder::kOldBackEnd));

    artikli.SetConnect("MS Access;DATABASE=" + p.back.string());
    const auto counters = engine::DBEngine::Instance().Counters();
    db->RefreshLinks({&partner, &artikli});
    EXPECT_EQ(engine::DBEngine::Instance().Counters().syncs - counters.syncs, 4u);  // one commit
    EXPECT_THROW(db->RefreshLinks({&partner, &partner}), engine::EngineError);
  }
  auto db = Open(p.front);
  EXPECT_EQ(db->TableDefs().Item("Partner").Connect(), ";DATABASE=" + p.back.string());
  EXPECT_EQ(db->TableDefs().Item("Artikli").Connect(), "MS Access;DATABASE=" + p.back.string());
}

// Another process changes the file between our open and our relink: the
// relink works on the file as it is under the lock, so both changes stay.
TEST(RelinkEngine, AChangeMadeByAnotherProcessSinceTheOpenIsKept) {
  Pair p;
  auto ours = Open(p.front);
  {
    auto theirs = Open(p.front);
    engine::TableDef& artikli = theirs->TableDefs().Item("Artikli");
    artikli.SetConnect(";DATABASE=" + p.back.string() + "");
    artikli.RefreshLink();
  }
  engine::TableDef& partner = ours->TableDefs().Item("Partner");
  partner.SetConnect(";DATABASE=" + p.back.string());
  partner.RefreshLink();
  auto db = Open(p.front);
  EXPECT_EQ(db->TableDefs().Item("Artikli").Connect(), ";DATABASE=" + p.back.string());
  EXPECT_EQ(db->TableDefs().Item("Partner").Connect(), ";DATABASE=" + p.back.string());
}

// A process that crashed in the middle of a relink left its journal; a
// writer that had the file open before finds it under the lock and rolls it
// back before it makes its own change.
TEST(RelinkEngine, AJournalLeftByACrashIsPlayedBackByTheNextWriter) {
  Pair p;
  const std::string old_artikli = Open(p.front)->TableDefs().Item("Artikli").Connect();
  auto ours = Open(p.front);
  {
    FaultEnv env;
    auto crashed = engine::OpenDatabaseImpl(env, p.front.string());
    env.FailAt(6, Fault::kCrash);  // create, write, sync, sync folder, a page: then the crash
    EXPECT_THROW(engine::StoreLinks(*crashed, env, {{"Artikli", ";DATABASE=" + p.back.string()}}, 46000),
                 engine::EngineError);
  }
  ASSERT_TRUE(fs::exists(jet::JournalPath(p.front.string())));
  engine::TableDef& partner = ours->TableDefs().Item("Partner");
  partner.SetConnect(";DATABASE=" + p.back.string());
  partner.RefreshLink();
  EXPECT_FALSE(fs::exists(jet::JournalPath(p.front.string())));
  auto db = Open(p.front);
  EXPECT_EQ(db->TableDefs().Item("Artikli").Connect(), old_artikli);
  EXPECT_EQ(db->TableDefs().Item("Partner").Connect(), ";DATABASE=" + p.back.string());
}

// The file is written in place: the same inode, so other names (here a
// symbolic link) see the change, with its permissions as they were.
TEST(RelinkEngine, TheFileIsChangedInPlace) {
  SKIP_ON_WINDOWS("inode, mode bits and owner of struct stat");
  Pair p;
  const fs::path other_name = p.dir / "also-MLQ.mdb";
  fs::create_symlink(p.front, other_name);
  fs::permissions(p.front, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  struct stat before {};
  ASSERT_EQ(::stat(p.front.string().c_str(), &before), 0);
  {
    auto db = Open(p.front);
    engine::TableDef& def = db->TableDefs().Item("Partner");
    def.SetConnect(";DATABASE=" + p.back.string());
    def.RefreshLink();
  }
  struct stat after {};
  ASSERT_EQ(::stat(p.front.string().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(after.st_nlink, 1u);
  EXPECT_EQ(Open(other_name)->TableDefs().Item("Partner").Connect(), ";DATABASE=" + p.back.string());
}

// What a relink costs: the pages it reads grow with the catalog, not with
// the file; the pages it writes are a handful; the syncs are the journal's
// four. The numbers are printed for the record.
TEST(RelinkEngine, CostIsAFewPagesWhateverTheFileSize) {
  struct Size {
    std::string name;
    dbbuilder::FrontEndOptions options;
  };
  dbbuilder::FrontEndOptions small, big_file, big_catalog;
  big_file.local_table_bytes = 8 << 20;
  big_catalog.extra_links = 600;
  big_catalog.partner_after = 300;
  for (const Size& s : {Size{"small", small}, Size{"8 MiB local table", big_file}, Size{"600 links", big_catalog}}) {
    Pair p(s.options);
    const uint64_t file_pages = fs::file_size(p.front) / 4096;
    auto db = Open(p.front);
    engine::TableDef& def = db->TableDefs().Item("Partner");
    def.SetConnect(";DATABASE=" + p.back.string());
    const auto before = engine::DBEngine::Instance().Counters();
    def.RefreshLink();
    const auto after = engine::DBEngine::Instance().Counters();
    const uint64_t read = after.pages_read - before.pages_read, written = after.pages_written - before.pages_written,
                   syncs = after.syncs - before.syncs;
    std::cout << "[ cost     ] " << s.name << ": " << file_pages << " pages in the file; the relink read " << read
              << " pages (back-end included), wrote " << written << ", synced " << syncs << " times\n";
    EXPECT_LE(written, 4u) << s.name;
    EXPECT_EQ(syncs, 4u) << s.name;
    if (s.name == "8 MiB local table") {
      EXPECT_LT(read, 60u) << "reads grew with the file";
    }
  }
}

}  // namespace
