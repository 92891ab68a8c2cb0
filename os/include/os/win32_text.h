// Text at the Windows system calls: UTF-16 there, UTF-8 everywhere else.
// Windows only. The one conversion: the Env's, and the programs' through the
// platform library (platform::SystemText, platform::Utf8Text).
#pragma once

#ifdef _WIN32
#include <string>
#include <string_view>

namespace os {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace os
#endif
