// The measured side of the benchmarks: one engine operation in a process of
// its own, so that its peak memory is its own. The bench starts
// "vostrel-bench probe ..." and reads back one line of results.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct ProbeResult {
  double seconds = 0;          // the operation alone, without process start
  double cpu_seconds = 0;      // its processor time, user and system (what load on the machine leaves alone)
  uint64_t pages_read = 0;
  uint64_t pages_written = 0;
  uint64_t syncs = 0;
  long max_rss_kib = 0;        // getrusage(RUSAGE_SELF) after the operation
  long hwm_kib = 0;            // VmHWM: this process image's own peak
  std::string link;            // Partner's link string afterwards
};

// "seconds=... pages_read=... ... link=TEXT": the link last, as it may hold spaces.
std::string FormatProbe(const ProbeResult& r);
std::optional<ProbeResult> ParseProbe(const std::string& line);

// Runs a probe in this process and prints its result line; returns the exit status.
//   probe idle                     nothing: the floor of a probe's memory
//   probe open FILE [--evict]      open FILE and read Partner's link; --evict
//                                  first drops FILE from the page cache
//   probe relink FILE LINK         open FILE, set Partner's link, refresh it
//   probe map FILE                 read the path map file FILE alone; "link"
//                                  is the number of entries
int RunProbe(const std::vector<std::string>& args);

}  // namespace bench
