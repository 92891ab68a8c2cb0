// Any bytes as a database file: open it, list its table definitions, read
// every link and every local table's row count, close. Each input must end
// in a result or an engine error: never a crash, a hang, unbounded memory or
// a read outside a buffer.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"

namespace {

const std::string& ScratchFile() {
  static const std::string path = [] {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/fuzz_open-" + std::to_string(getpid()) + ".mdb";
  }();
  return path;
}

// Registered once the path exists, so that it runs before the path is destroyed.
void RemoveScratchFile() { std::remove(ScratchFile().c_str()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string& path = ScratchFile();
  static const bool removed_at_exit = std::atexit(RemoveScratchFile) == 0;
  (void)removed_at_exit;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  try {
    auto db = engine::DBEngine::Instance().OpenDatabase(path);
    size_t total = 0;
    for (auto& def : db->TableDefs()) {
      total += def->Connect().size();
      try {
        total += static_cast<size_t>(db->RowCount(*def) + 1);
      } catch (const engine::EngineError&) {
        // a broken local table's definition: the others still count
      }
    }
    if (db->TableDefs().Count() > 0) db->TableDefs().Item(db->TableDefs().At(0).Name());
    db->Close();
    if (total == SIZE_MAX) std::abort();  // keeps the reads from being optimised away
  } catch (const engine::EngineError&) {
  }
  return 0;
}
