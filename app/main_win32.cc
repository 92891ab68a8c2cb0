// vostrel on Windows: the Win32 window. The runtime's argv is not used: the
// window takes the raw command line, as the original program did.
#include "platform/messages.h"
#include "platform/version.h"
#include "start_up_text.h"
#include "win32_link_window.h"

int main() {
  const std::string argument_text = ui::RawArgumentText();
  switch (linkform::RequestOf(argument_text)) {
    case linkform::StartUpRequest::kUsage: ui::ShowNotice(platform::Translate(linkform::kUsageText)); return 0;
    case linkform::StartUpRequest::kVersion: ui::ShowNotice(platform::VersionText("vostrel")); return 0;
    case linkform::StartUpRequest::kRun: break;
  }
  return ui::RunLinkWindow(argument_text, platform::ProgramDirectory(nullptr));
}
