#include "win32_password_dialog.h"

#include <cstdint>
#include <vector>

#include "password_dialog.h"
#include "platform/system_text.h"

namespace ui {
namespace {

constexpr int kFieldId = 100;
constexpr WORD kButtonClass = 0x0080, kEditClass = 0x0081, kStaticClass = 0x0082;

// A dialog template's words: the header, then each item on a DWORD boundary.
class Template {
 public:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const std::string& utf8) {
    for (wchar_t c : platform::SystemText(utf8)) Word(static_cast<WORD>(c));
    Word(0);
  }
  void Align() {
    if (words_.size() % 2) Word(0);
  }
  // Twips to dialog units: the template's 8-point font makes a unit about
  // 22 twips wide and 24 high.
  void Place(const linkform::TwipsRect& r) {
    Word(static_cast<WORD>(r.left / 22));
    Word(static_cast<WORD>(r.top / 24));
    Word(static_cast<WORD>(r.width / 22));
    Word(static_cast<WORD>(r.height / 24));
  }
  void Item(DWORD style, const linkform::TwipsRect& r, WORD id, WORD cls, const std::string& text) {
    Align();
    Dword(WS_CHILD | WS_VISIBLE | style);
    Dword(0);  // extended style
    Place(r);
    Word(id);
    Word(0xFFFF);
    Word(cls);
    Text(text);
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }
  // Counted in the header once all are added.
  void SetItems(WORD n) { words_[4] = n; }

 private:
  std::vector<WORD> words_;
};

struct Answer {
  std::wstring typed;
};

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lp);
      ::SetFocus(::GetDlgItem(dialog, kFieldId));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        auto* answer = reinterpret_cast<Answer*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        HWND field = ::GetDlgItem(dialog, kFieldId);
        std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
        text.resize(static_cast<size_t>(::GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
        answer->typed = std::move(text);
        ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<std::string> Win32PasswordAsker::Ask(const std::string& database, bool again) {
  using namespace linkform;
  Template t;
  t.Dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  t.Dword(0);  // extended style
  t.Word(0);   // items: set below
  t.Place({0, 0, kPasswordClientWidth, kPasswordClientHeight});
  t.Word(0);  // no menu
  t.Word(0);  // the dialog class
  t.Text(kPasswordCaption);
  t.Word(8);  // points
  t.Text("MS Shell Dlg");
  t.Item(SS_LEFT, kPasswordPromptPlace, 0xFFFF, kStaticClass, PasswordPrompt(database, again));
  t.Item(WS_TABSTOP | WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL, kPasswordFieldPlace, kFieldId, kEditClass, "");
  t.Item(WS_TABSTOP | BS_DEFPUSHBUTTON, kPasswordOkPlace, IDOK, kButtonClass, kPasswordOk);
  t.Item(WS_TABSTOP | BS_PUSHBUTTON, kPasswordCancelPlace, IDCANCEL, kButtonClass, kPasswordCancel);
  t.SetItems(4);
  Answer answer;
  const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.Get(), owner, &DialogProcedure,
                                                   reinterpret_cast<LPARAM>(&answer));
  if (result != IDOK) return std::nullopt;
  return platform::Utf8Text(answer.typed);
}

}  // namespace ui
