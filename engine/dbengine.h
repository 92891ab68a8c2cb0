// DBEngine: the one engine object of the process. Created at first use and
// kept until the process ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/env.h"

namespace engine {

class Database;

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

  IoCounters Counters() const;

 private:
  DBEngine() = default;
};

}  // namespace engine
