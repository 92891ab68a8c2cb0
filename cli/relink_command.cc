#include <iostream>

#include "cli/commands.h"

namespace cli {

int RelinkCommand(const Args&) {
  std::cerr << "vostrel-cli: relink is not available yet\n";
  return 2;
}

}  // namespace cli
