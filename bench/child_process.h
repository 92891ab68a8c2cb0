// Running one measured process: wall time from start to exit, and the peak
// memory the kernel reports for it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bench {

struct ProcessOptions {
  std::string cwd;                       // empty: the bench's own
  std::vector<std::string> extra_env;    // "NAME=value", added to the bench's environment
  bool capture_stdout = false;           // else standard output goes to /dev/null
  std::string stderr_path;               // empty: /dev/null
  double timeout_seconds = 120;          // then the process is killed
};

struct ProcessResult {
  bool started = false;
  bool timed_out = false;
  int exit_code = -1;       // -1 unless it exited normally
  double seconds = 0;       // from just before the start to the exit
  long max_rss_kib = 0;     // ru_maxrss of the process
  std::string out;          // standard output, when captured (small outputs only)

  bool ok() const { return started && !timed_out && exit_code == 0; }
};

// Runs argv[0] (a path) with its arguments and waits for it to end.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// The peak resident memory of one more run of argv, as GNU time (a small
// process of its own) reports it. A child's ru_maxrss starts at its
// parent's peak, so measured straight from the bench it could never read
// below the bench's own few MiB; under GNU time the floor is about 1 MiB.
// `report_path` is a scratch file for time's output. 0 when it fails.
long PeakRssViaTime(const std::vector<std::string>& argv, const ProcessOptions& options,
                    const std::string& report_path);

// A one-line account of a failed run, for error messages.
std::string Describe(const std::vector<std::string>& argv, const ProcessResult& r);

}  // namespace bench
