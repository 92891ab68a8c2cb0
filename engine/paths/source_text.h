// What every parser of a map source shares: a source file's whole text,
// read through the Env with a bound, and the few text operations they use.
// Internal to the paths module (engine/paths/).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/env_names.h"

namespace engine::paths {

inline constexpr size_t kMaxSourceFile = 4 << 20;  // larger is no configuration file

// What reading a source file gave.
struct SourceText {
  std::optional<std::string> text;  // none when it could not be read
  // Whether something is at the name, as far as this process can see: a
  // name it cannot even look up (a folder on the way it may not enter) is
  // as good as absent.
  bool there = false;
  std::string reason;  // why not, for a warning
  bool too_large = false;
};

// The whole text of a file, a UTF-8 byte-order mark left out. A file larger
// than any configuration file is not read at all (too_large): cut, it would
// end mid-line in an entry that says something else.
SourceText ReadText(jet::Env& env, const std::string& path);

// A source file that is there but cannot be read: a folder in its place, a
// FIFO, a file without read permission. Said in a notice, not fatal: the
// other sources still count.
void WarnUnreadable(const std::string& path, const SourceText& read);

std::string Trim(std::string_view s);  // blanks and carriage returns at both ends
std::string Lower(std::string s);      // ASCII only, as Samba's names are compared
std::string Upper(std::string s);
std::vector<std::string> Lines(const std::string& text);  // split at "\n"; a last line without one too

}  // namespace engine::paths
