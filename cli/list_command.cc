#include <iostream>

#include "cli/commands.h"

namespace cli {

int ListCommand(const Args&) {
  std::cerr << "vostrel-cli: list is not available yet\n";
  return 2;
}

}  // namespace cli
