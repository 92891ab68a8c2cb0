// A front-end a session of the desktop program has open: another process
// holds record locks (as an SMB server does for its clients, or the desktop
// program itself on Windows) and the lock file names who. A relink is
// refused with 3260 and writes nothing; a stale lock file blocks nothing and
// stays as it is.
#include <cstring>

#include "tests/cli/built.h"
#include "tests/support/desktop_session.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace testing_support;
using cli_test::Cli;
using dbbuilder::FormatVersion;

#ifndef _WIN32
// Another process holding a classic record lock on a byte range of `file`
// (shared, as a session's read locks are) until the object goes.
class HeldRecordLock {
 public:
  HeldRecordLock(const fs::path& file, off_t start, off_t length) {
    int ready[2], done[2];
    EXPECT_EQ(pipe2(ready, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(done, O_CLOEXEC), 0);
    child_ = fork();
    if (child_ == 0) {
      close(ready[0]);
      close(done[1]);
      const int fd = open(file.c_str(), O_RDONLY);
      struct flock fl;
      std::memset(&fl, 0, sizeof fl);
      fl.l_type = F_RDLCK;
      fl.l_whence = SEEK_SET;
      fl.l_start = start;
      fl.l_len = length;
      const char ok = fd >= 0 && fcntl(fd, F_SETLK, &fl) == 0 ? 'y' : 'n';
      (void)!write(ready[1], &ok, 1);
      char c;
      (void)!read(done[0], &c, 1);
      _exit(0);
    }
    close(ready[1]);
    close(done[0]);
    done_ = done[1];
    char ok = 'n';
    EXPECT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');
    close(ready[0]);
  }
  ~HeldRecordLock() {
    close(done_);
    int status;
    waitpid(child_, &status, 0);
  }

 private:
  pid_t child_ = -1;
  int done_ = -1;
};

#endif

// As the desktop program writes it: the machine NUL-padded, the user
// padded with spaces; neither padding is part of the names shown.
std::vector<uint8_t> LockFileOf(const std::vector<std::pair<std::string, std::string>>& sessions) {
  std::vector<uint8_t> bytes;
  for (const auto& [machine, user] : sessions) {
    std::vector<uint8_t> entry(64, 0);
    std::memset(entry.data() + 32, ' ', 32);
    std::memcpy(entry.data(), machine.data(), machine.size());
    std::memcpy(entry.data() + 32, user.data(), user.size());
    bytes.insert(bytes.end(), entry.begin(), entry.end());
  }
  return bytes;
}

const char kLocked[] =
    "vostrel-cli: MLQ.mdb: Error 3260: Couldn't update; currently locked by user 'ana' on machine 'PC-ANA' and user 'Bor' on machine "
    "'RACUNOVODSTVO'.\n";

struct SessionScene {
  TempDir dir;
  fs::path front, lock_file;
  SessionScene() {
    cli_test::BuildBackEnd(dir.path(), "nova/PARTNER.MDB", FormatVersion::kJet4);
    front = cli_test::BuildPartnerFrontEnd(dir.path(), "MLQ.mdb");
    lock_file = dir / "MLQ.LDB";  // found whatever the case of its extension
    WriteBytes(lock_file, LockFileOf({{"PC-ANA", "ana"}, {"RACUNOVODSTVO", "Bor"}}));
  }
  std::string BackEnd() const { return (dir / "nova" / "PARTNER.MDB").string(); }
  // `as`: what runs it (AsOrdinaryUser), before the command line.
  RunResult Relink(const std::string& as = "") const {
    return testing_support::Run(as + Cli() + " relink MLQ.mdb --from 'C:\\MLQ\\PARTNER.MDB' --to " +
                   ShellQuote(BackEnd()),
               dir.path());
  }
  // While a session lives: the relink is refused and writes nothing; check
  // and list name who has the front-end open.
  void ExpectRefused() const {
    const auto before = ReadBytes(front);
    RunResult r = Relink();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kLocked);
    // Refused as a whole: the link's line says so, not "unchanged".
    EXPECT_EQ(r.out, "MLQ.mdb\tPartner\tfailed: " + std::string(kLocked).substr(std::strlen("vostrel-cli: MLQ.mdb: ")));
    EXPECT_EQ(ReadBytes(front), before);
    RunResult check = testing_support::Run(Cli() + " check MLQ.mdb", dir.path());
    EXPECT_EQ(check.out.substr(0, check.out.find("MLQ.mdb\tPartner")),
              "MLQ.mdb\t\topen by user 'ana' on machine 'PC-ANA'\n"
              "MLQ.mdb\t\topen by user 'Bor' on machine 'RACUNOVODSTVO'\n");
    RunResult list = testing_support::Run(Cli() + " list --json MLQ.mdb", dir.path());
    EXPECT_NE(list.out.find("\"openBy\":[{\"machine\":\"PC-ANA\",\"user\":\"ana\"},"
                            "{\"machine\":\"RACUNOVODSTVO\",\"user\":\"Bor\"}]}"),
              std::string::npos)
        << list.out;
  }
};

#ifdef _WIN32
// The desktop program's own session on Windows: its user lock on the lock
// file and its lock on the front-end, both far past their ends.
TEST(Sessions, ADesktopSessionRefusesTheRelinkUntilItEnds) {
  SessionScene s;
  {
    DesktopSession session(s.front, "PC-ANA", "ana");
    ASSERT_TRUE(session.ready());
    s.ExpectRefused();
    EXPECT_EQ(session.End(), 0);
  }
  // What it leaves is a stale lock file.
  RunResult r = s.Relink();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(cli_test::Links(s.front)["Partner"], ";DATABASE=" + s.BackEnd());
}

// A lock file another process holds without sharing cannot be read, but it
// is held: the relink is refused all the same, naming nobody.
TEST(Sessions, ALockFileHeldWithoutSharingRefusesTheRelink) {
  SessionScene s;
  const auto front = ReadBytes(s.front);
  HANDLE held = ::CreateFileW(s.lock_file.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  RunResult r = s.Relink();
  ::CloseHandle(held);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vostrel-cli: MLQ.mdb: Error 3260: Couldn't update; currently locked by another session.\n");
  EXPECT_EQ(ReadBytes(s.front), front);
}
#else
TEST(Sessions, ARecordLockOnTheLockFileOrTheFrontEndRefusesTheRelink) {
  struct Case {
    const char* what;
    bool on_front_end;
  } cases[] = {{"on the lock file", false}, {"on the front-end", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SessionScene s;
    const auto lock = ReadBytes(s.lock_file);
    {
      // The desktop program locks bytes far past a file's end.
      HeldRecordLock held(c.on_front_end ? s.front : s.lock_file, c.on_front_end ? 0x10000000 : 1, 1);
      s.ExpectRefused();
    }
    EXPECT_EQ(ReadBytes(s.lock_file), lock);
  }
}

// Two lock files whose names differ only in case both count, and the names
// they hold reach the terminal with their control bytes escaped.
TEST(Sessions, EveryLockFileCountsAndItsNamesCannotDriveTheTerminal) {
  SessionScene s;
  WriteBytes(s.dir / "MLQ.ldb", LockFileOf({{"PC\x1b[2J", "eva\nx"}}));
  const auto front = ReadBytes(s.front);
  HeldRecordLock held(s.dir / "MLQ.ldb", 1, 1);
  RunResult r = s.Relink();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "vostrel-cli: MLQ.mdb: Error 3260: Couldn't update; currently locked by user 'ana' on machine 'PC-ANA', "
            "user 'Bor' on machine "
            "'RACUNOVODSTVO' and user 'eva\\nx' on machine 'PC\\u001b[2J'.\n");
  EXPECT_EQ(ReadBytes(s.front), front);
  RunResult check = testing_support::Run(Cli() + " check MLQ.mdb", s.dir.path());
  EXPECT_EQ(check.out.substr(0, check.out.find("MLQ.mdb\tPartner")),
            "MLQ.mdb\t\topen by user 'ana' on machine 'PC-ANA'\n"
            "MLQ.mdb\t\topen by user 'Bor' on machine 'RACUNOVODSTVO'\n"
            "MLQ.mdb\t\topen by user 'eva\\nx' on machine 'PC\\u001b[2J'\n");
}

// A lock file the user running vostrel may not read (mode 600, another
// owner) while a session holds its user lock: whether anyone has the
// front-end open cannot be asked, so it is in use, and the error says why.
TEST(Sessions, ALockFileThatCannotBeReadRefusesTheRelink) {
  const std::optional<std::string> as_user = AsOrdinaryUser();
  if (!as_user) GTEST_SKIP() << "running as root without setpriv: no user whom mode bits stop";
  if (!RunningAsRoot()) GTEST_SKIP() << "needs a lock file of another owner: run as root";
  SessionScene s;
  OpenToEveryone(s.dir.path());
  // The user may write the front-end and make its journal beside it.
  fs::permissions(s.dir.path(), fs::perms::others_write, fs::perm_options::add);
  fs::permissions(s.front, fs::perms::others_write, fs::perm_options::add);
  fs::permissions(s.lock_file, fs::perms::owner_read | fs::perms::owner_write);
  const auto front = ReadBytes(s.front);
  HeldRecordLock held(s.lock_file, 1, 1);
  RunResult r = s.Relink(*as_user);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error 3260: Couldn't update; currently locked by another session. The lock file '"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("MLQ.LDB' could not be read (open "), std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(s.front), front);
}

#endif  // _WIN32

TEST(Sessions, AStaleLockFileDoesNotBlockAndIsLeftAsItIs) {
  SessionScene s;
  const auto lock = ReadBytes(s.lock_file);
  RunResult check = testing_support::Run(Cli() + " check MLQ.mdb", s.dir.path());
  EXPECT_EQ(check.out.find("open by"), std::string::npos) << check.out;
  RunResult list = testing_support::Run(Cli() + " list --json MLQ.mdb", s.dir.path());
  EXPECT_NE(list.out.find("\"openBy\":[]}"), std::string::npos) << list.out;
  RunResult r = s.Relink();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(cli_test::Links(s.front)["Partner"], ";DATABASE=" + s.BackEnd());
  if (CheckWithMdbReader()) {
    EXPECT_EQ(cli_test::OracleDatabases(s.front)["Partner"], s.BackEnd());
  }
  EXPECT_EQ(ReadBytes(s.lock_file), lock);
}

}  // namespace
