#include "vostrel/map_sources.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "vostrel/error.h"
#include "engine/failures.h"
#include "engine/testparm.h"
#include "platform/messages.h"
#include "jet/text.h"
#include "jet/windows_path.h"

namespace engine {
namespace {

constexpr size_t kMaxSourceFile = 4 << 20;  // larger is no configuration file

std::string Trim(std::string_view s) {
  const size_t begin = s.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return {};
  const size_t end = s.find_last_not_of(" \t\r");
  return std::string(s.substr(begin, end - begin + 1));
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

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
SourceText ReadText(jet::Env& env, const std::string& path) {
  auto file = env.Open(path, jet::OpenMode::kRead);
  if (!file.ok()) return {std::nullopt, env.Stat(path).ok(), file.status().message()};
  std::string text;
  std::vector<uint8_t> block(64 * 1024);
  for (;;) {
    auto n = (*file)->ReadUpTo(text.size(), block);
    if (!n.ok()) return {std::nullopt, true, n.status().message()};
    if (*n == 0) break;
    if (text.size() + *n > kMaxSourceFile)
      return {std::nullopt, true, "larger than " + std::to_string(kMaxSourceFile) + " bytes", true};
    text.append(reinterpret_cast<const char*>(block.data()), *n);
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  return {std::move(text), true, {}, false};
}

// A source file that is there but cannot be read: a folder in its place, a
// FIFO, a file without read permission. Said, not fatal: the other sources
// still count.
void WarnUnreadable(const std::string& path, const SourceText& read) {
  Notice(Say("The path map source '%1' is not read: %2", {path, read.reason}).localized);
}

// "WINPREFIX=LOCALDIR", spaces around either side allowed. `source` names
// the entry's source as the map lists it; `where` gives it in the user's
// language too, made only for a failure.
template <typename Where>
void AddEntry(PathMap& map, std::string_view entry, std::string source, const Where& where) {
  const size_t equals = entry.find('=');
  if (equals == std::string::npos)
    throw BadMapEntry(where(), std::string(entry), Say("it has no \"=\" between the Windows prefix and the local folder"));
  const std::string prefix = Trim(entry.substr(0, equals));
  const std::string local = Trim(entry.substr(equals + 1));
  if (local.empty()) throw BadMapEntry(where(), std::string(entry), Say("the local folder is missing"));
  if (local[0] != '/') throw BadMapEntry(where(), std::string(entry), Say("the local folder must be an absolute path"));
  if (!IsWindowsRooted(prefix) || !map.Add(PathMapEntry{prefix, local, std::move(source)}))
    throw BadMapEntry(where(), std::string(entry),
                      Say("'%1' is not a drive (Z:) or a share (\\\\server\\share), with or without folders", {prefix}));
}

void ReadMapFile(jet::Env& env, PathMap& map, const std::string& path) {
  const SourceText read = ReadText(env, path);
  // The user's own map, cut or left out, would send links elsewhere unsaid.
  if (read.too_large) throw SourceTooLarge(path, kMaxSourceFile);
  if (!read.text) {
    if (read.there) WarnUnreadable(path, read);
    return;
  }
  const std::string& text = *read.text;
  size_t number = 0;
  for (size_t at = 0; at <= text.size(); ++number) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(std::string_view(text).substr(at, end - at));
    at = end + 1;
    if (line.empty() || line[0] == '#') continue;
    const std::string n = std::to_string(number + 1);
    AddEntry(map, line, path + " line " + n, [&] { return Say("%1 line %2", {path, n}); });
  }
}

// ----- Samba

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

// Samba ignores case, spaces and underscores in parameter names.
std::string ParameterName(std::string_view key) {
  std::string out;
  for (char c : key)
    if (c != ' ' && c != '\t' && c != '_') out += c;
  return Lower(out);
}

// Samba reads every run of blanks in a value, or in a section's name, as one
// space ("/srv/a  b" is "/srv/a b").
std::string Collapsed(std::string_view s) {
  std::string out;
  for (char c : s) {
    const bool blank = c == ' ' || c == '\t' || c == '\r';
    if (!blank) out += c;
    else if (out.empty() || out.back() != ' ') out += ' ';
  }
  return out;
}

// The items of a list parameter: separated by blanks, "," or ";"; a
// double-quoted item may hold them.
std::vector<std::string> ListItems(std::string_view value) {
  std::vector<std::string> items;
  std::string item;
  bool quoted = false;
  for (char c : value) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ' ' || c == '\t' || c == ',' || c == ';')) {
      if (!item.empty()) items.push_back(std::move(item));
      item.clear();
    } else {
      item += c;
    }
  }
  if (!item.empty()) items.push_back(std::move(item));
  return items;
}

bool Yes(const std::string& value) {
  const std::string v = Lower(value);
  return v == "yes" || v == "true" || v == "1" || v == "on";
}

// Sets one of the share parameters the map needs; false for another.
bool SetShareParameter(SmbShare& share, const std::string& name, const std::string& value, const std::string& file) {
  if (name == "path" || name == "directory") {
    share.path = value;
    share.file = file;
    share.given.insert("path");
  } else if (name == "printable" || name == "printok") {
    share.printable = Yes(value);
    share.given.insert("printable");
  } else if (name == "available") {
    share.available = Yes(value);
    share.given.insert("available");
  } else {
    return false;
  }
  return true;
}

// `copy = from`: what `from` holds now, save what `share` gives itself.
void CopyShare(SmbShare& share, const SmbShare& from) {
  if (!share.given.count("path")) {
    share.path = from.path;
    share.file = from.file;
  }
  if (!share.given.count("printable")) share.printable = from.printable;
  if (!share.given.count("available")) share.available = from.available;
}

bool IsGlobal(const std::string& key) { return key.empty() || Trim(key) == "global"; }

void ReadSmbFile(jet::Env& env, const std::string& path, std::set<std::string>& read_already, SmbConf& conf,
                 std::string& section);

// `path` names the file `text` is, for an `include =` that is relative
// and for the entries' sources. `section` is the section the text is in at
// its start, and after it.
void ReadSmbText(jet::Env& env, const std::string& text, const std::string& path, SmbReading reading,
                 std::set<std::string>& read_already, SmbConf& conf, std::string& section) {
  const std::vector<std::string> raw = Lines(text);
  for (size_t i = 0; i < raw.size(); ++i) {
    // A "\" at the end continues the line, the next one joined as it
    // stands, its leading blanks too.
    std::string line = Trim(raw[i]);
    while (!line.empty() && line.back() == '\\' && i + 1 < raw.size()) {
      line.pop_back();
      line = Trim(line + raw[++i]);
    }
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      section = Collapsed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      const std::string key = Lower(section);
      if (!conf.names.count(key)) conf.names[key] = section;
      if (!IsGlobal(key) && !conf.shares.count(key)) {
        SmbShare& share = conf.shares[key] = conf.defaults;
        share.given.clear();
      }
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = ParameterName(line.substr(0, equals));
    const std::string value = Trim(Collapsed(line.substr(equals + 1)));
    const std::string key = Lower(section);
    if (name == "include") {
      // A name with a substitution (%m, %U) differs per client: not ours to guess.
      if (reading == SmbReading::kOwn && !value.empty() && value.find('%') == std::string::npos)
        ReadSmbFile(env, value, read_already, conf, section);
      if (reading == SmbReading::kResolved && !value.empty()) conf.included.push_back(value);
      continue;
    }
    if (IsGlobal(key)) {
      if (name == "netbiosname") {
        conf.netbios_name = Upper(value);  // as Samba keeps it
      } else if (name == "netbiosaliases") {
        conf.aliases = ListItems(value);
      } else {
        SetShareParameter(conf.defaults, name, value, path);
      }
      continue;
    }
    SmbShare& share = conf.shares[key];
    if (SetShareParameter(share, name, value, path) || name != "copy" || reading != SmbReading::kOwn) continue;
    // Samba copies only a share defined before; its own name copies nothing.
    const auto from = conf.shares.find(Lower(value));
    if (from != conf.shares.end() && from->first != key) CopyShare(share, from->second);
  }
}

// `read_already` holds the files read so far: each is read once, so that a
// file that includes itself, or one that includes it, ends there.
void ReadSmbFile(jet::Env& env, const std::string& path, std::set<std::string>& read_already, SmbConf& conf,
                 std::string& section) {
  auto real = env.RealPath(path);
  if (!read_already.insert(real.ok() ? *real : path).second) return;
  const SourceText read = ReadText(env, path);
  if (!read.text) {
    WarnUnreadable(path, read);
    return;
  }
  ReadSmbText(env, *read.text, path, SmbReading::kOwn, read_already, conf, section);
}

// A file as testparm read it: what says it is still the same file with the
// same contents (its identity, size and time), or that it was not there.
struct FileStamp {
  std::string path;
  std::optional<jet::FileInfo> info;
  bool operator==(const FileStamp& o) const {
    if (path != o.path || info.has_value() != o.info.has_value()) return false;
    return !info || (info->device == o.info->device && info->inode == o.info->inode && info->size == o.info->size &&
                     info->modified == o.info->modified);
  }
};

FileStamp StampOf(jet::Env& env, const std::string& path) {
  Result<jet::FileInfo> info = env.Stat(path);
  return FileStamp{path, info.ok() ? std::optional<jet::FileInfo>(*info) : std::nullopt};
}

// What testparm said last in this process, and of which files: a process
// that reads the map again (a batch, the window's next relink) asks it again
// only when smb.conf or a file it includes changed since. Kept in memory
// only: a file would be one more thing to go stale or be planted.
struct TestparmAnswer {
  std::string program;
  std::vector<FileStamp> read;  // smb.conf first, then what it included
  SmbConf conf;
};

std::optional<TestparmAnswer>& LastTestparmAnswer() {
  static std::optional<TestparmAnswer> answer;
  return answer;
}

bool StillAsRead(jet::Env& env, const std::vector<FileStamp>& read) {
  for (const FileStamp& f : read)
    if (!(StampOf(env, f.path) == f)) return false;
  return true;
}

// testparm's reading of the Samba configuration; nothing where it is not
// installed, or where it fails (said in a notice).
std::optional<SmbConf> TestparmConf(jet::Env& env, const MapSources& sources) {
  if (sources.testparm.empty()) return std::nullopt;
  std::optional<TestparmAnswer>& last = LastTestparmAnswer();
  if (last && last->program == sources.testparm && last->read.front().path == sources.smb_conf &&
      StillAsRead(env, last->read))
    return last->conf;
  // Taken before the run: a change while it runs makes the answer stale at once.
  const FileStamp conf_before = StampOf(env, sources.smb_conf);
  const TestparmRun run = RunTestparm(sources.testparm, sources.smb_conf, sources.testparm_timeout, kMaxSourceFile);
  if (run.outcome == TestparmRun::Outcome::kAbsent) return std::nullopt;
  if (run.outcome == TestparmRun::Outcome::kFailed) {
    Notice(Say("%1 could not read the Samba configuration '%2' (%3); its shares are read without it.",
               {sources.testparm, sources.smb_conf, run.failure.localized})
               .localized);
    return std::nullopt;
  }
  SmbConf conf;
  std::string section;
  std::set<std::string> read_already;
  ReadSmbText(env, run.output, sources.smb_conf, SmbReading::kResolved, read_already, conf, section);
  TestparmAnswer answer{sources.testparm, {conf_before}, conf};
  for (const std::string& file : conf.included) answer.read.push_back(StampOf(env, file));
  last = std::move(answer);
  return conf;
}

// The map entries of the Samba server's shares, under each name it answers to.
std::vector<PathMapEntry> SambaShares(jet::Env& env, const MapSources& sources) {
  std::vector<PathMapEntry> entries;
  const SourceText read = ReadText(env, sources.smb_conf);
  if (!read.text) return entries;  // gone since the map was loaded
  std::optional<SmbConf> conf = TestparmConf(env, sources);
  const bool by_testparm = conf.has_value();
  if (!conf) {
    conf.emplace();
    std::string section;
    std::set<std::string> read_already;
    auto real = env.RealPath(sources.smb_conf);
    read_already.insert(real.ok() ? *real : sources.smb_conf);
    ReadSmbText(env, *read.text, sources.smb_conf, SmbReading::kOwn, read_already, *conf, section);
  }
  std::string host;
  if (!sources.host_name_file.empty()) {
    if (std::optional<std::string> text = ReadText(env, sources.host_name_file).text) host = Trim(Lines(*text).front());
  } else if (sources.host_name_from_system) {
    if (Result<std::string> name = env.HostName(); name.ok()) host = *name;
  }
  const std::string short_host = host.substr(0, host.find('.'));
  std::string netbios = conf->netbios_name;
  if (netbios.empty()) netbios = Upper(short_host.substr(0, 15));  // Samba's default: at most 15 characters
  std::vector<std::string> servers = {netbios};
  servers.insert(servers.end(), conf->aliases.begin(), conf->aliases.end());
  for (const std::string& s : {short_host, host, std::string("localhost")}) servers.push_back(s);
  for (const auto& [key, share] : conf->shares) {
    const std::string name = Trim(key);
    if (name == "homes" || name == "printers" || share.printable || !share.available || share.path.empty() ||
        share.path[0] != '/' || share.path.find('%') != std::string::npos)
      continue;
    const std::string& shown = conf->names[key];
    const std::string source = by_testparm ? "testparm [" + shown + "] of " + sources.smb_conf
                                           : "samba [" + shown + "] in " + share.file;
    for (const std::string& server : servers)
      if (!server.empty()) entries.push_back(PathMapEntry{"\\\\" + server + "\\" + shown, share.path, source});
  }
  return entries;
}

// Whether smb.conf can be read is known at once (a named one that cannot
// is an error now); its shares are learnt when a share's path needs them,
// so that a relink to a local path never waits for testparm.
void AddSambaShares(jet::Env& env, PathMap& map, const MapSources& sources) {
  if (sources.smb_conf.empty()) return;
  const SourceText read = ReadText(env, sources.smb_conf);
  if (!read.text) {
    if (sources.smb_conf_named) {
      if (!read.there) throw SambaConfigMissing(sources.smb_conf);
      throw SambaConfigUnreadable(sources.smb_conf, read.reason);
    }
    if (read.there) WarnUnreadable(sources.smb_conf, read);
    return;
  }
  map.Defer([env = &env, sources] { return SambaShares(*env, sources); });
}

// ----- mounts and Wine

// The mount table writes a space as \040 and so on.
std::string Unescape(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        field.substr(i + 1, 3).find_first_not_of("01234567") == std::string_view::npos) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  while ((at = line.find_first_not_of(" \t", at)) != std::string::npos) {
    const size_t end = line.find_first_of(" \t", at);
    fields.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end;
  }
  return fields;
}

void AddMounts(jet::Env& env, PathMap& map, const MapSources& sources) {
  if (sources.mounts.empty()) return;
  const std::optional<std::string> text = ReadText(env, sources.mounts).text;
  if (!text) return;
  for (const std::string& line : Lines(*text)) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() < 3 || (f[2] != "cifs" && f[2] != "smb3" && f[2] != "smbfs")) continue;
    // "//server/share" or a folder of it, as a client names it.
    std::optional<jet::WindowsPath> remote = jet::ParseWindowsPath(Unescape(f[0]));
    if (!remote || remote->root != jet::WindowsRootKind::kShare || remote->verbatim) continue;
    jet::WindowsPath place = remote->Normalized();
    place.trailing_separator = false;
    std::string share = place.Text();
    if (place.components.empty()) share.pop_back();  // a share's root ends in a separator; a prefix does not
    const std::string mount_point = Unescape(f[1]);
    map.Add(PathMapEntry{share, mount_point, "mount " + mount_point + " in " + sources.mounts});
  }
}

void AddWineDrives(jet::Env& env, PathMap& map, const MapSources& sources) {
  if (sources.dosdevices.empty()) return;
  auto names = env.ListDir(sources.dosdevices);
  if (!names.ok()) return;
  std::vector<std::string> drives;
  for (const std::string& n : *names) {
    if (n.size() == 2 && n[1] == ':' && ((n[0] >= 'a' && n[0] <= 'z') || (n[0] >= 'A' && n[0] <= 'Z')))
      drives.push_back(n);
  }
  std::sort(drives.begin(), drives.end());
  for (const std::string& d : drives) {
    const std::string link = sources.dosdevices + "/" + d;
    auto info = env.Stat(link);
    if (!info.ok() || info->kind != jet::FileKind::kDirectory) continue;
    auto target = env.RealPath(link);
    if (!target.ok()) continue;
    map.Add(PathMapEntry{Upper(d), *target, "wine " + link});
  }
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

MapSources DefaultMapSources() {
  MapSources s;
  if (const char* map = std::getenv("VOSTREL_MAP")) s.variable = map;
  const std::string home = Variable("HOME");
  std::string config = Variable("XDG_CONFIG_HOME");
  if (config.empty() && !home.empty()) config = home + "/.config";
  if (!config.empty()) s.map_files.push_back(config + "/vostrel/map");
  s.map_files.push_back("/etc/vostrel/map");
  s.smb_conf = Variable("VOSTREL_SMB_CONF");
  s.smb_conf_named = !s.smb_conf.empty();
  if (s.smb_conf.empty()) s.smb_conf = "/etc/samba/smb.conf";
#ifndef _WIN32
  s.testparm = "/usr/bin/testparm";  // Debian's samba-common-bin
  if (const char* testparm = std::getenv("VOSTREL_TESTPARM")) s.testparm = testparm;  // empty: not asked
#endif
  s.host_name_from_system = true;
  s.mounts = "/proc/self/mounts";
  std::string wine = Variable("WINEPREFIX");
  if (wine.empty() && !home.empty()) wine = home + "/.wine";
  if (!wine.empty()) s.dosdevices = wine + "/dosdevices";
  return s;
}

PathMap LoadPathMap(jet::Env& env, const MapSources& sources) {
  PathMap map;
  for (const std::string& entry : sources.command_line)
    AddEntry(map, entry, "--map", [] { return Phrase{"--map", "--map"}; });
  if (sources.variable) {
    std::string entry;
    int n = 0;
    for (size_t i = 0; i <= sources.variable->size(); ++i) {
      const char c = i < sources.variable->size() ? (*sources.variable)[i] : '\n';
      if (c != '\n' && c != ';') {
        entry += c;
        continue;
      }
      if (!Trim(entry).empty()) {
        const Phrase where = Say("VOSTREL_MAP entry %1", {std::to_string(++n)});
        AddEntry(map, Trim(entry), where.english, [&] { return where; });
      }
      entry.clear();
    }
  }
  for (const std::string& file : sources.map_files) ReadMapFile(env, map, file);
  AddSambaShares(env, map, sources);
  AddMounts(env, map, sources);
  AddWineDrives(env, map, sources);
  return map;
}

}  // namespace engine
