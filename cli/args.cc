#include "args.h"

#include <algorithm>
#include <iostream>

#include "platform/messages.h"

namespace cli {

using platform::Fill;
using platform::Translate;

UsageError::UsageError(const char* english) : std::runtime_error(Translate(english)) {}

std::optional<std::string> ParsedArgs::Value(const std::string& option) const {
  auto it = values.find(option);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

ParsedArgs ParseArgs(const Args& args, const std::vector<OptionSpec>& options) {
  ParsedArgs parsed;
  bool options_end = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // "-" alone is a name, not an option.
    if (options_end || a.size() < 2 || a[0] != '-') {
      parsed.files.push_back(a);
      continue;
    }
    if (a == "--") {
      options_end = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      parsed.help = true;
      continue;
    }
    const size_t equals = a.find('=');
    const std::string name = a.substr(0, equals);
    auto option = std::find_if(options.begin(), options.end(), [&](const OptionSpec& o) { return o.name == name; });
    if (option == options.end()) throw UsageError(Fill(Translate("unknown option '%1'"), {name}));
    if (parsed.flags.count(name) || parsed.values.count(name)) throw UsageError(Fill(Translate("%1 is given twice"), {name}));
    if (!option->takes_value) {
      if (equals != std::string::npos) throw UsageError(Fill(Translate("%1 takes no value"), {name}));
      parsed.flags.insert(name);
    } else if (equals != std::string::npos) {
      parsed.values[name] = a.substr(equals + 1);
    } else {
      // The next argument is the value whatever it looks like: an empty link
      // string or a path that starts with "-" are values too.
      if (i + 1 == args.size()) throw UsageError(Fill(Translate("%1 needs a value"), {name}));
      parsed.values[name] = args[++i];
    }
  }
  return parsed;
}

std::optional<int> ParseCommandArgs(const Args& args, const std::string& command, const char* usage,
                                    const std::vector<OptionSpec>& options, ParsedArgs& parsed,
                                    const std::function<void(const ParsedArgs&)>& check) {
  try {
    parsed = ParseArgs(args, options);
    if (check) check(parsed);
  } catch (const UsageError& e) {
    std::cerr << "vostrel-cli " << command << ": " << e.what() << "\n\n" << Translate(usage);
    return 2;
  }
  if (parsed.help) {
    std::cout << Translate(usage);
    return 0;
  }
  return std::nullopt;
}

}  // namespace cli
