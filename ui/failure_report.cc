#include "failure_report.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace ui {

QString FailureLine(int number, const QString& description) {
  return QStringLiteral("Napaka %1: %2").arg(number).arg(description);
}

bool PlatformHasScreen() {
  if (QGuiApplication::instance() == nullptr) return false;
  const QString name = QGuiApplication::platformName();
  return name != QLatin1String("offscreen") && name != QLatin1String("minimal");
}

void MessageBoxReport::Report(int number, const QString& description) {
  const QString line = FailureLine(number, description);
  std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
  std::fflush(stderr);
  if (PlatformHasScreen()) QMessageBox::critical(nullptr, QStringLiteral("vostrel"), line);
  std::exit(EXIT_FAILURE);
}

}  // namespace ui
