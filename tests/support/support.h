// What every test program shares: where the shared corpus is, scratch
// folders, running programs, and the independent readers used as oracles.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

// ../shared beside the project root (or the folder the environment's
// VOSTREL_SHARED_DIR names), or empty when it is absent.
fs::path SharedDir();

// Skips the running test, saying why, when ../shared is not there.
#define SKIP_WITHOUT_SHARED()                                                 \
  do {                                                                        \
    if (::testing_support::SharedDir().empty())                               \
      GTEST_SKIP() << "../shared is absent: no corpus or fixtures to read"; \
  } while (0)

// Skips the running test, saying why, where either outside reader
// (mdb-reader, mdbtools) is missing.
#define SKIP_WITHOUT_READERS()                                                             \
  do {                                                                                     \
    if (!::testing_support::HaveMdbReader() || !::testing_support::HaveMdbTools())         \
      GTEST_SKIP() << "mdb-reader or mdbtools is not installed";                           \
  } while (0)

// Skips the running test on Windows, saying which POSIX-only behaviour it
// checks.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(what) GTEST_SKIP() << "POSIX only: " << what
#else
#define SKIP_ON_WINDOWS(what) \
  do {                        \
  } while (0)
#endif

// Whether taking a permission away stops this process: POSIX mode bits for
// anyone but root. Not on Windows, whose one bit is the read-only attribute.
bool PermissionsBind();
// Root on POSIX; never on Windows.
bool RunningAsRoot();
// What to put before a command line so that mode bits stop it: for root,
// setpriv dropping to nobody (root reads and writes anywhere); nothing for
// anyone else. None where root has no setpriv. The files it runs on must be
// where nobody reaches them (OpenToEveryone).
std::optional<std::string> AsOrdinaryUser();
// Lets every user into `dir` and what it holds, to read it (and run what
// is runnable): the scratch folder of a program run AsOrdinaryUser.
void OpenToEveryone(const fs::path& dir);

// A path written with "/" as the platform writes it ("\" on Windows), as
// the engine names files in its messages.
std::string Native(std::string path);
// UTF-8 text to a path and back: std::filesystem's own narrow conversions
// go through the ANSI code page on Windows.
fs::path Utf8Path(const std::string& utf8);
std::string Utf8(const fs::path& path);

// A fresh folder removed again at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Copies a file (or a whole folder) into dir and returns the copy's path.
fs::path CopyInto(const fs::path& from, const fs::path& dir);

std::vector<uint8_t> ReadBytes(const fs::path& file);
void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes);

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs a command line in the given folder (empty: the current one): through
// /bin/sh on POSIX; on Windows its words, quoted as ShellQuote does, are
// the arguments of one program, and a command only a shell can run fails
// with 127.
RunResult Run(const std::string& command, const fs::path& cwd = {});

#ifndef _WIN32
// Runs a command line through /bin/sh on a pseudo-terminal of its own (its
// standard input, output and error), as a person at a terminal would: each
// time the output shows `prompt` once more, the next of `answers` is typed
// with a line end; once they are used up, an end of input (^D). `out` holds
// all the terminal showed, standard output and error together. Gives up
// after 60 seconds.
RunResult RunOnTerminal(const std::string& command, const fs::path& cwd, const std::string& prompt,
                        std::vector<std::string> answers);
#endif

// The number of the EngineError `f` throws; 0 where it throws none.
int ErrorNumber(const std::function<void()>& f);

// Single-quotes a string for /bin/sh (and for the Windows runner).
std::string ShellQuote(const std::string& s);

// The programs the build made (build/bin), and one of them by its name
// (".exe" added on Windows).
fs::path BinDir();
fs::path Program(const std::string& name);
fs::path SourceDir();

// Whether an independent reader can be run here.
bool HaveMdbTools();    // mdb-export, mdb-tables
bool HaveMdbReader();   // node + tools/oracle/node_modules/mdb-reader
// Whether the checks by mdb-reader that follow can be made. Where the reader
// is missing they are left out, saying so on stderr; in CI (the variable CI
// set), which always has the reader, a missing one fails the test instead,
// so that no check vanishes there unseen.
bool CheckWithMdbReader();

// The link string of `table` in `file` as our own engine reads it: the file
// opened with `connect` (";PWD=..." for a password) and closed again.
std::string EngineLink(const fs::path& file, const std::string& table = "Partner", const std::string& connect = "");

// One catalog row as an independent reader sees it.
struct OracleObject {
  std::string name;
  int type = 0;
  bool system = false;
  std::string database;      // empty where null
  std::string connect;       // empty where null
  std::string foreign_name;  // empty where null
  bool database_null = true, connect_null = true, foreign_name_null = true, lv_null = true;
  long long rows = -1;       // rows of a local table
};

// The catalog as mdb-reader reads it (tables: types 1, 4, 6).
std::vector<OracleObject> MdbReaderCatalog(const fs::path& file, const std::string& password = "");

// A whole table as mdb-reader reads it, as one JSON text per row (keys sorted),
// so that two reads can be compared.
std::vector<std::string> MdbReaderRows(const fs::path& file, const std::string& table);

// A table exported by mdbtools' mdb-export (CSV text).
std::string MdbExport(const fs::path& file, const std::string& table);

}  // namespace testing_support
