// Samba's own reading of its configuration. `testparm -s FILE` prints the
// configuration as the server takes it (includes followed, `copy =`
// applied, sections of the same name merged, substitutions in the names of
// included files made), in smb.conf's own syntax, leaving out every
// parameter that equals its default.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "engine/run_program.h"

namespace engine {

using TestparmRun = ProgramRun;

// Runs `program -s conf` through RunProgram; a timeout or more output than
// `max_output` is a failure.
TestparmRun RunTestparm(const std::string& program, const std::string& conf, std::chrono::milliseconds timeout,
                        size_t max_output);

}  // namespace engine
