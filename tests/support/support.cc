#include "tests/support/support.h"

#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <array>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

namespace testing_support {

int ErrorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const engine::EngineError& e) {
    return e.number();
  }
  return 0;
}

std::string EngineLink(const fs::path& file, const std::string& table, const std::string& connect) {
  auto db = engine::DBEngine::Instance().OpenDatabase(file.string(), false, false, connect);
  std::string link = db->TableDefs().Item(table).Connect();
  db->Close();
  return link;
}

fs::path SharedDir() {
  // The environment may name another folder (a missing one shows what a
  // fresh clone without ../shared runs).
  const char* override_dir = std::getenv("VOSTREL_SHARED_DIR");
  fs::path p = override_dir ? fs::path(override_dir) : fs::path(VOSTREL_SHARED_DIR);
  std::error_code ec;
  if (fs::is_directory(p / "corpus", ec) || fs::is_directory(p / "fixtures", ec)) return fs::canonical(p, ec);
  return {};
}

fs::path BinDir() { return VOSTREL_BIN_DIR; }

fs::path Program(const std::string& name) {
#ifdef _WIN32
  return BinDir() / (name + ".exe");
#else
  return BinDir() / name;
#endif
}
fs::path SourceDir() { return VOSTREL_SOURCE_DIR; }

static long ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return ::getpid();
#endif
}

std::string Native(std::string path) {
#ifdef _WIN32
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  return path;
}

fs::path Utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool RunningAsRoot() {
#ifdef _WIN32
  return false;
#else
  return ::geteuid() == 0;
#endif
}

std::optional<std::string> AsOrdinaryUser() {
  if (!RunningAsRoot()) return std::string();
  if (Run("command -v setpriv").status != 0) return std::nullopt;
  return std::string("setpriv --reuid=nobody --regid=nogroup --clear-groups ");
}

void OpenToEveryone(const fs::path& dir) {
  const auto everyone = fs::perms::group_read | fs::perms::others_read;
  const auto into = fs::perms::group_exec | fs::perms::others_exec;
  fs::permissions(dir, everyone | into, fs::perm_options::add);
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const bool runnable = (entry.status().permissions() & fs::perms::owner_exec) != fs::perms::none;
    fs::permissions(entry.path(), runnable ? everyone | into : everyone, fs::perm_options::add);
  }
}

bool PermissionsBind() {
#ifdef _WIN32
  return false;
#else
  return !RunningAsRoot();
#endif
}

TempDir::TempDir() {
  std::random_device rd;
  fs::path base = fs::temp_directory_path();
  for (;;) {
    path_ = base / ("vostrel-test-" + std::to_string(ProcessId()) + "-" + std::to_string(rd()));
    std::error_code ec;
    if (fs::create_directory(path_, ec)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Give back write bits first: some tests make files or folders read-only.
  for (auto it = fs::recursive_directory_iterator(path_, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

fs::path CopyInto(const fs::path& from, const fs::path& dir) {
  fs::path to = dir / from.filename();
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  // The shared folders carry no write bits; copies must be writable.
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  if (fs::is_directory(to))
    for (auto& e : fs::recursive_directory_iterator(to))
      fs::permissions(e.path(), fs::perms::owner_read | fs::perms::owner_write | (e.is_directory() ? fs::perms::owner_exec : fs::perms::none),
                      fs::perm_options::add);
  return to;
}

std::vector<uint8_t> ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}


std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

bool HaveMdbTools() { return Run("command -v mdb-export && command -v mdb-tables").status == 0; }

static fs::path OracleDir() { return SourceDir() / "tools" / "oracle"; }

bool HaveMdbReader() {
  return Run("command -v node").status == 0 && fs::exists(OracleDir() / "node_modules" / "mdb-reader");
}

bool CheckWithMdbReader() {
  if (HaveMdbReader()) return true;
  // Under Wine the Windows suites cannot start Node: there the reader's checks
  // are the Linux suite's, which runs the same cases.
#ifndef _WIN32
  const char* ci = std::getenv("CI");
  const bool must_have = ci && *ci;
#else
  const bool must_have = false;
#endif
  if (must_have) {
    ADD_FAILURE() << "mdb-reader is missing (node or tools/oracle/node_modules/mdb-reader), which CI always has";
  } else {
    std::cerr << "mdb-reader is not installed: the checks by an independent reader are left out\n";
  }
  return false;
}

static std::vector<std::string> Lines(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.push_back(line);
  return out;
}

static std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    size_t t = line.find('\t', start);
    f.push_back(line.substr(start, t == std::string::npos ? std::string::npos : t - start));
    if (t == std::string::npos) break;
    start = t + 1;
  }
  return f;
}

// tools/oracle/catalog.mjs prints one line per table: name, type, system,
// then database, connect, foreignName as "-" for null or "+" followed by the
// value, then the lv column's nullness ("null"/"set"), then the row count.
std::vector<OracleObject> MdbReaderCatalog(const fs::path& file, const std::string& password) {
  std::string cmd = "node " + ShellQuote((OracleDir() / "catalog.mjs").string()) + " " + ShellQuote(file.string());
  if (!password.empty()) cmd += " " + ShellQuote(password);
  RunResult r = Run(cmd);
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<OracleObject> objects;
  for (const auto& line : Lines(r.out)) {
    auto f = SplitTabs(line);
    if (f.size() < 8) {
      ADD_FAILURE() << "oracle line: " << line;
      continue;
    }
    OracleObject o;
    o.name = f[0];
    o.type = std::stoi(f[1]);
    o.system = f[2] == "system";
    auto col = [](const std::string& v, std::string& out, bool& is_null) {
      is_null = v == "-";
      out = is_null ? "" : v.substr(1);
    };
    col(f[3], o.database, o.database_null);
    col(f[4], o.connect, o.connect_null);
    col(f[5], o.foreign_name, o.foreign_name_null);
    o.lv_null = f[6] == "null";
    o.rows = f[7].empty() ? -1 : std::stoll(f[7]);
    objects.push_back(o);
  }
  return objects;
}

std::vector<std::string> MdbReaderRows(const fs::path& file, const std::string& table) {
  RunResult r = Run("node " + ShellQuote((OracleDir() / "rows.mjs").string()) + " " + ShellQuote(file.string()) + " " +
                    ShellQuote(table));
  EXPECT_EQ(r.status, 0) << r.err;
  return Lines(r.out);
}

std::string MdbExport(const fs::path& file, const std::string& table) {
  RunResult r = Run("mdb-export " + ShellQuote(file.string()) + " " + ShellQuote(table));
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out;
}

}  // namespace testing_support
