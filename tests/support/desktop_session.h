// A session of the desktop program on Windows, played by desktop-session.exe
// (tests/windows/desktop_session.cc): it holds the database and its lock
// file, naming `user` on `machine`, from construction until the object goes.
// The lock file it wrote stays behind, stale.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <string>

#include "tests/support/support.h"

namespace testing_support {

class DesktopSession {
 public:
  DesktopSession(const fs::path& database, const std::string& machine, const std::string& user);
  ~DesktopSession() { End(); }
  DesktopSession(const DesktopSession&) = delete;
  DesktopSession& operator=(const DesktopSession&) = delete;

  // It holds its locks: it said so before construction returned.
  bool ready() const { return ready_; }
  // Ends the session and waits for its process; its exit status.
  int End();

 private:
  PROCESS_INFORMATION process_{};
  HANDLE input_ = nullptr;  // closing it tells the session to end
  bool ready_ = false;
  int status_ = -1;
};

}  // namespace testing_support
#endif  // _WIN32
