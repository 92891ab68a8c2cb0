#include "vostrel/database_file.h"

#include <vector>

#include "jet/header.h"

namespace engine {

bool IsDatabaseFile(jet::Env& env, const std::string& path) {
  auto file = env.OpenEntry(path);
  if (!file.ok()) return false;
  std::vector<uint8_t> head(4096);
  auto n = (*file)->ReadUpTo(0, head);
  if (!n.ok()) return false;
  head.resize(*n);
  return jet::ParseHeader(head).ok();
}

}  // namespace engine
