// vostrel on Windows: the Win32 window. The runtime's argv is not used: the
// window takes the raw command line, as the original program did.
#include "win32_link_window.h"

int main() { return ui::RunLinkWindow(ui::RawArgumentText(), ui::ApplicationFolder()); }
