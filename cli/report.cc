#include <iostream>

#include "commands.h"
#include "json.h"
#include "platform/messages.h"

namespace cli {

std::string ErrorLine(int number, const std::string& localized) {
  return platform::Fill(platform::Translate("Error %1: %2"), {std::to_string(number), TerminalText(localized)});
}

void ReportEngineError(int number, const std::string& localized) {
  std::cerr << "vostrel-cli: " << ErrorLine(number, localized) << "\n";
}

void ReportEngineError(const std::string& file, int number, const std::string& localized) {
  std::cerr << "vostrel-cli: " << TerminalText(file) << ": " << ErrorLine(number, localized) << "\n";
}

}  // namespace cli
