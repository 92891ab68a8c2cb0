// The password dialog in Win32: a modal dialog built in code from an
// in-memory template (the prompt, a masked ES_PASSWORD field, OK and
// Cancel as IDOK and IDCANCEL, so that Enter and Esc answer it), captioned
// as linkform/password_dialog.h says; the form's PasswordAsker over it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "form.h"

namespace ui {

class Win32PasswordAsker : public linkform::PasswordAsker {
 public:
  std::optional<std::string> Ask(const std::string& database, bool again) override;
  HWND owner = nullptr;
};

}  // namespace ui
