// Marks a reason a user reads: the message of a Status that the engine puts
// into its description of a failure, where it goes through the catalogue
// (engine/failures.cc). The mark does nothing to the literal; xgettext
// extracts it (its keyword is listed in po/CMakeLists.txt). jet has no
// catalogue of its own and names no header above it.
#pragma once

#define JET_REASON(english) english
