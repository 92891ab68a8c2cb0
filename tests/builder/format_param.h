// A format as a parameterized test prints it: by its name, not as the bytes
// of an enum.
#pragma once

#include <ostream>

#include "dbbuilder/format.h"

namespace dbbuilder {

inline void PrintTo(FormatVersion format, std::ostream* os) { *os << FormatName(format); }

}  // namespace dbbuilder
