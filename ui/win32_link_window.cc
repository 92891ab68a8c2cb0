#include "win32_link_window.h"

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "platform/messages.h"
#include "platform/system_text.h"
#include "form.h"
#include "form_description.h"
#include "start_up_text.h"
#include "win32_password_dialog.h"

namespace ui {

namespace {

std::wstring Wide(const std::string& utf8) { return platform::SystemText(utf8); }
std::string Utf8(const std::wstring& wide) { return platform::Utf8Text(wide); }

constexpr wchar_t kWindowClass[] = L"vostrel";
constexpr int kFirstControlId = 100;
constexpr int kNoWindow = -1;  // what Run says where no window can be made: no screen to show it on
// Posted after the first show: where nothing activates the window (a bare
// X server under Wine), the first show stands for the first activation.
constexpr UINT kShownFirstTime = WM_APP + 1;
// Posted by WM_ACTIVATE, so that the procedure runs once the activation
// itself is complete.
constexpr UINT kActivated = WM_APP + 2;
// The designer's font: 8 points, in the system's face for dialogs.
constexpr int kFontPoints = 8;

// The screen's dots per inch where the window is. Windows before 10 (1607)
// know only the system's one.
int DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi && window) return static_cast<int>(get_dpi(window));
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

// The outer size of a window whose client area is `client`, at `dpi`.
SIZE FrameFor(SIZE client, DWORD style, DWORD ex_style, int dpi) {
  using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = reinterpret_cast<AdjustFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  RECT frame{0, 0, client.cx, client.cy};
  if (adjust) adjust(&frame, style, FALSE, ex_style, static_cast<UINT>(dpi));
  else ::AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

// The face dialogs use (Segoe UI, Tahoma under Wine) at the designer's size
// for `dpi`.
HFONT FontFor(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font{};
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) font = metrics.lfMessageFont;
  else ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfHeight = -::MulDiv(kFontPoints, dpi, 72);
  font.lfWidth = 0;
  return ::CreateFontIndirectW(&font);
}

// A multi-line edit wants every key, Tab included, so the dialog manager
// would never move focus out of it. This one lets Tab (and Shift+Tab) go
// to the dialog manager and keeps all else, Enter among it.
LRESULT CALLBACK TabLeavesEdit(HWND edit, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(edit, &TabLeavesEdit, 0);
  const LRESULT result = ::DefSubclassProc(edit, msg, wp, lp);
  if (msg == WM_GETDLGCODE) {
    const MSG* key = reinterpret_cast<const MSG*>(lp);
    if (key && key->message == WM_KEYDOWN && key->wParam == VK_TAB)
      return result & ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
  }
  return result;
}

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
    const std::string line = platform::Fill(platform::Translate("Error %1: %2"), {std::to_string(number), description});
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    ::MessageBoxW(owner, Wide(line).c_str(), L"vostrel", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    ::ExitProcess(1);
  }
  HWND owner = nullptr;
};

class Win32Window : public linkform::FormView {
 public:
  Win32Window(const linkform::StartUpText& start_up) : form_(start_up, *this, dialog_, report_, passwords_) {}
  ~Win32Window() override {
    if (font_) ::DeleteObject(font_);
  }

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
    hwnd_ = ::CreateWindowExW(kExStyle, kWindowClass, Wide(linkform::kFormCaption).c_str(), kStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!hwnd_) return kNoWindow;
    dialog_.owner = hwnd_;
    report_.owner = hwnd_;
    passwords_.owner = hwnd_;
    BuildControls(instance);
    const int dpi = DpiOf(hwnd_);
    const SIZE frame = FrameFor({Px(linkform::kClientWidth, dpi), Px(linkform::kClientHeight, dpi)}, kStyle, kExStyle, dpi);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceControls(dpi);
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
    HWND control = ControlFor(field);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
  }

  void SetText(linkform::Field field, const std::string& text) override {
    ::SetWindowTextW(ControlFor(field), Wide(text).c_str());
  }

  void Close() override { ::SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

 private:
  static constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  static constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

  struct Control {
    const linkform::ControlDescription* description;
    HWND window;
  };

  static int Px(int twips, int dpi) { return linkform::TwipsToPixels(twips, dpi); }

  // Created in tab order: the dialog manager visits them in that order.
  void BuildControls(HINSTANCE instance) {
    int id = kFirstControlId;
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
      HWND h = ::CreateWindowExW(ex, cls, Wide(c.caption).c_str(), style, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
      if (c.kind == linkform::ControlKind::kTwoLineTextBox) ::SetWindowSubclass(h, &TabLeavesEdit, 0, 0);
      controls_.push_back({&c, h});
      ++id;
    }
    for (const Control& c : controls_) {
      if (::GetWindowLongW(c.window, GWL_STYLE) & WS_TABSTOP) {
        focus_ = c.window;  // the first in tab order
        ::SetFocus(focus_);
        break;
      }
    }
  }

  // Places the controls from their twips, in a font for the screen's dots
  // per inch: at start and whenever the window moves to a screen of another.
  void PlaceControls(int dpi) {
    HFONT font = FontFor(dpi);
    for (const Control& c : controls_) {
      const linkform::ControlDescription& d = *c.description;
      ::SetWindowPos(c.window, nullptr, Px(d.left, dpi), Px(d.top, dpi), Px(d.width, dpi), Px(d.height, dpi),
                     SWP_NOZORDER | SWP_NOACTIVATE);
      ::SendMessageW(c.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font_) ::DeleteObject(font_);
    font_ = font;
  }

  HWND ControlFor(linkform::Field field) const {
    for (const Control& c : controls_)
      if (c.description->field == field) return c.window;
    return nullptr;
  }

  void Clicked(HWND button) {
    for (const Control& c : controls_)
      if (c.window == button && c.description->click) return (form_.*(c.description->click))();
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
        // As a dialog does: the control that had the focus gets it back.
        if (LOWORD(wp) == WA_INACTIVE) {
          if (HWND focus = ::GetFocus(); focus && ::IsChild(hwnd_, focus)) focus_ = focus;
        } else {
          if (focus_) ::SetFocus(focus_);
          if (::IsWindowVisible(hwnd_)) ::PostMessageW(hwnd_, kActivated, 0, 0);
        }
        return 0;
      case kShownFirstTime:
        if (!activated_) Activated();
        return 0;
      case kActivated:
        Activated();
        return 0;
      case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lp);
        ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        PlaceControls(HIWORD(wp));
        return 0;
      }
      case WM_CTLCOLORSTATIC:
        for (const Control& c : controls_) {
          if (c.window != reinterpret_cast<HWND>(lp) || !c.description->blue) continue;
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
  Win32PasswordAsker passwords_;
  linkform::Form form_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HWND focus_ = nullptr;  // the control to focus when the window is next active
  std::vector<Control> controls_;
  bool activated_ = false;
};

// Where no window can be made (under Wine without an X display: a start
// from a script or a terminal that has no screen), the form runs on its
// texts alone: it loads and, given a folder, relinks as the window does
// when it first shows; a failure says its line on standard error. Without
// a folder only a person at the window could go on. Nobody can type a
// password there either: a protected front-end fails as a Cancel does (3031).
class TextsOnly : public linkform::FormView {
 public:
  explicit TextsOnly(const linkform::StartUpText& start_up) : form_(start_up, *this, dialog_, report_, no_one_) {}

  int Run() {
    form_.Load();
    form_.Activate();
    if (closed_) return 0;
    std::fprintf(stderr, "vostrel: %s\n", platform::Translate("No window can be shown here, and no folder was given.").c_str());
    form_.Unload();
    return 1;
  }

  std::string Text(linkform::Field field) const override {
    const auto it = texts_.find(field);
    return it == texts_.end() ? std::string() : it->second;
  }
  void SetText(linkform::Field field, const std::string& text) override { texts_[field] = text; }
  void Close() override {
    closed_ = true;
    form_.Unload();
  }

 private:
  struct NoOneToAsk final : linkform::PasswordAsker {
    std::optional<std::string> Ask(const std::string&, bool) override { return std::nullopt; }
  };

  OpenFileDialog dialog_;
  MessageBoxFailure report_;
  NoOneToAsk no_one_;
  linkform::Form form_;
  std::map<linkform::Field, std::string> texts_;
  bool closed_ = false;
};

}  // namespace

std::string RawArgumentText() { return linkform::AfterProgramName(Utf8(::GetCommandLineW())); }

void ShowNotice(const std::string& text) {
  ::MessageBoxW(nullptr, Wide(text).c_str(), L"vostrel", MB_OK | MB_ICONINFORMATION);
}

int RunLinkWindow(const std::string& argument_text, const std::string& application_directory) {
  const int status = Win32Window({argument_text, application_directory}).Run();
  if (status != kNoWindow) return status;
  return TextsOnly({argument_text, application_directory}).Run();
}

}  // namespace ui
