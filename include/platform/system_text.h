// Text where the program meets the system: its arguments, and on Windows
// the UTF-16 of the system's calls. The engine's text is UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The arguments after the program's name. On Windows they come from the
// wide command line (the narrow argv went through the ANSI code page, which
// loses every letter it lacks); the standard streams are then made to carry
// UTF-8 with "\n" line ends, as on Linux, and a console to show UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

#ifdef _WIN32
std::wstring SystemText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);
#endif

}  // namespace platform
