#include "path_compare.h"

#include "vostrel/names.h"

namespace cli {

// A text that is no Windows path (empty, a device) is the same only as
// itself, but for case.
bool SamePath(std::string_view a, std::string_view b) {
  const auto beneath = engine::PathBeneath(a, b);
  if (beneath) return beneath->empty();
  return !engine::PathBeneath(a, a) && !engine::PathBeneath(b, b) && engine::SameIgnoringCase(a, b);
}

bool WithinPath(std::string_view path, std::string_view place) {
  return engine::PathBeneath(place, path).has_value() || SamePath(path, place);
}

std::optional<std::string> MovedPath(std::string_view path, std::string_view from, std::string_view to) {
  const auto rest = engine::PathBeneath(from, path);
  if (!rest) return std::nullopt;
  const char separator = to.find('/') != std::string_view::npos && to.find('\\') == std::string_view::npos ? '/' : '\\';
  std::string moved(to);
  for (const std::string& component : *rest) {
    if (!moved.empty() && moved.back() != '/' && moved.back() != '\\') moved += separator;
    moved += component;
  }
  return moved;
}

}  // namespace cli
