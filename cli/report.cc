#include <iostream>

#include "cli/commands.h"
#include "cli/json.h"
#include "engine/messages.h"

namespace cli {

std::string ErrorLine(int number, const std::string& localized) {
  return engine::Fill(engine::Translate("Error %1: %2"), {std::to_string(number), TerminalText(localized)});
}

void ReportEngineError(int number, const std::string& localized) { std::cerr << ErrorLine(number, localized) << "\n"; }

}  // namespace cli
