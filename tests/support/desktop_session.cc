#include "tests/support/desktop_session.h"

#ifdef _WIN32
#include "os/win32_text.h"

namespace testing_support {

DesktopSession::DesktopSession(const fs::path& database, const std::string& machine, const std::string& user) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE child_in = nullptr, child_out = nullptr, output = nullptr;
  if (!::CreatePipe(&child_in, &input_, &inherit, 0) || !::CreatePipe(&output, &child_out, &inherit, 0)) return;
  // Only the child's ends are inherited.
  ::SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = child_in;
  si.hStdOutput = child_out;
  si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  std::wstring line = L"\"" + Program("desktop-session").wstring() + L"\" \"" + database.wstring() + L"\" " +
                      os::WideFromUtf8(machine) + L" " + os::WideFromUtf8(user);
  const bool started =
      ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &process_);
  ::CloseHandle(child_in);
  ::CloseHandle(child_out);
  if (started) {
    std::string said;
    char c;
    DWORD n = 0;
    while (said.size() < 64 && ::ReadFile(output, &c, 1, &n, nullptr) && n == 1 && c != '\n') said += c;
    ready_ = said.rfind("ready", 0) == 0;
  }
  ::CloseHandle(output);
}

int DesktopSession::End() {
  if (input_) {
    ::CloseHandle(input_);
    input_ = nullptr;
  }
  if (process_.hProcess) {
    DWORD code = 0;
    if (::WaitForSingleObject(process_.hProcess, 30000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(process_.hProcess, &code))
      status_ = static_cast<int>(code);
    else
      ::TerminateProcess(process_.hProcess, 99);
    ::CloseHandle(process_.hProcess);
    ::CloseHandle(process_.hThread);
    process_ = {};
  }
  return status_;
}

}  // namespace testing_support
#endif  // _WIN32
