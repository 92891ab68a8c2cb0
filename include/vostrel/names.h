// Names compared as the engine compares them: table names, and file paths
// where only the case of letters is forgiven.
#pragma once

#include <string_view>

namespace engine {

// Equal but for the case of letters (Latin, Greek and Cyrillic), as the
// desktop program compares names.
bool SameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace engine
