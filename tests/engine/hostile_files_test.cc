// Names that are not what they seem: a FIFO, a folder or a device where a
// file is expected, a file that includes itself, a map file too large to be
// one. Each ends at once, in a refusal or a warning naming the file. The
// checks run under a watchdog, so that a call that would block fails the
// test instead of hanging the suite.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <thread>

#include "vostrel/database_file.h"
#include "vostrel/error.h"
#include "engine/failures.h"
#include "vostrel/paths.h"
#include "tests/support/support.h"

namespace {

using testing_support::TempDir;
namespace fs = std::filesystem;

// Far above "at once" on a loaded machine, far below a hung suite.
constexpr auto kWatchdog = std::chrono::seconds(10);

// Runs `work`; where it has not ended within the watchdog's time, fails and
// opens the other end of each FIFO given, again until it ends, which lets a
// reader or writer blocked on one go on: the test ends either way.
template <typename Work>
void EndsAtOnce(const std::string& what, const std::vector<fs::path>& fifos, Work work) {
  std::packaged_task<void()> task(work);
  std::future<void> done = task.get_future();
  std::thread runner(std::move(task));
  if (done.wait_for(kWatchdog) == std::future_status::timeout) {
    ADD_FAILURE() << what << ": still blocked after " << kWatchdog.count() << " s";
    do {
#ifndef _WIN32
      for (const fs::path& f : fifos) {
        for (int flags : {O_WRONLY | O_NONBLOCK, O_RDONLY | O_NONBLOCK}) {
          const int fd = ::open(f.c_str(), flags);
          if (fd >= 0) ::close(fd);
        }
      }
#else
      (void)fifos;
#endif
    } while (done.wait_for(std::chrono::milliseconds(100)) == std::future_status::timeout);
  }
  runner.join();
  done.get();
}

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

void MakeFifo(const fs::path& path) {
#ifndef _WIN32
  fs::create_directories(path.parent_path());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
#else
  (void)path;
#endif
}

// The notices given while `work` runs.
template <typename Work>
std::vector<std::string> Notices(Work work) {
  std::vector<std::string> said;
  engine::SetNoticeHandler([&](const std::string& text) { said.push_back(text); });
  work();
  engine::SetNoticeHandler(nullptr);
  return said;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

TEST(HostileFiles, AnOpenNeitherWaitsOnAFifoNorFollowsAnEntrysLink) {
  SKIP_ON_WINDOWS("FIFOs and symbolic links made by the test");
  TempDir dir;
  MakeFifo(dir / "fifo.mdb");
  fs::create_directory(dir / "folder.mdb");
  Write(dir / "real.mdb", std::string(4096, 'x'));
  fs::create_symlink(dir / "real.mdb", dir / "link.mdb");
  jet::Env& env = jet::Env::Default();
  EndsAtOnce("open of a FIFO", {dir / "fifo.mdb"}, [&] {
    for (jet::OpenMode mode : {jet::OpenMode::kRead, jet::OpenMode::kReadWrite, jet::OpenMode::kCreate}) {
      for (const char* name : {"fifo.mdb", "folder.mdb"}) {
        auto f = env.Open((dir / name).string(), mode);
        EXPECT_EQ(f.status().code(), jet::Code::kNoAccess) << name << " " << static_cast<int>(mode);
      }
    }
    auto device = env.Open("/dev/null", jet::OpenMode::kRead);
    EXPECT_EQ(device.status().code(), jet::Code::kNoAccess);
    EXPECT_FALSE(engine::IsDatabaseFile(env, (dir / "fifo.mdb").string()));
    // A symbolic link at the name a walk found is not followed: the walk
    // reads only what lies in the tree, even where an entry is swapped.
    EXPECT_TRUE(env.Open((dir / "link.mdb").string(), jet::OpenMode::kRead).ok());
    EXPECT_EQ(env.OpenEntry((dir / "link.mdb").string()).status().code(), jet::Code::kInvalidPath);
    EXPECT_TRUE(env.OpenEntry((dir / "real.mdb").string()).ok());
  });
}

// A walk sees a file, and by the time it opens the name a FIFO is there: the
// open must not wait for a writer that never comes.
TEST(HostileFiles, AFileSwappedForAFifoBetweenLookAndOpenIsNotWaitedOn) {
  SKIP_ON_WINDOWS("FIFOs and an atomic exchange of two names");
#ifndef _WIN32
  TempDir dir;
  const fs::path name = dir / "MLQ.mdb", other = dir / "other";
  Write(name, std::string(4096, 'x'));
  MakeFifo(other);
  std::atomic<bool> stop{false};
  std::thread racer([&] {
    while (!stop) (void)::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE);
  });
  jet::Env& env = jet::Env::Default();
  EndsAtOnce("opens of a name swapped for a FIFO", {name, other}, [&] {
    for (int i = 0; i < 300; ++i) {
      (void)engine::IsDatabaseFile(env, name.string());
      (void)env.Open(name.string(), jet::OpenMode::kRead);
    }
  });
  stop = true;
  racer.join();
#endif
}

TEST(HostileFiles, MapSourcesThatAreFifosFoldersOrLoopsEndInAWarning) {
  SKIP_ON_WINDOWS("FIFOs made by the test");
  TempDir dir;
  const fs::path d = dir.path();
  MakeFifo(d / "fifo/map");
  fs::create_directories(d / "folder/map");
  MakeFifo(d / "smb-fifo.conf");
  MakeFifo(d / "include.fifo");
  // A file that includes itself and one that includes the first again.
  Write(d / "smb.conf", "[global]\n include = " + (d / "smb.conf").string() + "\n include = " +
                            (d / "more.conf").string() + "\n include = " + (d / "include.fifo").string() +
                            "\n include = " + (d / "missing.conf").string() + "\n[baze]\n path = /srv/baze\n");
  Write(d / "more.conf", "include = " + (d / "smb.conf").string() + "\n[arhiv]\n path = /srv/arhiv\n");
  Write(d / "hostname", "streznik\n");
  const std::vector<fs::path> fifos = {d / "fifo/map", d / "smb-fifo.conf", d / "include.fifo"};

  engine::MapSources s;
  s.map_files = {(d / "fifo/map").string(), (d / "folder/map").string(), (d / "none/map").string()};
  s.smb_conf = (d / "smb.conf").string();
  s.host_name_file = (d / "hostname").string();
  std::vector<std::string> said;
  engine::PathMap map;
  // Samba's shares are read when a lookup first needs them (Entries).
  EndsAtOnce("a map of FIFOs", fifos, [&] {
    said = Notices([&] {
      map = engine::LoadPathMap(jet::Env::Default(), s);
      (void)map.Entries();
    });
  });
  EXPECT_EQ(map.ToLocal("\\\\streznik\\baze\\x.mdb"), "/srv/baze/x.mdb");
  EXPECT_EQ(map.ToLocal("\\\\streznik\\arhiv\\x.mdb"), "/srv/arhiv/x.mdb");
  // Each that is there and cannot be read is named; a map file that is not
  // there at all is not (most machines have none).
  const std::string all = Joined(said);
  for (const fs::path& named : {d / "fifo/map", d / "folder/map", d / "include.fifo", d / "missing.conf"})
    EXPECT_NE(all.find("'" + named.string() + "' is not read"), std::string::npos) << named << "\n" << all;
  EXPECT_EQ(all.find("none/map"), std::string::npos) << all;
  EXPECT_EQ(said.size(), 4u) << all;

  engine::MapSources fifo_conf;
  fifo_conf.smb_conf = (d / "smb-fifo.conf").string();
  EndsAtOnce("an smb.conf that is a FIFO", fifos, [&] {
    said = Notices([&] { engine::LoadPathMap(jet::Env::Default(), fifo_conf); });
  });
  EXPECT_EQ(said.size(), 1u) << Joined(said);
}

TEST(HostileFiles, AMapFileTooLargeIsRefusedWholeAndAByteOrderMarkIsNoPartOfAnEntry) {
  TempDir dir;
  // The limit falls inside the last entry, which cut there would read as
  // another folder.
  std::string big;
  while (big.size() < (4u << 20) - 10) big.append("# ").append(200, '-').append("\n");
  big += "Z:=/srv/baze/podatki\n";
  Write(dir / "big/map", big);
  Write(dir / "bom/map", "\xEF\xBB\xBFZ:=/srv/z\n");
  engine::MapSources s;
  s.map_files = {(dir / "big/map").string()};
  try {
    engine::LoadPathMap(jet::Env::Default(), s);
    ADD_FAILURE() << "a map file over the limit was read";
  } catch (const engine::EngineError& e) {
    EXPECT_EQ(e.number(), 3001);
    EXPECT_NE(e.description().find("'" + (dir / "big/map").string() + "'"), std::string::npos) << e.description();
  }
  s.map_files = {(dir / "bom/map").string()};
  EXPECT_EQ(engine::LoadPathMap(jet::Env::Default(), s).ToLocal("Z:\\x.mdb"), "/srv/z/x.mdb");
}

}  // namespace
