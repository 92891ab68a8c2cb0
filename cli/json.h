// JSON for the --json output of the commands: what scripts parse. Values are
// built as nlohmann::ordered_json (members keep the order they are added in:
// scripts and people read them in that order) and written by it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace cli {

using Json = nlohmann::ordered_json;

// A string, or null.
Json OrNull(const std::optional<std::string>& s);

// `value` on one line, without spaces. Text is taken as UTF-8 and written
// as it stands (not as \u escapes); a byte that is not part of valid UTF-8
// (a file name from a system that wrote Latin-2, say) is written as U+FFFD,
// so that the output always parses.
std::string JsonText(const Json& value);

// An array written as its elements come, each on its own line:
// "[\n  " element ",\n  " element "\n]\n" ("[]\n" with none). Appends to `out`,
// which the command writes away when it likes: after each front-end, so
// that a script reads as it goes; a block at a time for a long catalog.
class JsonArrayWriter {
 public:
  explicit JsonArrayWriter(std::string& out) : out_(out) {}
  void Add(const Json& element);
  void End();

 private:
  std::string& out_;
  bool started_ = false;
};

// Text for the commands' text output: control characters escaped as JSON
// escapes them ("\n", "\t", "\u001b"), the rest as it stands ("\" too), so
// that a name read from a file (a lock file's user, a table's name) can
// neither break a line nor drive the terminal.
std::string TerminalText(std::string_view s);

}  // namespace cli
