#include "bench/probe.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "jet/ace_encryption.h"
#include "jet/header.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/paths.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"

namespace bench {
namespace {

const char kPartner[] = "Partner";

long VmHwmKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

// Asks the kernel to forget the file's cached pages, so that the next reads
// go to the disk (or at least below the page cache).
bool Evict(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  const bool ok = fdatasync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
  close(fd);
  return ok;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <typename Operation>
ProbeResult Measure(Operation operation) {
  ProbeResult r;
  const engine::IoCounters before = engine::DBEngine::Instance().Counters();
  const double cpu_before = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  r.link = operation();
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.cpu_seconds = CpuSeconds() - cpu_before;
  const engine::IoCounters after = engine::DBEngine::Instance().Counters();
  r.pages_read = after.pages_read - before.pages_read;
  r.pages_written = after.pages_written - before.pages_written;
  r.syncs = after.syncs - before.syncs;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  r.max_rss_kib = usage.ru_maxrss;
  r.hwm_kib = VmHwmKib();
  return r;
}

int Usage() {
  std::cerr << "usage: vostrel-bench probe idle | open FILE [--evict] | relink FILE LINK [PASSWORD] | relink-opened FILE LINK [PASSWORD] "
               "| derive FILE PASSWORD "
               "| map FILE\n";
  return 2;
}

}  // namespace

std::string FormatProbe(const ProbeResult& r) {
  std::ostringstream out;
  out.precision(9);
  out << "seconds=" << r.seconds << " cpu_seconds=" << r.cpu_seconds << " pages_read=" << r.pages_read << " pages_written=" << r.pages_written
      << " syncs=" << r.syncs << " max_rss_kib=" << r.max_rss_kib << " hwm_kib=" << r.hwm_kib
      << " link=" << r.link;
  return out.str();
}

std::optional<ProbeResult> ParseProbe(const std::string& line) {
  ProbeResult r;
  const size_t link_at = line.find(" link=");
  if (link_at == std::string::npos) return std::nullopt;
  r.link = line.substr(link_at + 6);
  while (!r.link.empty() && (r.link.back() == '\n' || r.link.back() == '\r')) r.link.pop_back();
  std::istringstream fields(line.substr(0, link_at));
  std::string field;
  int seen = 0;
  while (fields >> field) {
    const size_t eq = field.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string key = field.substr(0, eq);
    const std::string value = field.substr(eq + 1);
    if (key == "seconds") r.seconds = std::stod(value);
    else if (key == "cpu_seconds") r.cpu_seconds = std::stod(value);
    else if (key == "pages_read") r.pages_read = std::stoull(value);
    else if (key == "pages_written") r.pages_written = std::stoull(value);
    else if (key == "syncs") r.syncs = std::stoull(value);
    else if (key == "max_rss_kib") r.max_rss_kib = std::stol(value);
    else if (key == "hwm_kib") r.hwm_kib = std::stol(value);
    else continue;
    ++seen;
  }
  if (seen != 7) return std::nullopt;
  return r;
}

int RunProbe(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string& what = args[0];
  try {
    ProbeResult r;
    if (what == "idle" && args.size() == 1) {
      r = Measure([] { return std::string(); });
    } else if (what == "open" && (args.size() == 2 || (args.size() == 3 && args[2] == "--evict"))) {
      const std::string& file = args[1];
      if (args.size() == 3 && !Evict(file)) {
        std::cerr << "vostrel-bench: cannot drop " << file << " from the page cache\n";
        return 1;
      }
      r = Measure([&] {
        std::unique_ptr<engine::Database> db = engine::DBEngine::Instance().OpenDatabase(file);
        return db->TableDefs().Item(kPartner).Connect();
      });
    } else if (what == "relink" && (args.size() == 3 || args.size() == 4)) {
      const std::string connect = args.size() == 4 ? ";PWD=" + args[3] : "";
      r = Measure([&] {
        std::unique_ptr<engine::Database> db =
            engine::DBEngine::Instance().OpenDatabase(jet::Env::Default(), args[1], false, false, connect);
        engine::TableDef& partner = db->TableDefs().Item(kPartner);
        partner.SetConnect(args[2]);
        partner.RefreshLink();
        return partner.Connect();
      });
    } else if (what == "relink-opened" && (args.size() == 3 || args.size() == 4)) {
      // The relink less its open (and so less an encrypted file's key
      // derivation): the catalog read again under the lock, the back-end
      // checked, the pages written and synced.
      const std::string connect = args.size() == 4 ? ";PWD=" + args[3] : "";
      std::unique_ptr<engine::Database> db =
          engine::DBEngine::Instance().OpenDatabase(jet::Env::Default(), args[1], false, false, connect);
      engine::TableDef& partner = db->TableDefs().Item(kPartner);
      r = Measure([&] {
        partner.SetConnect(args[2]);
        partner.RefreshLink();
        return partner.Connect();
      });
    } else if (what == "derive" && args.size() == 3) {
      // The key derivation of an encrypted ACE file alone: what every open
      // of it pays once, apart from the pages it reads.
      std::vector<uint8_t> head(4096);
      jet::Result<std::unique_ptr<jet::File>> file = jet::Env::Default().Open(args[1], jet::OpenMode::kRead);
      if (!file.ok() || !(*file)->ReadAt(0, head).ok()) return Usage();
      jet::Result<jet::Header> header = jet::ParseHeader(head);
      if (!header.ok()) return Usage();
      jet::Result<jet::EncryptionDescriptor> descriptor =
          jet::ParseEncryptionDescriptor(jet::ToggleHeaderMask(head, header->format));
      if (!descriptor.ok()) return Usage();
      r = Measure([&] {
        return std::string(
            jet::UnlockAcePages(jet::Crypto::Default(), *descriptor, header->db_key, args[2]).ok() ? "unlocked" : "refused");
      });
    } else if (what == "map" && args.size() == 2) {
      engine::MapSources sources;  // the one map file, no other source
      sources.map_files = {args[1]};
      r = Measure([&] { return std::to_string(engine::LoadPathMap(engine::Env::Default(), sources).Entries().size()); });
    } else {
      return Usage();
    }
    std::cout << FormatProbe(r) << std::endl;
    return 0;
  } catch (const engine::EngineError& e) {
    std::cout << "Error " << e.number() << ": " << e.description() << std::endl;
    return 1;
  }
}

}  // namespace bench
