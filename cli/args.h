// The arguments of a command: options ("--name", "--name VALUE" or
// "--name=VALUE") and the files around them. "--" ends the options, so that
// a file may be named "-x".
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

// Wrong usage: the message says what is wrong; the command prints it with
// its usage text and exits with 2. A literal message is English and shown in
// the user's language (xgettext takes it from "UsageError(...)"); a composed
// one is passed in the user's language already.
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const char* english);
  explicit UsageError(const std::string& localized) : std::runtime_error(localized) {}
};

struct OptionSpec {
  std::string name;  // with its dashes: "--table"
  bool takes_value = false;
};

struct ParsedArgs {
  std::vector<std::string> files;
  std::set<std::string> flags;                 // options without a value that were given
  std::map<std::string, std::string> values;  // options with a value
  bool help = false;                           // --help or -h

  bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
  std::optional<std::string> Value(const std::string& option) const;
};

// Throws UsageError for an unknown option, a missing value or an option
// given twice.
ParsedArgs ParseArgs(const Args& args, const std::vector<OptionSpec>& options);

// What every command does with its arguments before it runs: parses them
// into `parsed` and lets `check` reject what the command does not accept (by
// throwing UsageError). On wrong usage prints "vostrel-cli COMMAND: problem"
// and the usage text to stderr and returns 2; on --help prints the usage and
// returns 0; otherwise returns nothing and the command runs. `usage` is
// English, marked N_, and printed in the user's language.
std::optional<int> ParseCommandArgs(const Args& args, const std::string& command, const char* usage,
                                    const std::vector<OptionSpec>& options, ParsedArgs& parsed,
                                    const std::function<void(const ParsedArgs&)>& check = {});

}  // namespace cli
