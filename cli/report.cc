#include <iostream>

#include "cli/commands.h"

namespace cli {

void ReportEngineError(int number, const std::string& description) {
  std::cerr << "Error " << number << ": " << description << "\n";
}

}  // namespace cli
