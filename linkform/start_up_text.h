// How load reads the argument text (UTF-8).
#pragma once

#include <string>

namespace linkform {

// Removes spaces, and only spaces, at both ends; a tab stays.
std::string TrimSpaces(const std::string& text);

// Whether the text sorts after " " by character codes: not empty, and its
// first character's code is above 32. That is what makes an argument count.
bool SortsAfterSpace(const std::string& text);

}  // namespace linkform
