#include "json.h"

namespace cli {

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
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
