// Windows clients' sessions seen through a real Samba server: an smbd of the
// test's own on the loopback interface alone (its smb.conf, port, state and
// a throw-away user in a scratch folder), and a real SMB2/3 client
// (impacket, smb_session.py) doing what the desktop program does when it
// opens MLQ.mdb from a share. vostrel-cli runs on the server's local paths
// as an administrator runs it. smbd starts once for the whole program and
// is stopped by its pid at the end; the user is removed.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "tests/cli/built.h"
#ifdef VOSTREL_SAMBA_WINDOW
#include <QPushButton>

#include "tests/gui/form_harness.h"
#include "tests/support/built_fixtures.h"
#endif

namespace {

using namespace testing_support;
using cli_test::Cli;
using Clock = std::chrono::steady_clock;

const char kPassword[] = "Vostrel-test-1";
const char kPython[] = "/usr/bin/python3";  // Debian's, which python3-impacket serves

std::string Sha256(const fs::path& file) {
  RunResult r = testing_support::Run("sha256sum " + ShellQuote(file.string()));
  return r.out.substr(0, 64);
}

int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), n) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) != 0) {
    close(s);
    return 4450;
  }
  close(s);
  return ntohs(a.sin_port);
}

bool Accepts(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(s);
  return ok;
}

// The server: started at the first test that needs it, stopped at the end.
class Smbd : public testing::Environment {
 public:
  static Smbd* instance;
  std::string skip;  // why the suite cannot run here
  fs::path root;
  std::string user;
  int port = 0;

  void SetUp() override {
    signal(SIGPIPE, SIG_IGN);  // a client that died must not take the test with it
    if (!fs::exists("/usr/sbin/smbd") || !fs::exists("/usr/bin/smbstatus")) {
      skip = "Samba is not installed (smbd, smbstatus: Debian's samba)";
      return;
    }
    if (!RunningAsRoot()) {
      skip = "needs root: the suite adds a throw-away Unix user for smbd";
      return;
    }
    if (testing_support::Run(std::string(kPython) + " -c 'import impacket'").status != 0) {
      skip = "impacket is not installed for /usr/bin/python3 (Debian's python3-impacket)";
      return;
    }
    char name[] = "/tmp/vostrel-smbd-XXXXXX";
    root = mkdtemp(name);
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);  // the user passes
    user = "vsmb" + std::to_string(getpid());
    port = FreePort();
    for (const char* d : {"app", "nolock", "kernel", "back", "private", "lock", "state", "cache", "pid", "ncalrpc", "log"})
      fs::create_directories(root / d);
    const std::string r = root.string();
    std::ofstream(root / "smb.conf") << "[global]\n"
                                     << "  interfaces = lo\n  bind interfaces only = yes\n"
                                     << "  smb ports = " << port << "\n"
                                     << "  private dir = " << r << "/private\n  lock directory = " << r << "/lock\n"
                                     << "  state directory = " << r << "/state\n  cache directory = " << r << "/cache\n"
                                     << "  pid directory = " << r << "/pid\n  ncalrpc dir = " << r << "/ncalrpc\n"
                                     << "  log file = " << r << "/log/%m.log\n"
                                     << "  passdb backend = tdbsam:" << r << "/private/passdb.tdb\n"
                                     << "  server role = standalone server\n  server min protocol = SMB2\n"
                                     << "  load printers = no\n  printcap name = /dev/null\n  disable spoolss = yes\n"
                                     << "[app]\n  path = " << r << "/app\n  read only = no\n"
                                     << "[nolock]\n  path = " << r << "/nolock\n  read only = no\n"
                                     << "  posix locking = no\n"
                                     << "[kernel]\n  path = " << r << "/kernel\n  read only = no\n"
                                     << "  kernel oplocks = yes\n";
    if (testing_support::Run("useradd -M -N -d /nonexistent -s /usr/sbin/nologin " + user).status != 0) {
      skip = "useradd failed";
      return;
    }
    added_user_ = true;
    RunResult pw = testing_support::Run("(printf '%s\\n%s\\n' " + ShellQuote(kPassword) + " " + ShellQuote(kPassword) +
                       " | smbpasswd -c " + ShellQuote(r + "/smb.conf") + " -s -a " + user + ")");
    if (pw.status != 0) {
      skip = "smbpasswd failed: " + pw.err;
      return;
    }
    testing_support::Run("chown " + user + " " + ShellQuote(r + "/app") + " " + ShellQuote(r + "/nolock") + " " +
                         ShellQuote(r + "/kernel"));
    // smbd's helpers outlive it by a moment; orphaned, they come to this
    // process to be reaped rather than stay zombies of an init that reaps none.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    pid_ = fork();
    if (pid_ == 0) {
      setpgid(0, 0);  // its own group: stopping it stops every smbd it forked
      const int log = open((r + "/log/smbd.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(log, 1);
      dup2(log, 2);
      const std::string conf = r + "/smb.conf";
      execl("/usr/sbin/smbd", "smbd", "--foreground", "--no-process-group", "-s", conf.c_str(), nullptr);
      _exit(127);
    }
    setpgid(pid_, pid_);
    for (auto until = Clock::now() + std::chrono::seconds(20); Clock::now() < until && !Accepts(port);)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!Accepts(port)) skip = "smbd did not start: see " + r + "/log";
    // vostrel asks smbstatus about this server.
    setenv("VOSTREL_SMB_CONF", (r + "/smb.conf").c_str(), 1);
  }

  void TearDown() override {
    if (pid_ > 0) {
      // The main smbd first: it stops and reaps its children itself; what
      // is left of its group after that is killed.
      kill(pid_, SIGTERM);
      int status;
      for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      kill(-pid_, SIGKILL);
      waitpid(pid_, &status, WNOHANG);
      for (auto until = Clock::now() + std::chrono::seconds(5); Clock::now() < until;) {
        const pid_t got = waitpid(-pid_, &status, WNOHANG);
        if (got < 0) break;  // none of its group is left
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    if (added_user_) testing_support::Run("userdel " + user);
    if (!root.empty()) fs::remove_all(root);
  }

 private:
  pid_t pid_ = -1;
  bool added_user_ = false;
};

Smbd* Smbd::instance = static_cast<Smbd*>(testing::AddGlobalTestEnvironment(new Smbd));

#define NEED_SMBD()                                                         \
  do {                                                                      \
    if (!Smbd::instance->skip.empty()) GTEST_SKIP() << "Samba suite skipped: " << Smbd::instance->skip; \
  } while (0)

// One run of smb_session.py: started, "ready" awaited, told to stop.
class Client {
 public:
  Client(const std::string& share, const std::string& folder, const std::vector<std::string>& options) {
    int in[2], out[2];
    EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    const std::string script = (SourceDir() / "tests/samba/smb_session.py").string();
    std::vector<std::string> args = {kPython,   script,     "--port", std::to_string(Smbd::instance->port),
                                     "--user",  Smbd::instance->user, "--password", kPassword,
                                     "--share", share,      "--db",   folder + "\\MLQ.mdb",
                                     "--lock-file", folder + "\\MLQ.ldb"};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(kPython, argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
    ready_ = Line() == "ready";
  }
  ~Client() { Stop(); }
  bool ready() const { return ready_; }

  // A line it printed, or "" after 30 seconds or at its end.
  std::string Line() {
    for (auto until = Clock::now() + std::chrono::seconds(30); Clock::now() < until;) {
      const size_t nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      pollfd p{from_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char block[4096];
      const ssize_t n = read(from_, block, sizeof block);
      if (n <= 0) return "";
      buffer_.append(block, static_cast<size_t>(n));
    }
    return "";
  }
  void Say(const std::string& line) { (void)!write(to_, (line + "\n").data(), line.size() + 1); }

  // Ends it at once: a client that does not answer an oplock break would
  // keep its close waiting for smbd's break timeout (35 s).
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    close(to_);
    close(from_);
    pid_ = -1;
  }

  // Every line up to its end; its exit status.
  int Stop(std::vector<std::string>* lines = nullptr) {
    if (pid_ <= 0) return status_;
    Say("stop");
    for (std::string l; !(l = Line()).empty();)
      if (lines) lines->push_back(l);
    int status = 0;
    waitpid(pid_, &status, 0);
    close(to_);
    close(from_);
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  bool ready_ = false;
  int status_ = 0;
  std::string buffer_;
};

// A front-end in a folder of its own in a share, linked to C:\MLQ\PARTNER.MDB,
// and a back-end outside the shares to repoint it at.
struct FrontEnd {
  fs::path folder, file, back_end;
  FrontEnd(const std::string& share, const std::string& name) {
    folder = Smbd::instance->root / share / name;
    fs::create_directories(folder);
    file = cli_test::BuildPartnerFrontEnd(folder, "MLQ.mdb");
    back_end = Smbd::instance->root / "back" / (name + ".mdb");
    if (!fs::exists(back_end)) cli_test::BuildBackEnd(back_end.parent_path(), back_end.filename().string(),
                                                     dbbuilder::FormatVersion::kJet4);
    testing_support::Run("chown -R " + Smbd::instance->user + " " + ShellQuote(folder.string()));
  }
  RunResult Cli(const std::string& command) const { return testing_support::Run(cli_test::Cli() + " " + command, folder); }
  RunResult RelinkFromTo() const {
    return Cli("relink MLQ.mdb --from 'C:\\MLQ\\PARTNER.MDB' --to " + ShellQuote(back_end.string()));
  }
  RunResult RelinkConnect() const {
    return Cli("relink MLQ.mdb --table Partner --connect " + ShellQuote(";DATABASE=" + back_end.string()));
  }
};

struct SessionCase {
  const char* name;
  const char* share;
  std::vector<std::string> client;  // smb_session.py's options
  bool by_record;                   // named by its lock-file record, not its address and account
};

void PrintTo(const SessionCase& c, std::ostream* os) { *os << c.name; }

class WhileAClientHasIt : public testing::TestWithParam<SessionCase> {};

// list names the client, check says who has it open, both relinks are
// refused with 3260 naming it and "failed" on stdout, and the front-end
// stays byte for byte; once the client is gone the relink goes through,
// and mdb-reader reads the new link.
TEST_P(WhileAClientHasIt, EveryCommandNamesItAndNothingIsWritten) {
  NEED_SMBD();
  const SessionCase& c = GetParam();
  FrontEnd fe(c.share, c.name);
  std::string machine = "127.0.0.1", user = Smbd::instance->user;
  if (c.by_record) {
    machine = "PC-ANA";
    user = "ana";
  }
  const auto before = ReadBytes(fe.file);
  {
    Client client(c.share, c.name, c.client);
    ASSERT_TRUE(client.ready());
    RunResult list = fe.Cli("list --json MLQ.mdb");
    EXPECT_NE(list.out.find("\"openBy\":[{\"machine\":\"" + machine + "\",\"user\":\"" + user + "\"}]"),
              std::string::npos)
        << list.out << list.err;
    RunResult check = fe.Cli("check MLQ.mdb");
    EXPECT_NE(check.out.find("MLQ.mdb\t\topen by user '" + user + "' on machine '" + machine + "'\n"),
              std::string::npos)
        << check.out;
    const std::string refused =
        "Error 3260: Couldn't update; currently locked by user '" + user + "' on machine '" + machine + "'.";
    for (const RunResult& r : {fe.RelinkFromTo(), fe.RelinkConnect()}) {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "vostrel-cli: MLQ.mdb: " + refused + "\n");
      EXPECT_EQ(r.out, "MLQ.mdb\tPartner\tfailed: " + refused + "\n");
    }
    RunResult json = fe.Cli("relink MLQ.mdb --json --table Partner --connect " +
                            ShellQuote(";DATABASE=" + fe.back_end.string()));
    EXPECT_NE(json.out.find("\"outcome\":\"failed\""), std::string::npos) << json.out;
    EXPECT_EQ(json.out.find("\"outcome\":\"unchanged\""), std::string::npos) << json.out;
    EXPECT_EQ(ReadBytes(fe.file), before);
    EXPECT_EQ(client.Stop(), 0);
  }
  RunResult after = fe.RelinkFromTo();
  EXPECT_EQ(after.status, 0) << after.err;
  EXPECT_EQ(cli_test::Links(fe.file)["Partner"], ";DATABASE=" + fe.back_end.string());
  if (CheckWithMdbReader()) {
    EXPECT_EQ(cli_test::OracleDatabases(fe.file)["Partner"], fe.back_end.string());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, WhileAClientHasIt,
    testing::Values(
        // smbd holds the client's byte locks as POSIX locks too.
        SessionCase{"PosixLocking", "app", {"--slot", "2"}, true},
        // Only Samba knows of them: smbstatus tells.
        SessionCase{"NoPosixLocking", "nolock", {"--slot", "1"}, true},
        // An open with share modes and a cache, before any lock file or lock.
        SessionCase{"AnOpenWithABatchOplock", "app", {"--hold", "open", "--cache", "batch"}, false},
        SessionCase{"AnOpenWithAWriteCachingLease", "nolock", {"--hold", "open", "--cache", "rwh"}, false},
        SessionCase{"AnOpenWithAReadLease", "nolock", {"--hold", "open", "--cache", "r"}, false}),
    [](const testing::TestParamInfo<SessionCase>& info) { return std::string(info.param.name); });

// With kernel oplocks = yes smbd holds a kernel lease for a client's BATCH
// oplock: vostrel's open of the front-end breaks it and does not wait (3045,
// in use) while smbd breaks the client's oplock (a client that never answers
// the break holds every other open off for smbd's break timeout, 35 s); the
// file stays as it was.
TEST(KernelOplocks, AClientsBatchOplockMakesTheFrontEndInUse) {
  NEED_SMBD();
  FrontEnd fe("kernel", "batch");
  const auto before = ReadBytes(fe.file);
  Client client("kernel", "batch", {"--hold", "open", "--cache", "batch"});
  ASSERT_TRUE(client.ready());
  const auto start = Clock::now();
  RunResult r = fe.RelinkConnect();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  std::cout << "relink: " << took << " ms: " << r.err;
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.find("Error 3045") != std::string::npos || r.err.find("Error 3260") != std::string::npos) << r.err;
  // Read after the client is gone: this open too would wait for the break.
  client.Kill();
  EXPECT_EQ(ReadBytes(fe.file), before);
}

// The other direction: a client copying the front-end over SMB, again and
// again, while it is relinked on the server, back and forth. A relink that
// meets a copy's open is refused (the copy is a session); one that goes
// through holds the file's lock while it writes, which smbd's read honours:
// each copy is refused or is the whole file as it stood before or after a
// relink.
TEST(WhileARelinkRuns, AClientReadsTheWholeOldOrNewFileOrIsRefused) {
  NEED_SMBD();
  FrontEnd fe("app", "copies");
  std::set<std::string> states = {Sha256(fe.file)};
  Client reader("app", "copies", {"--reads", "--pause", "0.02"});
  ASSERT_TRUE(reader.ready());
  const fs::path other = fe.back_end.parent_path() / "copies-other.mdb";
  fs::copy_file(fe.back_end, other, fs::copy_options::overwrite_existing);
  int relinked = 0, attempts = 0;
  for (; relinked < 12 && attempts < 300; ++attempts) {
    const fs::path to = relinked % 2 == 0 ? other : fe.back_end;
    RunResult r = fe.Cli("relink MLQ.mdb --table Partner --connect " + ShellQuote(";DATABASE=" + to.string()));
    if (r.status != 0) {
      ASSERT_NE(r.err.find("Error 3260"), std::string::npos) << r.err;
      continue;
    }
    ++relinked;
    states.insert(Sha256(fe.file));
  }
  std::vector<std::string> lines;
  EXPECT_EQ(reader.Stop(&lines), 0);
  int whole = 0, refused = 0, torn = 0;
  std::set<std::string> why;
  for (const std::string& l : lines) {
    if (l.starts_with("refused ") && why.insert(l.substr(8)).second) ++refused;
    else if (l.starts_with("refused ")) ++refused;
    else if (l.starts_with("whole ") && states.count(l.substr(6))) ++whole;
    else ++torn;
  }
  std::cout << lines.size() << " copies: " << whole << " whole, " << refused << " refused, " << torn << " torn; "
            << relinked << " relinks of " << attempts << " tries; refused with";
  for (const std::string& w : why) std::cout << " " << w;
  std::cout << "\n";
  EXPECT_EQ(torn, 0);
  EXPECT_GT(whole, 0);
  EXPECT_GT(relinked, 0);
}

// Run as another user than root, vostrel cannot ask smbstatus (root only):
// it says so once, however many front-ends it reads, and the record locks
// smbd holds with posix locking = yes still refuse the relink.
TEST(AsAnotherUser, SambaCannotBeAskedItIsSaidOnceAndTheLocksStillRefuse) {
  NEED_SMBD();
  FrontEnd fe("app", "notroot");
  Client client("app", "notroot", {"--slot", "0"});
  ASSERT_TRUE(client.ready());
  const std::string& u = Smbd::instance->user;
  const std::string as = "setpriv --reuid=" + u + " --regid=$(id -g " + u + ") --clear-groups ";
  RunResult check = testing_support::Run(as + Cli() + " check MLQ.mdb MLQ.mdb", fe.folder);
  const std::string notice = "vostrel-cli: Samba's smbstatus could not tell which Windows clients have files open (it "
                             "ended with status 1: smbstatus only works as root!)";
  EXPECT_NE(check.err.find(notice), std::string::npos) << check.err;
  EXPECT_EQ(check.err.find(notice), check.err.rfind(notice)) << check.err;
  const std::string open_by = "MLQ.mdb\t\topen by user 'ana' on machine 'PC-ANA'\n";
  EXPECT_NE(check.out.find(open_by), check.out.rfind(open_by)) << check.out;
  const auto before = ReadBytes(fe.file);
  RunResult r = testing_support::Run(as + Cli() + " relink MLQ.mdb --table Partner --connect " +
                                     ShellQuote(";DATABASE=" + fe.back_end.string()), fe.folder);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error 3260: Couldn't update; currently locked by user 'ana' on machine 'PC-ANA'."),
            std::string::npos) << r.err;
  EXPECT_EQ(ReadBytes(fe.file), before);
}

// A client that holds the front-end open with a read lease keeps the relink
// out (an open is a session); once it closed, a client reading it again with
// the same lease key reads the new link, never a cached old one.
TEST(AfterARelink, AClientWithAReadLeaseReadsTheNewFile) {
  NEED_SMBD();
  FrontEnd fe("nolock", "lease");
  const std::string old_state = Sha256(fe.file);
  {
    Client first("nolock", "lease", {"--hold", "open", "--cache", "rh"});
    ASSERT_TRUE(first.ready());
    first.Say("read");
    EXPECT_EQ(first.Line(), "whole " + old_state);
    EXPECT_EQ(fe.RelinkFromTo().status, 1);
    EXPECT_EQ(first.Stop(), 0);
  }
  ASSERT_EQ(fe.RelinkFromTo().status, 0);
  Client again("nolock", "lease", {"--hold", "open", "--cache", "rh"});
  ASSERT_TRUE(again.ready());
  again.Say("read");
  EXPECT_EQ(again.Line(), "whole " + Sha256(fe.file));
  EXPECT_NE(Sha256(fe.file), old_state);
}

#ifdef VOSTREL_SAMBA_WINDOW
// The window, on the offscreen platform, started in the folder of a
// front-end a client has open: its relink (the button) is refused with 3260 naming the client, and the file stays as it was.
class WindowWhileAClientHasIt : public gui_test::FormTest {};

TEST_F(WindowWhileAClientHasIt, TheRelinkIsRefused) {
  NEED_SMBD();
  work_ = testing_support::BuildFixture("v2003-basic", Smbd::instance->root / "nolock" / "window");
  testing_support::Run("chown -R " + Smbd::instance->user + " " + ShellQuote(work_.string()));
  fs::current_path(work_);
  const std::string folder = fs::relative(work_, Smbd::instance->root / "nolock").string();
  const auto before = ReadBytes(work_ / "MLQ.mdb");
  Client client("nolock", folder, {"--slot", "0"});
  ASSERT_TRUE(client.ready());
  auto form = LoadedForm();
  form->show();
  form->findChild<QPushButton*>("Command1")->click();
  ASSERT_TRUE(gui_test::WaitFor([&] { return !report_.entries.empty(); }));
  EXPECT_EQ(report_.entries[0].number, 3260);
  EXPECT_NE(report_.entries[0].description.toStdString().find("user 'ana' on machine 'PC-ANA'"), std::string::npos)
      << report_.entries[0].description.toStdString();
  form->hide();
  form.reset();
  EXPECT_EQ(ReadBytes(work_ / "MLQ.mdb"), before);
}
#endif

// vostrel run on a client's CIFS mount of the share: where the kernel has
// no CIFS, said as the reason.
TEST(OnACifsMount, TheClientSideSeesTheSession) {
  NEED_SMBD();
  std::ifstream filesystems("/proc/filesystems");
  const std::string known((std::istreambuf_iterator<char>(filesystems)), std::istreambuf_iterator<char>());
  if (known.find("\tcifs\n") == std::string::npos && known.find("\tsmb3\n") == std::string::npos)
    GTEST_SKIP() << "the kernel has no CIFS file system (/proc/filesystems lists neither cifs nor smb3)";
  if (!fs::exists("/sbin/mount.cifs") && !fs::exists("/usr/sbin/mount.cifs"))
    GTEST_SKIP() << "mount.cifs is not installed (Debian's cifs-utils)";
  FrontEnd fe("app", "cifs");
  const fs::path mount = Smbd::instance->root / "mnt";
  fs::create_directories(mount);
  RunResult m = testing_support::Run("mount -t cifs //127.0.0.1/app " + ShellQuote(mount.string()) + " -o port=" +
                    std::to_string(Smbd::instance->port) + ",username=" + Smbd::instance->user +
                    ",password=" + kPassword + ",vers=3.0");
  if (m.status != 0) GTEST_SKIP() << "mount -t cifs failed: " << m.err;
  {
    Client client("app", "cifs", {"--slot", "0"});
    ASSERT_TRUE(client.ready());
    const auto before = ReadBytes(fe.file);
    RunResult r = testing_support::Run(Cli() + " relink MLQ.mdb --table Partner --connect " + ShellQuote(";DATABASE=X.mdb"),
                      mount / "cifs");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.err.find("3260"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(fe.file), before);
  }
  testing_support::Run("umount " + ShellQuote(mount.string()));
}

}  // namespace
