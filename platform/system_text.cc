#include "platform/system_text.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "os/win32_text.h"
#endif

namespace platform {

#ifdef _WIN32
std::wstring SystemText(std::string_view utf8) { return os::WideFromUtf8(utf8); }
std::string Utf8Text(std::wstring_view wide) { return os::Utf8FromWide(wide); }
#endif

std::vector<std::string> ProgramArguments(int argc, char** argv) {
#ifdef _WIN32
  (void)argc, (void)argv;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Utf8Text(wide[i]));
  ::LocalFree(wide);
  // Scripts and the JSON read the same bytes on every platform: no "\r"
  // before each "\n".
  ::SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  return args;
#else
  return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

}  // namespace platform
