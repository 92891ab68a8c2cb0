#include "password_prompt.h"

#include <windows.h>

#include <cstdio>

#include "platform/system_text.h"

namespace cli {

bool StdinIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

std::optional<std::string> ReadHidden(const std::string& prompt) {
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!::GetConsoleMode(in, &mode)) return std::nullopt;
  // Neither line input nor echo: the console hands over each key as it is
  // typed and shows none; the line is edited here (Backspace), and ends with
  // Enter. Ctrl+Z on an empty line is an end of input. Then the prompt, so
  // that nothing typed after it shows.
  ::SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT | ENABLE_LINE_INPUT));
  // Wine's console takes its Unix terminal out of echo only when input is
  // first asked for: keys typed as the prompt shows, before the first read,
  // would be echoed by that terminal. A peek asks for input and takes none;
  // on Windows it changes nothing.
  INPUT_RECORD record;
  DWORD pending = 0;
  ::PeekConsoleInputW(in, &record, 1, &pending);
  std::fputs(prompt.c_str(), stderr);  // the streams carry UTF-8 (ProgramArguments)
  std::fflush(stderr);
  std::wstring line;
  bool ended = false;
  for (wchar_t c;;) {
    DWORD read = 0;
    if (!::ReadConsoleW(in, &c, 1, &read, nullptr) || read == 0) break;
    if (c == L'\r' || c == L'\n') {
      ended = true;
      break;
    }
    if (c == L'\b') {
      if (!line.empty()) line.pop_back();
    } else if (c == 0x1A && line.empty()) {
      break;
    } else {
      line.push_back(c);
    }
  }
  ::SetConsoleMode(in, mode);
  std::fputs("\n", stderr);
  if (!ended && line.empty()) return std::nullopt;
  return platform::Utf8Text(line);
}

}  // namespace cli
