#include "ui/win32_link_window.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "engine/messages.h"
#include "engine/system_text.h"
#include "linkform/form.h"
#include "linkform/form_description.h"

namespace ui {

namespace {

std::wstring Wide(const std::string& utf8) { return engine::SystemText(utf8); }
std::string Utf8(const std::wstring& wide) { return engine::Utf8Text(wide); }

constexpr wchar_t kWindowClass[] = L"vostrel";
constexpr int kFirstControlId = 100;
// Posted after the first show: where nothing activates the window (a bare
// X server under Wine), the first show stands for the first activation.
constexpr UINT kShownFirstTime = WM_APP + 1;

// The common dialog control over GetOpenFileNameW.
class OpenFileDialog : public linkform::Chooser {
 public:
  void SetInitDir(const std::string& dir) override { init_dir_ = Wide(dir); }
  void SetFilter(const std::string& filter) override { filter_ = Wide(filter); }
  void SetFileName(const std::string& name) override { file_name_ = Wide(name); }
  std::string FileName() const override { return Utf8(file_name_); }
  void ShowOpen() override {
    // "description|pattern|…" becomes the dialog's pairs of NUL-ended strings.
    std::wstring filter = filter_;
    for (wchar_t& c : filter)
      if (c == L'|') c = L'\0';
    filter.append(2, L'\0');
    std::vector<wchar_t> file(32768, L'\0');
    file_name_.copy(file.data(), std::min(file_name_.size(), file.size() - 1));
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter_.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = init_dir_.empty() ? nullptr : init_dir_.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetOpenFileNameW(&ofn)) file_name_ = file.data();  // a cancel keeps FileName
  }
  HWND owner = nullptr;

 private:
  std::wstring init_dir_, filter_, file_name_;
};

// Standard error, then a modal message box, then the end of the process
// with status 1. It closes nothing: an unfinished change is the engine's to
// protect, not ours to roll back.
class MessageBoxFailure : public linkform::FailureSink {
 public:
  void Report(int number, const std::string& description) override {
    const std::string line = "Napaka " + std::to_string(number) + ": " + description;
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    ::MessageBoxW(owner, Wide(line).c_str(), L"vostrel", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    ::ExitProcess(1);
  }
  HWND owner = nullptr;
};

class Win32Window : public linkform::FormView {
 public:
  Win32Window(const linkform::StartUpText& start_up) : form_(start_up, *this, dialog_, report_) {}

  int Run() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Win32Window::Procedure;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(instance, L"IDI_ICON1");
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassW(&wc);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, Px(linkform::kClientWidth), Px(linkform::kClientHeight)};
    ::AdjustWindowRect(&frame, style, FALSE);
    hwnd_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Wide(linkform::kFormCaption).c_str(), style,
                              CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                              nullptr, nullptr, instance, this);
    if (!hwnd_) return 1;
    dialog_.owner = hwnd_;
    report_.owner = hwnd_;
    BuildControls(instance);
    form_.Load();  // a failure here ends the program before any window shows
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::UpdateWindow(hwnd_);
    ::PostMessageW(hwnd_, kShownFirstTime, 0, 0);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (hwnd_ && ::IsDialogMessageW(hwnd_, &msg)) continue;  // Tab between the controls
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    return 0;
  }

  std::string Text(linkform::Field field) const override {
    HWND control = Control(field);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
  }

  void SetText(linkform::Field field, const std::string& text) override {
    ::SetWindowTextW(Control(field), Wide(text).c_str());
  }

  void Close() override { ::SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

 private:
  static int Px(int twips) { return linkform::TwipsToPixels(twips); }

  void BuildControls(HINSTANCE instance) {
    HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    int id = kFirstControlId;
    HWND first = nullptr;
    // Created in tab order: the dialog manager visits them in that order.
    for (const linkform::ControlDescription& c : linkform::Controls()) {
      const wchar_t* cls = L"STATIC";
      DWORD style = WS_CHILD | WS_VISIBLE;
      DWORD ex = 0;
      switch (c.kind) {
        case linkform::ControlKind::kLabel: break;
        case linkform::ControlKind::kButton: cls = L"BUTTON"; style |= WS_TABSTOP | BS_PUSHBUTTON; break;
        case linkform::ControlKind::kTextBox:
          cls = L"EDIT";
          style |= WS_TABSTOP | ES_AUTOHSCROLL;
          ex = WS_EX_CLIENTEDGE;
          break;
        case linkform::ControlKind::kTwoLineTextBox:
          cls = L"EDIT";
          style |= WS_TABSTOP | ES_MULTILINE;  // wraps, no scroll bar
          ex = WS_EX_CLIENTEDGE;
          break;
      }
      HWND h = ::CreateWindowExW(ex, cls, Wide(c.caption).c_str(), style, Px(c.left), Px(c.top), Px(c.width),
                                 Px(c.height), hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                 nullptr);
      ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      if (c.blue) blue_label_ = h;
      controls_.push_back({c.name, h});
      if (!first && (style & WS_TABSTOP)) first = h;
      ++id;
    }
    if (first) ::SetFocus(first);
  }

  HWND Control(linkform::Field field) const {
    const char* name = "";
    switch (field) {
      case linkform::Field::kImebaze: name = "imebaze"; break;
      case linkform::Field::kImetabele: name = "imetabele"; break;
      case linkform::Field::kText1: name = "Text1"; break;
      case linkform::Field::kText2: name = "Text2"; break;
    }
    return ByName(name);
  }

  HWND ByName(const std::string& name) const {
    for (const auto& [n, h] : controls_)
      if (n == name) return h;
    return nullptr;
  }

  void Clicked(HWND button) {
    if (button == ByName("Command1")) form_.Command1Click();
    else if (button == ByName("Command2")) form_.Command2Click();
    else if (button == ByName("Command3")) form_.Command3Click();
    else if (button == ByName("Command4")) form_.Command4Click();
  }

  void Activated() {
    activated_ = true;
    form_.Activate();
  }

  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED && lp) Clicked(reinterpret_cast<HWND>(lp));
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE && ::IsWindowVisible(hwnd_)) {
          ::PostMessageW(hwnd_, kShownFirstTime + 1, 0, 0);  // after the activation is complete
        }
        break;
      case kShownFirstTime:
        if (!activated_) Activated();
        return 0;
      case kShownFirstTime + 1:
        Activated();
        return 0;
      case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lp) == blue_label_) {
          HDC dc = reinterpret_cast<HDC>(wp);
          ::SetTextColor(dc, RGB(0, 0, 255));
          ::SetBkMode(dc, TRANSPARENT);
          return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
      case WM_CLOSE:
        form_.Unload();
        ::DestroyWindow(hwnd_);
        return 0;
      case WM_DESTROY:
        hwnd_ = nullptr;
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd_, msg, wp, lp);
  }

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      self->hwnd_ = hwnd;
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->hwnd_) return ::DefWindowProcW(hwnd, msg, wp, lp);
    return self->Handle(msg, wp, lp);
  }

  OpenFileDialog dialog_;
  MessageBoxFailure report_;
  linkform::Form form_;
  HWND hwnd_ = nullptr;
  HWND blue_label_ = nullptr;
  std::vector<std::pair<std::string, HWND>> controls_;
  bool activated_ = false;
};

}  // namespace

std::string RawArgumentText() {
  const std::wstring line = ::GetCommandLineW();
  size_t i = 0;
  if (i < line.size() && line[i] == L'"') {
    ++i;
    while (i < line.size() && line[i] != L'"') ++i;
    if (i < line.size()) ++i;
  } else {
    while (i < line.size() && line[i] != L' ' && line[i] != L'\t') ++i;
  }
  return Utf8(line.substr(i));
}

// The folder as the system names the program, without "\\?\": a program
// started from a share is "\\server\share\...", never "UNC\server\...".
std::string ApplicationFolder() { return engine::ProgramDirectory(nullptr); }

int RunLinkWindow(const std::string& argument_text, const std::string& application_directory) {
  Win32Window window({argument_text, application_directory});
  return window.Run();
}

}  // namespace ui
