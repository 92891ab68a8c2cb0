#include "failure_report.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

#include "platform/messages.h"

namespace ui {

QString FailureLine(int number, const QString& description) {
  // The CLI's words: "Napaka 3024: ..." where the description is Slovenian.
  const std::string line =
      platform::Fill(platform::Translate("Error %1: %2"), {std::to_string(number), description.toStdString()});
  return QString::fromStdString(line);
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
