// smb.conf as far as the map needs it: the server's names and each share's
// path, whether it is a printer and whether it is available. One reader for
// two texts: smb.conf itself, read as Samba reads it (this program's own
// reading: `include =` followed, `copy =` applied), and testparm's output,
// which has both done already. Internal to the paths module.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "jet/env_names.h"

namespace engine::paths {

// What a share's parameters say, as far as the map needs them.
struct SmbShare {
  std::string path;
  std::string file;  // where `path` was given
  bool printable = false;
  bool available = true;
  // The parameters its own sections give: a `copy =` leaves them as they
  // are, wherever it stands, as Samba's does.
  std::set<std::string> given;
};

struct SmbConf {
  std::string netbios_name;
  std::vector<std::string> aliases;
  SmbShare defaults;  // what [global] gives: where every share starts
  std::map<std::string, SmbShare> shares;    // by name, in lower case
  std::map<std::string, std::string> names;  // lower case -> as first written
  std::vector<std::string> included;         // the files testparm says it read besides smb.conf
};

// How a text is read: this program's own reading follows `include =` and
// `copy =`; testparm's output has both done already (its `include =` lines
// only say which files were read).
enum class SmbReading { kOwn, kResolved };

// Reads `text` into `conf`. `path` names the file `text` is, for an
// `include =` that is relative and for the entries' sources. `section` is
// the section the text is in at its start, and after it. `read_already`
// holds the files read so far (by their real path): each is read once, so
// that a file that includes itself, or one that includes it, ends there.
// An included file that cannot be read is said in a notice.
void ReadSmbText(jet::Env& env, const std::string& text, const std::string& path, SmbReading reading,
                 std::set<std::string>& read_already, SmbConf& conf, std::string& section);

// smb.conf as this program reads it: `text` is the file at `path`.
SmbConf OwnSmbConf(jet::Env& env, const std::string& text, const std::string& path);

}  // namespace engine::paths
