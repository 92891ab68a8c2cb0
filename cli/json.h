// JSON text for the --json output of the commands: what scripts parse.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// A JSON string literal. Text is UTF-8 and passed through; quotes,
// backslashes and control characters are escaped.
std::string JsonString(std::string_view s);

// Text for the commands' text output: control characters escaped as
// JsonString escapes them ("\n", "\t", "\u001b"), the rest as it stands
// ("\" too), so that a name read from a file (a lock file's user, a table's
// name) can neither break a line nor drive the terminal.
std::string TerminalText(std::string_view s);

// A string literal, or null.
std::string JsonOptional(const std::optional<std::string>& s);

// One JSON object, its members in the order added: {"a": 1, "b": "x"}.
class JsonObject {
 public:
  JsonObject& Add(std::string_view key, const std::string& text) { return Raw(key, JsonString(text)); }
  JsonObject& Add(std::string_view key, const std::optional<std::string>& text) { return Raw(key, JsonOptional(text)); }
  JsonObject& Add(std::string_view key, const char* text) { return Raw(key, JsonString(text)); }
  JsonObject& Add(std::string_view key, long long number) { return Raw(key, std::to_string(number)); }
  JsonObject& Add(std::string_view key, int number) { return Raw(key, std::to_string(number)); }
  JsonObject& Add(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }
  // A value that is JSON text already (an object, an array, null).
  JsonObject& Raw(std::string_view key, std::string_view json);

  std::string Text() const { return text_ + "}"; }

 private:
  std::string text_ = "{";
};

// Items that are JSON text already, as an array with one item per line.
class JsonArray {
 public:
  void Add(std::string item) { items_.push_back(std::move(item)); }
  // "[]", or "[\n" + indent + item + ",\n" ... + "\n" + close_indent + "]".
  std::string Text(std::string_view indent = "  ", std::string_view close_indent = "") const;

 private:
  std::vector<std::string> items_;
};

}  // namespace cli
