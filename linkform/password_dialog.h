// The password dialog as both views show it (the form asks through
// PasswordAsker): its captions, in Slovenian as the window's are, and its
// controls' places. UTF-8.
#pragma once

#include <string>

namespace linkform {

inline constexpr const char kPasswordDialogName[] = "geslo";
inline constexpr const char kPasswordCaption[] = "Geslo";
inline constexpr const char kPasswordOk[] = "V redu";
inline constexpr const char kPasswordCancel[] = "Prekli\u010Di";
// The object names of the masked field and the buttons, for those who look
// at the dialog (tests among them).
inline constexpr const char kPasswordFieldName[] = "password";
inline constexpr const char kPasswordOkName[] = "ok";
inline constexpr const char kPasswordCancelName[] = "cancel";

// The dialog's client area and its controls, in twips as the window's are.
struct TwipsRect {
  int left, top, width, height;
};
inline constexpr int kPasswordClientWidth = 5040;
inline constexpr int kPasswordClientHeight = 1680;
inline constexpr TwipsRect kPasswordPromptPlace{240, 120, 4560, 510};
inline constexpr TwipsRect kPasswordFieldPlace{240, 720, 4560, 285};
inline constexpr TwipsRect kPasswordOkPlace{2280, 1200, 1215, 345};
inline constexpr TwipsRect kPasswordCancelPlace{3585, 1200, 1215, 345};

// What the dialog says above the field: which database wants its password,
// and, `again`, that the one typed before was wrong.
std::string PasswordPrompt(const std::string& database, bool again);

}  // namespace linkform
