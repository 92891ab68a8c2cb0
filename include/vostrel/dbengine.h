// DBEngine: the one engine object of the process. Created at first use and
// kept until the process ends.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "vostrel/env.h"
#include "vostrel/paths.h"

namespace engine {

class Database;
struct DatabaseImpl;

// What the engine has done to files since the process started; tests and
// benchmarks read these to prove what an operation costs.
struct IoCounters {
  uint64_t pages_read = 0;
  uint64_t pages_written = 0;
  uint64_t syncs = 0;
};

class DBEngine {
 public:
  static DBEngine& Instance();

  // Opens a database file by name. A name without a folder is looked up in the
  // process's working directory; names are matched without regard to case
  // where no file has exactly the given name; a backslash separates folders.
  // Throws EngineError.
  std::unique_ptr<Database> OpenDatabase(const std::string& name);
  // The same through `env`: the file, its back-ends and every change made to
  // it are opened and written through that Env.
  std::unique_ptr<Database> OpenDatabase(Env& env, const std::string& name);
  // OpenDatabase with what DAO's takes after the name:
  // - `exclusive` (DAO's Options): true is refused (3001): vostrel never
  //   keeps a file from the desktop program's sessions;
  // - `read_only`: nothing is stored through this Database (a change is 3027);
  // - `connect`: a connect text, ";PWD=geslo" (its kind, before the first
  //   ";", empty or "MS Access", else 3170), read as a link string is
  //   (ParseLinkString): its PWD= is the database password, none without it.
  //   A password holding ";" cannot be given so. A file that has a password
  //   opens only with it (none, or another: 3031). The defaults of the
  //   overloads above are false, false, "".
  std::unique_ptr<Database> OpenDatabase(const std::string& name, bool exclusive, bool read_only,
                                         const std::string& connect);
  std::unique_ptr<Database> OpenDatabase(Env& env, const std::string& name, bool exclusive, bool read_only,
                                         const std::string& connect);

  // OpenDatabase for a name given as a link gives its back-end's: a Windows
  // path (a drive, a share) opens the local file the path map makes of it,
  // so that an administrator names a front-end as its users do. One that
  // nothing here reaches is 3044 with the map entry that would reach it.
  std::unique_ptr<Database> OpenMapped(Env& env, const std::string& name);
  // The same with a connect text, as OpenDatabase takes it.
  std::unique_ptr<Database> OpenMapped(Env& env, const std::string& name, const std::string& connect);

  IoCounters Counters() const;

  // The path map through which every back-end named by a link is found: a
  // Windows path an entry covers opens the local file it maps to; the link
  // stays as it is. Read from DefaultMapSources through `env` at first use
  // unless SetMap came first (Samba's shares later, through the same Env,
  // which must outlive the engine's use of the map); Map() reads through
  // Env::Default(). Throws EngineError 3001 for a bad entry. What Map
  // returns holds until the next SetMap.
  //
  // A database keeps the map the engine had when it was opened, its
  // back-ends' too: a SetMap after that is for databases opened after it,
  // so that one relink never finds its back-ends through two maps. One
  // opened while the engine had no map reads its own, through its Env,
  // when it first needs it.
  const PathMap& Map(Env& env);
  const PathMap& Map();
  void SetMap(PathMap map);

  // Where a link's back-end path is on this machine: through the map, then
  // resolved through `env` as OpenDatabase resolves a name (the file need
  // not exist). None where it is a Windows path that nothing here reaches.
  // The overload without an Env resolves through Env::Default().
  std::optional<std::string> LocalPath(Env& env, const std::string& link_path);
  std::optional<std::string> LocalPath(const std::string& link_path);

  // How Windows clients name a local folder, by the map ("/srv/baze/app" ->
  // "\\streznik\baze\app"); none where no entry covers it or the folder
  // is not a local absolute path.
  std::optional<std::string> WindowsFolder(const std::string& local_folder);

 private:
  DBEngine() = default;
  std::unique_ptr<Database> Opened(std::unique_ptr<DatabaseImpl> impl, bool read_only) const;
  std::shared_ptr<const PathMap> map_;  // null until read or set
};

}  // namespace engine
