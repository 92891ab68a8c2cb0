#include "engine/testparm.h"

namespace engine {

TestparmRun RunTestparm(const std::string& program, const std::string& conf, std::chrono::milliseconds timeout,
                        size_t max_output) {
  // A name beginning with "-" would be read as an option.
  return RunProgram(program, {"-s", conf.starts_with("-") ? "./" + conf : conf}, timeout, max_output);
}

}  // namespace engine
