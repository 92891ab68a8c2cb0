#include "engine/paths/source_text.h"

#include <cstdint>

#include "engine/failures.h"

namespace engine::paths {

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

void WarnUnreadable(const std::string& path, const SourceText& read) {
  Notice(Say("The path map source '%1' is not read: %2", {path, read.reason}).localized);
}

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

}  // namespace engine::paths
