#include "application.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/messages.h"

namespace ui {

const char kNoDisplayLine[] =
    N_("vostrel: there is no display the window could open on; vostrel-cli does the same work (vostrel-cli --help).");

namespace {

struct HeldMessage {
  QtMsgType type;
  std::string category;
  QString text;
};

std::vector<HeldMessage>* held = nullptr;

void HoldWhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    // The only fatal message of a start is the platform's: no display, or
    // no platform plugin that could open one.
    std::fprintf(stderr, "%s\n", platform::Translate(kNoDisplayLine).c_str());
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
  }
  held->push_back({type, context.category ? context.category : "", text});
}

}  // namespace

std::unique_ptr<QApplication> StartApplication(int& argc, char** argv) {
  std::vector<HeldMessage> messages;
  held = &messages;
  const QtMessageHandler previous_handler = qInstallMessageHandler(HoldWhileStarting);
  auto app = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(previous_handler);
  held = nullptr;
  for (const HeldMessage& m : messages) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.category.c_str());
    qt_message_output(m.type, context, m.text);
  }
  return app;
}

}  // namespace ui
