// Every way a relink fails: the right error, and the file byte for byte as
// it was.
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
#include "jet/journal.h"
#include "tests/support/built_fixtures.h"
#include "tests/support/fault_env.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;

// A front-end MLQ.mdb linked to C:\MLQ\PARTNER.MDB, and back-ends of all
// kinds beside it.
struct Scene {
  TempDir dir;
  fs::path front, back, lacking, not_a_database, with_password;

  Scene() {
    front = dir / "MLQ.mdb";
    back = dir / "PARTNER.MDB";
    lacking = dir / "OTHER.MDB";
    not_a_database = dir / "NOTES.MDB";
    BuildPair({}, front, back);
    // A back-end without the table Partner.
    dbbuilder::DatabaseSpec other = dbbuilder::BackEnd(dbbuilder::FormatVersion::kJet4);
    std::erase_if(other.objects, [](const dbbuilder::Object& o) {
      return std::holds_alternative<dbbuilder::Table>(o) && std::get<dbbuilder::Table>(o).name == "Partner";
    });
    Built(other, lacking);
    WriteBytes(not_a_database, std::vector<uint8_t>(8192, 'x'));
    if (!SharedDir().empty())
      with_password = CopyInto(SharedDir() / "corpus/jet4/V2003_with-password.mdb", dir.path());
  }
};

struct ErrorCase {
  std::string name;
  std::string table;
  std::function<std::string(const Scene&)> link;
  int number;
  std::function<std::string(const Scene&)> description;  // a part of it
  bool needs_shared = false;
};

std::function<std::string(const Scene&)> Text(std::string s) {
  return [s](const Scene&) { return s; };
}

std::vector<ErrorCase> ErrorCases() {
  auto link_to = [](fs::path Scene::*file) {
    return [file](const Scene& s) { return ";DATABASE=" + (s.*file).string(); };
  };
  const std::string not_found = "Could not find the object 'Partner'. Make sure the object exists";
  return {
      {"a local table", "Nastavitve", link_to(&Scene::back), engine::kErrInvalidOperation, Text("Invalid operation.")},
      {"a spreadsheet", "Partner", [](const Scene& s) { return "Excel 8.0;HDR=YES;DATABASE=" + s.back.string(); },
       engine::kErrInstallableIsam, Text("Could not find installable ISAM.")},
      {"a text file link", "Partner", [](const Scene& s) { return "Text;DATABASE=" + s.back.string(); },
       engine::kErrInstallableIsam, Text("Could not find installable ISAM.")},
      {"an ODBC string", "Partner", Text("ODBC;DSN=Partnerji;UID=admin"), engine::kErrInstallableIsam,
       Text("Could not find installable ISAM.")},
      {"a kind mistyped", "Partner", [](const Scene& s) { return "MS Acess;DATABASE=" + s.back.string(); },
       engine::kErrInstallableIsam, Text("Could not find installable ISAM.")},
      {"an empty link string", "Partner", Text(""), engine::kErrInvalidArgument, Text("The link string is empty")},
      {"no DATABASE= part", "Partner", Text(";PWD=geslo"), engine::kErrInvalidArgument,
       Text("has no DATABASE= part")},
      {"an empty path", "Partner", Text(";DATABASE="), engine::kErrInvalidArgument, Text("has no DATABASE= part")},
      // Checked against the first path, read back by every reader as another.
      {"the database named twice", "Partner",
       [](const Scene& s) { return ";DATABASE=" + s.back.string() + ";DATABASE=" + s.lacking.string(); },
       engine::kErrNotValidPath, Text("gives DATABASE= twice")},
      {"the database named twice around a password", "Partner",
       [](const Scene& s) { return "MS Access;DATABASE=" + s.back.string() + ";PWD=x;database=" + s.lacking.string(); },
       engine::kErrNotValidPath, Text("gives DATABASE= twice")},
      // The description names the link, but never its passwords.
      {"a password given twice", "Partner",
       [](const Scene& s) { return "MS Access;PWD=a;PWD=b;DATABASE=" + s.back.string(); }, engine::kErrNotValidPath,
       [](const Scene& s) {
         return "'MS Access;PWD=***;PWD=***;DATABASE=" + s.back.string() + "' is not a valid link string: it gives PWD=";
       }},
      {"no such file", "Partner", [](const Scene& s) { return ";DATABASE=" + (s.dir / "NONE.MDB").string(); },
       engine::kErrCouldNotFindFile, [](const Scene& s) { return "Could not find file '" + (s.dir / "NONE.MDB").string() + "'."; }},
      {"no such folder", "Partner", [](const Scene& s) { return ";DATABASE=" + (s.dir / "nowhere/PARTNER.MDB").string(); },
       engine::kErrNotValidPath, Text("is not a valid path")},
      {"not a database", "Partner", link_to(&Scene::not_a_database), engine::kErrUnrecognizedFormat,
       [](const Scene& s) { return "Unrecognized database format '" + s.not_a_database.string() + "'."; }},
      {"a back-end without the table", "Partner", link_to(&Scene::lacking), engine::kErrCouldNotFindObject,
       Text(not_found)},
      {"a password the link lacks", "Partner", link_to(&Scene::with_password), engine::kErrNotValidPassword,
       Text("Not a valid password."), true},
      {"a wrong password", "Partner",
       [](const Scene& s) { return "MS Access;PWD=geslo;DATABASE=" + s.with_password.string(); },
       engine::kErrNotValidPassword, Text("Not a valid password."), true},
      // With the right password the back-end opens; it just has no Partner.
      {"the right password", "Partner",
       [](const Scene& s) { return "MS Access;PWD=password;DATABASE=" + s.with_password.string(); },
       engine::kErrCouldNotFindObject, Text(not_found), true},
  };
}

TEST(RelinkErrors, EachFailureSaysWhyAndLeavesTheFileAsItWas) {
  for (const ErrorCase& c : ErrorCases()) {
    if (c.needs_shared && SharedDir().empty()) continue;
    Scene s;
    const std::string link = c.link(s);
    const auto before = ReadBytes(s.front);
    auto db = engine::DBEngine::Instance().OpenDatabase(s.front.string());
    engine::TableDef& def = db->TableDefs().Item(c.table);
    const std::string old_link = def.Connect();
    def.SetConnect(link);
    try {
      def.RefreshLink();
      ADD_FAILURE() << c.name << ": no error";
    } catch (const engine::EngineError& e) {
      EXPECT_EQ(e.number(), c.number) << c.name << ": " << e.description();
      EXPECT_NE(e.description().find(c.description(s)), std::string::npos) << c.name << ": " << e.description();
    }
    // The link set stays on the definition, as it was set; the file keeps the old one.
    EXPECT_EQ(def.Connect(), link) << c.name;
    db->Close();
    EXPECT_EQ(ReadBytes(s.front), before) << c.name;
    EXPECT_FALSE(fs::exists(jet::JournalPath(s.front.string()))) << c.name;
    auto again = engine::DBEngine::Instance().OpenDatabase(s.front.string());
    EXPECT_EQ(again->TableDefs().Item(c.table).Connect(), old_link) << c.name;
  }
}

TEST(RelinkErrors, AnOdbcLinkCannotBeRefreshed) {
  TempDir dir;
  dbbuilder::DatabaseSpec front = dbbuilder::FrontEnd({});
  front.AddLink(dbbuilder::OdbcLink("Ordrar", "DSN=Magnapinna;Description=Safexit;UID=safexit;DATABASE=safexit", "Ordrar"));
  fs::path file = Built(front, dir / "MLQ.mdb");
  fs::path back = Built(dbbuilder::BackEnd(dbbuilder::FormatVersion::kJet4), dir / "PARTNER.MDB");
  const auto before = ReadBytes(file);
  auto db = engine::DBEngine::Instance().OpenDatabase(file.string());
  engine::TableDef& def = db->TableDefs().Item("Ordrar");
  def.SetConnect(";DATABASE=" + back.string());
  try {
    def.RefreshLink();
    ADD_FAILURE() << "no error";
  } catch (const engine::EngineError& e) {
    EXPECT_EQ(e.number(), engine::kErrOdbcConnectionFailed);
    EXPECT_EQ(e.description(), "ODBC--connection to 'Magnapinna' failed.");
  }
  db->Close();
  EXPECT_EQ(ReadBytes(file), before);
}

// Another process holds the file's lock while it writes: we say so and write nothing.
TEST(RelinkErrors, AFileLockedByAnotherWriter) {
  Scene s;
  const auto before = ReadBytes(s.front);
  auto db = engine::DBEngine::Instance().OpenDatabase(s.front.string());
  auto other = jet::Env::Default().Open(s.front.string(), jet::OpenMode::kReadWrite);
  ASSERT_TRUE(other.ok());
  ASSERT_TRUE((*other)->Lock().ok());
  engine::TableDef& def = db->TableDefs().Item("Partner");
  def.SetConnect(";DATABASE=" + s.back.string());
  try {
    def.RefreshLink();
    ADD_FAILURE() << "no error";
  } catch (const engine::EngineError& e) {
    EXPECT_EQ(e.number(), engine::kErrFileInUse);
    EXPECT_EQ(e.description(), "Could not use '" + s.front.string() + "'; file already in use.");
  }
  EXPECT_EQ(ReadBytes(s.front), before);
  // Once the other writer is done, the same definition stores its link.
  other->reset();
  def.RefreshLink();
  EXPECT_EQ(def.Connect(), ";DATABASE=" + s.back.string());
}

// Where the system cannot be asked whether a session holds the file or its
// lock file, the file counts as in use: 3260, saying which could not be
// read, and nothing written.
TEST(RelinkErrors, AFailingLockProbeCountsAsASession) {
  for (const bool with_lock_file : {false, true}) {
    SCOPED_TRACE(with_lock_file ? "with a lock file" : "without a lock file");
    Scene s;
    if (with_lock_file) WriteBytes(s.dir / "MLQ.ldb", std::vector<uint8_t>(64, 0));
    const auto before = ReadBytes(s.front);
    FaultEnv env;
    auto db = engine::OpenDatabaseImpl(env, s.front.string());
    db->env = &env;
    env.FailLockProbes();
    try {
      engine::StoreLinks(*db, env, {{"Partner", ";DATABASE=" + s.back.string()}}, 45000.5);
      ADD_FAILURE() << "no error";
    } catch (const engine::EngineError& e) {
      EXPECT_EQ(e.number(), engine::kErrLockedByUser);
      std::string want = "Couldn't update; currently locked by another session. The locks held on '" + db->path +
                         "' could not be read (query locks of " + db->path + ": I/O error).";
      if (with_lock_file) {
        const std::string lock = (fs::path(db->path).parent_path() / "MLQ.ldb").string();
        want += " The lock file '" + lock + "' could not be read (query locks of " + lock + ": I/O error).";
      }
      EXPECT_EQ(e.description(), want);
    }
    db->Close();
    EXPECT_EQ(ReadBytes(s.front), before);
  }
}

// A read-only file, and a file in a read-only folder (where the journal
// cannot be made): 3027, through the command line as a user who may not
// write there (root writes anywhere, so a root test drops to nobody). A file
// without its owner's write bit is 3027 for root too: on a share that bit is
// the read-only attribute, which stops an administrator as well.
TEST(RelinkErrors, ReadOnlyFileOrFolder) {
  SKIP_ON_WINDOWS("mode bits of a file and its folder, a user dropped to with setpriv");
  const bool root = testing_support::RunningAsRoot();
  const std::optional<std::string> as_user = testing_support::AsOrdinaryUser();
  struct Case {
    const char* what;
    bool folder;      // the folder read-only, not the file
    bool as_invoker;  // run as whoever runs the test, root included
  } cases[] = {{"file", false, false}, {"folder", true, false}, {"file, as the invoker", false, true}};
  for (const Case& c : cases) {
    if (!c.as_invoker && !as_user) continue;
    Scene s;
    fs::permissions(s.dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    if (c.folder) {
      // The file itself may be written; its folder may not.
      fs::permissions(s.front, fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec & ~fs::perms::others_exec);
      if (!root) fs::permissions(s.dir.path(), fs::perms::owner_write, fs::perm_options::remove);
    } else if (!root || c.as_invoker) {
      fs::permissions(s.front, fs::perms::owner_write, fs::perm_options::remove);
    }
    const auto before = ReadBytes(s.front);
    auto r = testing_support::Run((c.as_invoker ? "" : *as_user) + ShellQuote(Program("vostrel-cli").string()) +
                                      " relink MLQ.mdb --table Partner --connect " + ShellQuote(";DATABASE=" + s.back.string()),
                                  s.dir.path());
    EXPECT_EQ(r.status, 1) << c.what << ": " << r.err;
    EXPECT_EQ(r.err, "vostrel-cli: MLQ.mdb: Error 3027: Cannot update. Database or object is read-only.\n") << c.what;
    EXPECT_EQ(ReadBytes(s.front), before) << c.what;
    EXPECT_FALSE(fs::exists(jet::JournalPath(s.front.string()))) << c.what;
  }
}

// A full or failing disk at any write or sync of the change: 3043, and the
// file as it was (the change is rolled back at once).
TEST(RelinkErrors, DiskFullOrFailingAtEveryStep) {
  for (const Fault fault : {Fault::kNoSpace, Fault::kIoError}) {
    for (uint64_t n = 1;; ++n) {
      Scene s;
      const auto before = ReadBytes(s.front);
      FaultEnv env;
      auto db = engine::OpenDatabaseImpl(env, s.front.string());
      db->env = &env;
      env.FailAt(env.Operations() + n, fault);
      bool failed = false;
      try {
        engine::StoreLinks(*db, env, {{"Partner", ";DATABASE=" + s.back.string()}}, 45000.5);
      } catch (const engine::EngineError& e) {
        failed = true;
        EXPECT_EQ(e.number(), engine::kErrDiskOrNetwork) << FaultName(fault) << " at " << n << ": " << e.description();
        EXPECT_EQ(e.description(), "Disk or network error.");
      }
      db->Close();
      if (!failed) break;  // n is past the last operation: the change went through
      EXPECT_EQ(ReadBytes(s.front), before) << FaultName(fault) << " at " << n;
      EXPECT_FALSE(fs::exists(jet::JournalPath(s.front.string()))) << FaultName(fault) << " at " << n;
    }
  }
}

}  // namespace
