#include "json.h"

namespace cli {

namespace {

// A control character as JSON writes it; false for any other.
bool AppendEscapedControl(unsigned char c, std::string& out) {
  switch (c) {
    case '\n': out += "\\n"; return true;
    case '\r': out += "\\r"; return true;
    case '\t': out += "\\t"; return true;
    default:
      if (c >= 0x20) return false;
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
      return true;
  }
}

}  // namespace

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (char ch : s) {
    if (ch == '"') out += "\\\"";
    else if (ch == '\\') out += "\\\\";
    else if (!AppendEscapedControl(static_cast<unsigned char>(ch), out)) out += ch;
  }
  return out + "\"";
}

std::string TerminalText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char ch : s)
    if (!AppendEscapedControl(static_cast<unsigned char>(ch), out)) out += ch;
  return out;
}

std::string JsonOptional(const std::optional<std::string>& s) { return s ? JsonString(*s) : "null"; }

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
  if (text_.size() > 1) text_ += ", ";
  text_ += JsonString(key);
  text_ += ": ";
  text_ += json;
  return *this;
}

std::string JsonArray::Text(std::string_view indent, std::string_view close_indent) const {
  if (items_.empty()) return "[]";
  std::string out = "[";
  for (size_t i = 0; i < items_.size(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    out += indent;
    out += items_[i];
  }
  out += "\n";
  out += close_indent;
  return out + "]";
}

}  // namespace cli
