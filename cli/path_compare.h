// Back-end paths compared as the desktop platform compares them: a path names
// the same file whatever the case of its letters, and "\" and "/" both
// separate folders.
#pragma once

#include <string_view>

namespace cli {

bool SamePath(std::string_view a, std::string_view b);

}  // namespace cli
