// Entries the user writes: on the command line, in VOSTREL_MAP, in map files.
#include "engine/paths/sources.h"

#include "engine/failures.h"
#include "engine/paths/source_text.h"

namespace engine::paths {
namespace {

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

}  // namespace

void AddCommandLineEntries(PathMap& map, const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) AddEntry(map, entry, "--map", [] { return Phrase{"--map", "--map"}; });
}

void AddVariableEntries(PathMap& map, std::string_view variable) {
  std::string entry;
  int n = 0;
  for (size_t i = 0; i <= variable.size(); ++i) {
    const char c = i < variable.size() ? variable[i] : '\n';
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

void AddMapFile(jet::Env& env, PathMap& map, const std::string& path) {
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

}  // namespace engine::paths
