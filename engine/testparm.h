// Samba's own reading of its configuration. `testparm -s FILE` prints the
// configuration as the server takes it (includes followed, `copy =`
// applied, sections of the same name merged, substitutions in the names of
// included files made), in smb.conf's own syntax, leaving out every
// parameter that equals its default. Running it is a POSIX concern: on
// Windows there is no Samba, and no program is ever found.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "engine/failures.h"

namespace engine {

struct TestparmRun {
  enum class Outcome {
    kPrinted,  // it ended with status 0: `output` holds what it printed
    kAbsent,   // no program at that name (Samba is not installed)
    kFailed,   // see `failure`
  };
  Outcome outcome = Outcome::kFailed;
  std::string output;
  // Why it gave nothing to read: it could not be started, ended with
  // another status (then its own complaint on stderr follows), ran past
  // the timeout, printed more than the limit.
  Phrase failure;
};

// Runs `program -s conf` with an argument vector (no shell), standard input
// from /dev/null, in a process group of its own. Its standard error is kept
// for `failure` (its first 64 KiB). A run longer than `timeout`, or one
// printing more than `max_output` bytes, is killed with the whole group,
// so that a hung testparm cannot hang the caller, and is a failure.
TestparmRun RunTestparm(const std::string& program, const std::string& conf, std::chrono::milliseconds timeout,
                        size_t max_output);

}  // namespace engine
