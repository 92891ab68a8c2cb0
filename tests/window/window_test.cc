// The Win32 window as a person starts it: "vostrel.exe FOLDER" relinks by
// itself and ends with 0; a failure shows its message box, and the process
// ends with 1 once it is answered; "/?" answers with the usage; the keyboard
// walks the controls. Windows only (run under Wine with an X server, see
// tools/windows/test.sh); tests/CMakeLists.txt runs the failure's cases a
// second time under a Slovenian UI language.
#include <windows.h>

#include <chrono>
#include <set>
#include <thread>

#include "platform/messages.h"

#include "dbbuilder/cases.h"
#include "os/win32_text.h"
#include "tests/cli/built.h"
#include "tests/support/desktop_session.h"
#include "tests/support/support.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/tabledef.h"
#include "vostrel/tabledefs.h"

namespace {

using namespace testing_support;

std::wstring Wide(const std::string& s) { return os::WideFromUtf8(s); }
std::string Narrow(const std::wstring& s) { return os::Utf8FromWide(s); }

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

// The dialog captioned `caption` once its text is there and, where `field`
// is not 0, the child of that id: the dialog is found as soon as it exists,
// its children come a moment later on a busy machine.
Box FindDialog(const wchar_t* caption, int seconds, int field = 0) {
  Box box;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    box = Box{};
    box.window = ::FindWindowW(L"#32770", caption);
    if (box.window) {
      ::EnumChildWindows(box.window, &LongestStatic, reinterpret_cast<LPARAM>(&box));
      if (!box.text.empty() && (field == 0 || ::GetDlgItem(box.window, field) != nullptr)) return box;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return box;
}

Box FindMessageBox(int seconds) { return FindDialog(L"vostrel", seconds); }

bool UserReadsSlovenian() { return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_SLOVENIAN; }

TEST(Window, RelinksByItselfAndEnds) {
  if (!fs::exists(Program("vostrel"))) GTEST_SKIP() << "the window program is not built";
  // The folder has a space in it: as it stands, and quoted as a shortcut
  // writes it.
  for (const bool quoted : {false, true}) {
    SCOPED_TRACE(quoted ? "quoted" : "as it stands");
    Scene s;
    const std::string folder = Utf8(s.back_folder);
    Started run;
    StartWindow(run, quoted ? "\"" + folder + "\"" : "  " + folder + " ", s.dir.path());
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.Wait(60), 0);
    EXPECT_EQ(s.Link(), ";DATABASE=" + folder + "\\PARTNER.MDB");
  }
}

TEST(Window, HelpIsABoxAndNoRelink) {
  if (!fs::exists(Program("vostrel"))) GTEST_SKIP() << "the window program is not built";
  for (const char* asked : {"/?", "--help"}) {
    SCOPED_TRACE(asked);
    Scene s;
    const std::vector<uint8_t> before = ReadBytes(s.front);
    Started run;
    StartWindow(run, asked, s.dir.path());
    ASSERT_TRUE(run.ok);
    const Box box = FindMessageBox(60);
    ASSERT_NE(box.window, nullptr) << "no box came";
    EXPECT_EQ(box.text.rfind(UserReadsSlovenian() ? "Uporaba: vostrel [mapa]" : "Usage: vostrel [folder]", 0), 0u)
        << box.text;
    ::PostMessageW(box.window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(run.Wait(30), 0);
    EXPECT_EQ(ReadBytes(s.front), before);
  }
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
  // The whole line follows the UI language, the window's own word too.
  EXPECT_EQ(box.text, UserReadsSlovenian()
                          ? "Napaka 3044: '" + missing +
                                "\\PARTNER.MDB' ni veljavna pot. Preverite, ali je ime poti pravilno zapisano in ali "
                                "ste povezani s stre\u017Enikom, na katerem je datoteka."
                          : "Error 3044: '" + missing +
                                "\\PARTNER.MDB' is not a valid path. Make sure that the path name is spelled "
                                "correctly and that you are connected to the server on which the file resides.");
  EXPECT_EQ(run.Wait(0), -1) << "the program ended before its message box was answered";
  ::PostMessageW(box.window, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(run.Wait(30), 1);
  EXPECT_EQ(ReadBytes(s.front), before);
}

// The designer's names of the window's controls, by the number each has
// (GetDlgCtrlID): the window numbers them from 100 in the order of the
// form's description.
const char* const kNumbered[] = {"Text1", "Text2",     "Command1", "Command2", "imebaze", "Baza",
                                 "Command3", "Label1", "imetabele", "Command4", "Label2"};

HWND FocusOf(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

std::string NameOf(HWND control) {
  const int number = control ? ::GetDlgCtrlID(control) - 100 : -1;
  return number >= 0 && number < static_cast<int>(std::size(kNumbered)) ? kNumbered[number] : "(none)";
}

template <class Pred>
bool WaitUntil(Pred pred, int seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

TEST(Window, TabAndShiftTabWalkTheTabOrder) {
  if (!fs::exists(Program("vostrel"))) GTEST_SKIP() << "the window program is not built";
  Scene s;
  const std::vector<uint8_t> before = ReadBytes(s.front);
  Started run;
  StartWindow(run, "", s.dir.path());  // no argument: the window waits for a person
  ASSERT_TRUE(run.ok);
  HWND window = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (window = ::FindWindowW(L"vostrel", L"POVEZAVA")) != nullptr; }, 60));
  const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return NameOf(FocusOf(thread)) == "Text1"; }, 10)) << NameOf(FocusOf(thread));
  // Keys posted to the window's thread, with Shift as this thread says:
  // attached, the two threads share one keyboard state.
  MSG none;
  ::PeekMessageW(&none, nullptr, 0, 0, PM_NOREMOVE);
  ASSERT_TRUE(::AttachThreadInput(::GetCurrentThreadId(), thread, TRUE));
  auto press_tab = [&](bool shift) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    HWND from = FocusOf(thread);
    ::PostMessageW(from, WM_KEYDOWN, VK_TAB, 1);
    ::PostMessageW(from, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC0000001));
    WaitUntil([&] { return FocusOf(thread) != from; }, 3);
    return NameOf(FocusOf(thread));
  };
  for (const char* next : {"Text2", "Command1", "Command2", "imebaze", "Command3", "imetabele", "Command4", "Text1"})
    EXPECT_EQ(press_tab(false), next);
  for (const char* previous :
       {"Command4", "imetabele", "Command3", "imebaze", "Command2", "Command1", "Text2", "Text1"})
    EXPECT_EQ(press_tab(true), previous);
  press_tab(false);
  ::AttachThreadInput(::GetCurrentThreadId(), thread, FALSE);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.Wait(30), 0);
  EXPECT_EQ(ReadBytes(s.front), before);
}

TEST(Window, CliDescribesAFailureInTheUiLanguage) {
  Scene s;
  const fs::path missing = s.dir / "Nikjer.mdb";
  const RunResult r = testing_support::Run(cli_test::Cli() + " list " + ShellQuote(Utf8(missing)), s.dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(UserReadsSlovenian()
                           ? "Napaka 3024: Datoteke '" + Utf8(missing) + "' ni mogo\u010De najti."
                           : "Error 3024: Could not find file '" + Utf8(missing) + "'."),
            std::string::npos)
      << r.err;
}

TEST(Window, BothProgramsCarryTheirVersionRecord) {
  struct Expected {
    const char* program;
    const char* internal_name;
    const char* original;
  };
  for (const Expected& e : {Expected{"vostrel", "vostrel", "vostrel.exe"},
                            Expected{"vostrel-cli", "vostrel-cli", "vostrel-cli.exe"}}) {
    SCOPED_TRACE(e.program);
    const std::wstring file = Program(e.program).wstring();
    DWORD ignored = 0;
    std::vector<BYTE> record(::GetFileVersionInfoSizeW(file.c_str(), &ignored));
    ASSERT_FALSE(record.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
    auto value = [&](const char* name) -> std::string {
      wchar_t* text = nullptr;
      UINT length = 0;
      const std::wstring key = L"\\StringFileInfo\\042404E2\\" + Wide(name);
      if (!::VerQueryValueW(record.data(), key.c_str(), reinterpret_cast<void**>(&text), &length)) return "(none)";
      return Narrow(std::wstring(text, length ? length - 1 : 0));
    };
    EXPECT_EQ(value("FileVersion"), "1.00");
    EXPECT_EQ(value("ProductVersion"), "1.00");
    EXPECT_EQ(value("ProductName"), "vostrel");
    EXPECT_EQ(value("InternalName"), e.internal_name);
    EXPECT_EQ(value("OriginalFilename"), e.original);
    EXPECT_EQ(value("CompanyName"), "Pu\u0161\u010Dica");
    EXPECT_EQ(value("LegalCopyright"), "\u00A9 2026 Pu\u0161\u010Dica");
    EXPECT_NE(value("FileDescription"), "(none)");
  }
}

TEST(Window, IconHasTheClassicImagesAndSmoothOnesUpTo256) {
  HMODULE exe = ::LoadLibraryExW(Program("vostrel").wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC group = ::FindResourceW(exe, L"IDI_ICON1", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(group, nullptr);
  const auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(exe, group)));
  const DWORD size = ::SizeofResource(exe, group);
  // GRPICONDIR: 6 bytes, then one 14-byte entry per image (width, height,
  // colours, reserved, planes, bits a pixel, size, resource id).
  ASSERT_GE(size, 6u);
  const WORD count = static_cast<WORD>(bytes[4] | bytes[5] << 8);
  ASSERT_EQ(size, 6u + 14u * count);
  std::set<std::pair<int, int>> images;  // (pixels, bits a pixel)
  for (WORD i = 0; i < count; ++i) {
    const BYTE* e = bytes + 6 + 14 * i;
    images.insert({e[0] == 0 ? 256 : e[0], e[6] | e[7] << 8});
  }
  ::FreeLibrary(exe);
  for (const std::pair<int, int>& wanted : {std::pair{16, 4}, {32, 4}, {16, 32}, {32, 32}, {48, 32}, {256, 32}})
    EXPECT_TRUE(images.count(wanted)) << wanted.first << " px, " << wanted.second << " bits";
}

TEST(Window, ASessionOfTheDesktopProgramRefusesTheRelink) {
  if (!fs::exists(Program("vostrel"))) GTEST_SKIP() << "the window program is not built";
  Scene s;
  const std::vector<uint8_t> before = ReadBytes(s.front);
  DesktopSession session(s.front, "PC-ANA", "ana");
  ASSERT_TRUE(session.ready());
  Started run;
  StartWindow(run, Utf8(s.back_folder), s.dir.path());
  ASSERT_TRUE(run.ok);
  const Box box = FindMessageBox(60);
  ASSERT_NE(box.window, nullptr) << "no message box came";
  // The message's words are the user's language's; the number and the names are not.
  EXPECT_NE(box.text.find("3260"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("'ana'"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("'PC-ANA'"), std::string::npos) << box.text;
  ::PostMessageW(box.window, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(run.Wait(30), 1);
  EXPECT_EQ(ReadBytes(s.front), before);
}

// A protected front-end: the password dialog comes, captioned "Geslo"; a
// wrong password asks again, the right one relinks; a Cancel is the 3031
// box and the file unchanged.
TEST(Window, AsksForTheFrontEndsPassword) {
  if (!fs::exists(Program("vostrel"))) GTEST_SKIP() << "the window program is not built";
  constexpr int kField = 100;  // the dialog's masked field
  auto find_dialog = [](int seconds) { return FindDialog(L"Geslo", seconds, kField).window; };
  auto prompt_of = [](HWND dialog) {
    Box box;
    ::EnumChildWindows(dialog, &LongestStatic, reinterpret_cast<LPARAM>(&box));
    return box.text;
  };
  for (const bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancel" : "wrong, then right");
    Scene s;
    cli_test::SetDatabasePassword(s.front, "Skriv-no7");
    const std::vector<uint8_t> before = ReadBytes(s.front);
    const std::string folder = Utf8(s.back_folder);
    Started run;
    StartWindow(run, "\"" + folder + "\"", s.dir.path());
    ASSERT_TRUE(run.ok);
    HWND dialog = find_dialog(60);
    ASSERT_NE(dialog, nullptr) << "no password dialog came";
    EXPECT_NE(prompt_of(dialog).find("MLQ.mdb"), std::string::npos) << prompt_of(dialog);
    EXPECT_NE(::GetWindowLongW(::GetDlgItem(dialog, kField), GWL_STYLE) & ES_PASSWORD, 0);
    if (cancel) {
      ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      const Box box = FindMessageBox(60);
      ASSERT_NE(box.window, nullptr) << "no message box came";
      EXPECT_NE(box.text.find("3031"), std::string::npos) << box.text;
      ::PostMessageW(box.window, WM_COMMAND, IDOK, 0);
      EXPECT_EQ(run.Wait(30), 1);
      EXPECT_EQ(ReadBytes(s.front), before);
      continue;
    }
    ::SetDlgItemTextW(dialog, kField, L"narobe");
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 30));
    dialog = find_dialog(30);
    ASSERT_NE(dialog, nullptr) << "a wrong password was not asked for again";
    EXPECT_EQ(prompt_of(dialog).rfind("Geslo ni pravilno.", 0), 0u) << prompt_of(dialog);
    ::SetDlgItemTextW(dialog, kField, L"Skriv-no7");
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(run.Wait(60), 0);
    auto db = engine::DBEngine::Instance().OpenDatabase(s.front.string(), false, true, ";PWD=Skriv-no7");
    EXPECT_EQ(db->TableDefs().Item("Partner").Connect(), ";DATABASE=" + folder + "\\PARTNER.MDB");
    db->Close();
  }
}

}  // namespace
