// The Win32 window as a person starts it: "vostrel.exe FOLDER" relinks by
// itself and ends with 0; a failure shows its message box, and the process
// ends with 1 once it is answered. Windows only (run under Wine with an X
// server, see tools/windows/test.sh).
#include <windows.h>

#include <chrono>
#include <thread>

#include "dbbuilder/cases.h"
#include "jet/win32_text.h"
#include "tests/cli/built.h"
#include "tests/support/support.h"

namespace {

using namespace testing_support;

std::wstring Wide(const std::string& s) { return jet::WideFromUtf8(s); }
std::string Narrow(const std::wstring& s) { return jet::Utf8FromWide(s); }

// A front-end MLQ.mdb linked to C:\MLQ\PARTNER.MDB, and a back-end in a
// folder of its own.
struct Scene {
  TempDir dir;
  fs::path front, back_folder;
  Scene() {
    front = cli_test::Build(dbbuilder::FrontEnd({}), dir.path(), "MLQ.mdb");
    back_folder = dir / "Podatki Čšž";
    cli_test::BuildBackEnd(back_folder, "PARTNER.MDB", dbbuilder::FormatVersion::kJet4);
  }
  std::string Link() { return cli_test::Links(front)["Partner"]; }
};

struct Started {
  PROCESS_INFORMATION pi{};
  bool ok = false;
  ~Started() {
    if (!ok) return;
    if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 99);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
  }
  // The exit status, or -1 when it has not ended within the time.
  int Wait(int seconds) {
    if (::WaitForSingleObject(pi.hProcess, static_cast<DWORD>(seconds) * 1000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<int>(code);
  }
};

// Starts the window with the raw argument text, in the front-end's folder.
void StartWindow(Started& s, const std::string& argument, const fs::path& cwd) {
  std::wstring line = L"\"" + Program("vostrel").wstring() + L"\" " + Wide(argument);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  s.ok = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.wstring().c_str(), &si, &s.pi);
}

struct Box {
  HWND window = nullptr;
  std::string text;
};

BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
  auto* box = reinterpret_cast<Box*>(param);
  wchar_t cls[32] = {};
  ::GetClassNameW(child, cls, 32);
  if (::lstrcmpiW(cls, L"Static") != 0) return TRUE;
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(child)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(child, text.data(), static_cast<int>(text.size()))));
  if (Narrow(text).size() > box->text.size()) box->text = Narrow(text);
  return TRUE;
}

// The message box titled "vostrel", waited for; its text.
Box FindMessageBox(int seconds) {
  Box box;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    box.window = ::FindWindowW(L"#32770", L"vostrel");
    if (box.window) {
      ::EnumChildWindows(box.window, &LongestStatic, reinterpret_cast<LPARAM>(&box));
      return box;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return box;
}

TEST(Window, RelinksByItselfAndEnds) {
  if (!fs::exists(Program("vostrel"))) GTEST_SKIP() << "the window program is not built";
  Scene s;
  const std::string folder = Utf8(s.back_folder);
  Started run;
  StartWindow(run, "  " + folder + " ", s.dir.path());
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(run.Wait(60), 0);
  EXPECT_EQ(s.Link(), ";DATABASE=" + folder + "\\PARTNER.MDB");
}

TEST(Window, AFailureEndsWithItsMessageBox) {
  if (!fs::exists(Program("vostrel"))) GTEST_SKIP() << "the window program is not built";
  Scene s;
  const std::vector<uint8_t> before = ReadBytes(s.front);
  const std::string missing = Utf8(s.dir.path()) + "\\Nikjer";
  Started run;
  StartWindow(run, missing, s.dir.path());
  ASSERT_TRUE(run.ok);
  const Box box = FindMessageBox(60);
  ASSERT_NE(box.window, nullptr) << "no message box came";
  EXPECT_EQ(box.text, "Napaka 3044: '" + missing +
                          "\\PARTNER.MDB' is not a valid path. Make sure that the path name is spelled correctly "
                          "and that you are connected to the server on which the file resides.");
  EXPECT_EQ(run.Wait(0), -1) << "the program ended before its message box was answered";
  ::PostMessageW(box.window, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(run.Wait(30), 1);
  EXPECT_EQ(ReadBytes(s.front), before);
}

}  // namespace
