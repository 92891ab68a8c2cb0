// vostrel: repoints the linked table "Partner" of MLQ.mdb at a back-end file.
#include <QApplication>
#include <QIcon>

#include "linkform/link_form.h"
#include "ui/command_line.h"
#include "ui/failure_report.h"

int main(int argc, char** argv) {
  // Before QApplication: it removes the arguments it understands.
  const QString argument_text = ui::ArgumentText(argc, argv);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vostrel"));
  QIcon icon;
  icon.addFile(QStringLiteral(":/vostrel/vostrel-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/vostrel/vostrel-16.png"), QSize(16, 16));
  QApplication::setWindowIcon(icon);

  ui::MessageBoxReport report;
  linkform::LinkForm form({argument_text, ui::ApplicationDirectory()}, report);
  form.setWindowIcon(icon);
  form.Load();  // a failure here ends the program before any window shows
  form.show();
  // Ask for activation: with no window manager nobody else gives it.
  form.activateWindow();
  return QApplication::exec();
}
