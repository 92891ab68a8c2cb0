#include <iostream>

#include "cli/commands.h"

namespace cli {

// Checking every link of many front-ends comes with the scripting commands.
int CheckCommand(const Args&) {
  std::cerr << "vostrel-cli: check is not available yet\n";
  return 2;
}

}  // namespace cli
