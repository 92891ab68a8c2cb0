// What --version prints: the program's version, one definition for every
// program (CMake's project version), and the source it was built from.
#pragma once

#include <string>

namespace platform {

// "vostrel-cli 1.00" and, on a line of its own in the user's language, where
// the build came from: the git revision CMake found when it configured the
// build ("built from git d98f17c"), or a source release where it found none.
std::string VersionText(const std::string& program);

}  // namespace platform
