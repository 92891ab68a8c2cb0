// Running a command line without a shell: the words of the command (as
// ShellQuote quotes them) become the program's arguments, given to
// CreateProcessW. What only a shell can do (pipes, redirection,
// substitution, built-ins such as "command") is not available here: such a
// command fails with 127, as a shell does for a command it cannot find, so
// that tests asking "is node here?" hear no.
#include <windows.h>

#include <fstream>
#include <optional>
#include <sstream>

#include "os/win32_text.h"
#include "tests/support/support.h"

namespace testing_support {

namespace {

// The words of a command line: blanks separate them, '...' and "..." quote,
// a backslash outside quotes takes the next character as it is.
std::optional<std::vector<std::string>> Words(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '\'') {
      const size_t end = command.find('\'', i + 1);
      if (end == std::string::npos) return std::nullopt;
      word += command.substr(i + 1, end - i - 1);
      i = end;
    } else if (c == '"') {
      const size_t end = command.find('"', i + 1);
      if (end == std::string::npos) return std::nullopt;
      const std::string inner = command.substr(i + 1, end - i - 1);
      if (inner.find_first_of("$`\\") != std::string::npos) return std::nullopt;
      word += inner;
      i = end;
    } else if (c == '\\' && i + 1 < command.size()) {
      word += command[++i];
    } else if (std::string_view("|&;<>()$`*?").find(c) != std::string_view::npos) {
      return std::nullopt;  // needs a shell
    } else {
      word += c;
    }
  }
  if (in_word) words.push_back(word);
  if (words.empty() || words[0] == "command" || words[0] == "cd") return std::nullopt;
  return words;
}

// One argument as the C runtime's command-line parser (and
// CommandLineToArgvW) reads it back.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring q = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    q += c;
  }
  q.append(backslashes * 2, L'\\');
  return q + L"\"";
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

HANDLE Inheritable(const fs::path& file, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return ::CreateFileW(file.wstring().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

RunResult Run(const std::string& command, const fs::path& cwd) {
  RunResult r;
  const std::optional<std::vector<std::string>> words = Words(command);
  if (!words) {
    r.status = 127;
    r.err = "no shell here to run: " + command + "\n";
    return r;
  }
  std::wstring line;
  for (const std::string& w : *words) line += (line.empty() ? L"" : L" ") + QuoteArgument(os::WideFromUtf8(w));
  TempDir io;
  HANDLE out = Inheritable(io / "out", GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = Inheritable(io / "err", GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE in = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  const std::wstring dir = cwd.wstring();
  const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        dir.empty() ? nullptr : dir.c_str(), &si, &pi);
  ::CloseHandle(out);
  ::CloseHandle(err);
  ::CloseHandle(in);
  if (!started) {
    r.status = 127;
    r.err = "cannot start: " + command + "\n";
    return r;
  }
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  r.status = static_cast<int>(code);
  r.out = Slurp(io / "out");
  r.err = Slurp(io / "err");
  return r;
}

}  // namespace testing_support
