#include "json.h"

namespace cli {

Json OrNull(const std::optional<std::string>& s) { return s ? Json(*s) : Json(nullptr); }

std::string JsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void JsonArrayWriter::Add(const Json& element) {
  out_ += started_ ? ",\n  " : "[\n  ";
  started_ = true;
  out_ += JsonText(element);
}

void JsonArrayWriter::End() { out_ += started_ ? "\n]\n" : "[]\n"; }

std::string TerminalText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c >= 0x20) {
          out += ch;
        } else {
          static const char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        }
    }
  }
  return out;
}

}  // namespace cli
