// Samba's own reading of its configuration. `testparm -s FILE` prints the
// configuration as the server takes it (includes followed, `copy =`
// applied, sections of the same name merged, substitutions in the names of
// included files made), in smb.conf's own syntax, leaving out every
// parameter that equals its default. Internal to the paths module.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "vostrel/paths.h"
#include "engine/paths/smb_conf.h"
#include "engine/run_program.h"

namespace engine::paths {

using TestparmRun = ProgramRun;

// Runs `program -s conf` through RunProgram; a timeout or more output than
// `max_output` is a failure.
TestparmRun RunTestparm(const std::string& program, const std::string& conf, std::chrono::milliseconds timeout,
                        size_t max_output);

// testparm's reading of `sources.smb_conf` (by `sources.testparm`); none
// where no testparm is named or installed, or where it fails (said in a
// notice). What it said is kept for the process: it is asked again only
// once smb.conf or a file it includes changed (device, inode, size, time).
std::optional<SmbConf> TestparmConf(jet::Env& env, const MapSources& sources);

}  // namespace engine::paths
