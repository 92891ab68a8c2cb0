#include "path_compare.h"

#include <string>

#include "vostrel/names.h"

namespace cli {
namespace {

std::string ForwardSlashes(std::string_view path) {
  std::string out(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

}  // namespace

// Only the separators and the case of letters are forgiven: "C:\a\..\b" and
// "C:\b" differ, as they do when the platform compares names.
bool SamePath(std::string_view a, std::string_view b) {
  return engine::SameIgnoringCase(ForwardSlashes(a), ForwardSlashes(b));
}

}  // namespace cli
