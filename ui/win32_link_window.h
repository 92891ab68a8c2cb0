// The link window "vostrel" in Win32, for Windows: dialog controls placed
// from the form's description, the common file dialog as its chooser, a
// message box for a failure. The form (linkform::Form) does the work.
#pragma once

#include <string>

namespace ui {

// The command line as the system holds it, less the program's name. UTF-8.
std::string RawArgumentText();

// A box titled "vostrel" with the text and an OK button; returns when it is
// answered.
void ShowNotice(const std::string& text);

// Loads the form, shows the window and runs it until it closes. Returns the
// process's exit status; a failure ends the process with 1 after its
// message box.
int RunLinkWindow(const std::string& argument_text, const std::string& application_directory);

}  // namespace ui
