// Any bytes as a front-end: open it and repoint every linked table at a sound
// back-end, as the window and the cli do. Each input must end in a stored
// link or an engine error: never a crash or a read outside a buffer. And a
// file the engine has written to must open again and read back the link it
// stored: a damaged file is refused before anything is written, never made
// worse.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dbbuilder/cases.h"
#include "dbbuilder/database_writer.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"

namespace {

std::vector<std::string> scratch_files;

void RemoveScratchFiles() {
  for (const std::string& p : scratch_files) std::remove(p.c_str());
}

// A file of this process's own, removed when the run ends.
std::string ScratchPath(const char* what) {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  const std::string p = std::string(dir) + "/fuzz_relink-" + std::to_string(getpid()) + "-" + what;
  if (scratch_files.empty()) std::atexit(RemoveScratchFiles);
  scratch_files.push_back(p);
  return p;
}

// The back-end every link is repointed at: Partner and Artikli, built once.
const std::string& BackEnd() {
  static const std::string path = [] {
    const std::string p = ScratchPath("PARTNER.MDB");
    if (!dbbuilder::WriteDatabase(dbbuilder::BackEnd(dbbuilder::FormatVersion::kJet4), p).ok()) std::abort();
    return p;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath("MLQ.mdb");
  const std::string link = ";DATABASE=" + BackEnd();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  std::vector<std::string> stored;
  try {
    auto db = engine::DBEngine::Instance().OpenDatabase(path);
    std::vector<std::string> linked;
    for (auto& def : db->TableDefs())
      if (!def->Connect().empty()) linked.push_back(def->Name());
    for (const std::string& name : linked) {
      try {
        engine::TableDef& def = db->TableDefs().Item(name);
        def.SetConnect(link);
        def.RefreshLink();
        stored.push_back(name);
      } catch (const engine::EngineError&) {
        // refused: the file is as it was
      }
    }
    db->Close();
  } catch (const engine::EngineError&) {
    return 0;
  }
  if (stored.empty()) return 0;

  // What was stored reads back, from a file that still opens.
  try {
    auto db = engine::DBEngine::Instance().OpenDatabase(path);
    for (const std::string& name : stored)
      if (db->TableDefs().Item(name).Connect() != link) {
        std::fprintf(stderr, "the link of %s reads back otherwise\n", name.c_str());
        std::abort();
      }
    db->Close();
  } catch (const engine::EngineError& e) {
    std::fprintf(stderr, "a front-end written to no longer opens: %s\n", e.what());
    std::abort();
  }
  return 0;
}
