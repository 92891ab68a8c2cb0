// Back-end paths compared as the desktop platform compares them: a path names
// the same file whatever the case of its letters, "\" and "/" both separate
// folders, and "." and ".." are folded as a client folds them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cli {

bool SamePath(std::string_view a, std::string_view b);

// Whether `path` is `place` or lies in the folder `place` or below it, by
// whole components (as MovedPath takes `from`).
bool WithinPath(std::string_view path, std::string_view place);

// The path `path` has once the folder (or file) `from` is at `to`: `to`
// followed by what follows `from` in `path`, joined with the separator `to`
// uses ("/" where it has only "/", else "\"). None where `path` is not `from`
// or beneath it (whole components: "\\s\baze2\X" is not beneath "\\s\baze").
std::optional<std::string> MovedPath(std::string_view path, std::string_view from, std::string_view to);

}  // namespace cli
