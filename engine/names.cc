#include "vostrel/names.h"

#include "jet/text.h"
#include "jet/windows_path.h"

namespace engine {
namespace {

// "Z:" alone is the drive, as a folder given on a command line means it;
// "Z:x" stays relative to the drive's working folder.
std::optional<jet::WindowsPath> Place(std::string_view text) {
  std::optional<jet::WindowsPath> p = jet::ParseWindowsPath(text);
  if (p && p->root == jet::WindowsRootKind::kDriveRelative && p->components.empty() && !p->verbatim)
    p->root = jet::WindowsRootKind::kDrive;
  if (p) *p = p->Normalized();
  return p;
}

}  // namespace

bool SameIgnoringCase(std::string_view a, std::string_view b) { return jet::EqualsIgnoreCase(a, b); }

std::optional<std::vector<std::string>> PathBeneath(std::string_view folder, std::string_view path) {
  const std::optional<jet::WindowsPath> outer = Place(folder), inner = Place(path);
  if (!outer || !inner || !outer->Covers(*inner)) return std::nullopt;
  return std::vector<std::string>(inner->components.begin() + static_cast<std::ptrdiff_t>(outer->components.size()),
                                  inner->components.end());
}

}  // namespace engine
