// Names compared as the engine compares them: table names, and the paths
// links hold, compared as Windows compares them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Equal but for the case of letters (Latin, Greek and Cyrillic), as the
// desktop program compares names.
bool SameIgnoringCase(std::string_view a, std::string_view b);

// Where `path` lies beneath `folder`, both taken as Windows paths ("\" and
// "/" alike, empty components none, "." and ".." folded as a client folds
// them): the components of `path` that follow `folder`'s, as `path` writes
// them; empty where both name the same place. None where `path` is not
// `folder` or beneath it (roots and whole components compared without
// regard to case: "\\s\baze2\X" is not beneath "\\s\baze"), and where either
// cannot be a Windows path.
std::optional<std::vector<std::string>> PathBeneath(std::string_view folder, std::string_view path);

}  // namespace engine
