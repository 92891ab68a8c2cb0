// The one place the engine starts a program (Samba's testparm and
// smbstatus): with an argument vector (no shell), standard input from
// /dev/null, in a process group of its own, its output captured, within a
// time limit. Starting programs is a POSIX concern: on Windows no program
// is ever found.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/failures.h"

namespace engine {

struct ProgramRun {
  enum class Outcome {
    kPrinted,  // it ended with status 0: `output` holds what it printed
    kAbsent,   // no program at that name (not installed)
    kFailed,   // see `failure`
  };
  Outcome outcome = Outcome::kFailed;
  // What it printed on standard output; for a failure, what it printed
  // before it ended (empty where it was stopped or never started).
  std::string output;
  // Why it gave nothing to read: it could not be started, ended with
  // another status (then its own complaint on stderr follows), ran past
  // the timeout, printed more than the limit.
  Phrase failure;
};

// Runs `program` with `arguments`. Its standard error is kept for `failure`
// (its first 64 KiB). A run longer than `timeout`, or one printing more than
// `max_output` bytes, is killed with the whole group, so that a hung program
// cannot hang the caller, and is a failure.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      std::chrono::milliseconds timeout, size_t max_output);

}  // namespace engine
