#include "start_up_text.h"

namespace linkform {

std::string TrimSpaces(const std::string& text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// Bytes compare unsigned, and UTF-8 keeps the order of character codes.
bool SortsAfterSpace(const std::string& text) { return text.compare(" ") > 0; }

}  // namespace linkform
