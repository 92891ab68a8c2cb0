// Passwords in what the commands print. A link string may hold its
// back-end's password (";PWD=geslo"); every output of a link (text and
// --json, of list, check, scan and relink) shows it as "PWD=***" unless the
// user asks for it with --show-passwords, so that logs and scrollback keep
// none. What is stored never changes.
#pragma once

#include <string>
#include <string_view>

#include "args.h"
#include "front_end.h"

namespace cli {

inline const OptionSpec kShowPasswords{"--show-passwords", false};

// A link string as printed: masked (engine::MaskPasswords) unless `show`.
std::string Shown(std::string_view link, bool show);

// The reports as printed: each link string in them shown so.
FrontEndCheck Shown(FrontEndCheck report, bool show);
FrontEndRelink Shown(FrontEndRelink report, bool show);

}  // namespace cli
