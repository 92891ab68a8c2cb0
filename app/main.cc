// vostrel: repoints the linked table "Partner" of MLQ.mdb at a back-end file.
#include <QApplication>
#include <QDir>
#include <QIcon>

#include <clocale>
#include <cstdio>

#include "platform/messages.h"
#include "platform/version.h"
#include "start_up_text.h"
#include "application.h"
#include "link_window.h"
#include "command_line.h"
#include "failure_report.h"
#include "translations.h"

int main(int argc, char** argv) {
  // Asked before the toolkit starts, so that it answers where no window can
  // open; in the user's language, which the toolkit would set later.
  std::setlocale(LC_ALL, "");
  platform::BindMessageCatalog(platform::LocaleDirBeside(platform::ProgramDirectory(argv[0])));
  switch (linkform::RequestOf(ui::ArgumentText(argc, argv).toStdString())) {
    case linkform::StartUpRequest::kUsage:
      std::fputs(platform::Translate(linkform::kUsageText).c_str(), stdout);
      return 0;
    case linkform::StartUpRequest::kVersion: std::fputs(platform::VersionText("vostrel").c_str(), stdout); return 0;
    case linkform::StartUpRequest::kRun: break;
  }
  const std::unique_ptr<QApplication> app = ui::StartApplication(argc, argv);
  // The toolkit has taken its own options (-platform, -style, ...) out of
  // argv: they are not part of the program's command line.
  const QString argument_text = ui::ArgumentText(argc, argv);
  ui::LoadToolkitTranslations();
  // The toolkit has set the C library's locale from the environment; the
  // engine's catalogue is in share/locale beside the program's folder.
  platform::BindMessageCatalog(platform::LocaleDirBeside(QCoreApplication::applicationDirPath().toStdString()));
  QApplication::setApplicationName(QStringLiteral("vostrel"));
  QIcon icon;
  icon.addFile(QStringLiteral(":/vostrel/vostrel-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/vostrel/vostrel-16.png"), QSize(16, 16));
  QApplication::setWindowIcon(icon);

  ui::MessageBoxReport report;
  ui::LinkWindow form({argument_text, ui::ProgramFolder(ui::ApplicationDirectory(), QDir::currentPath())}, report);
  form.setWindowIcon(icon);
  form.Load();  // a failure here ends the program before any window shows
  form.show();
  // Ask for activation: with no window manager nobody else gives it.
  form.activateWindow();
  return QApplication::exec();
}
