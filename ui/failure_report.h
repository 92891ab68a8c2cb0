// The report of the failure that ends the program.
#pragma once

#include <QString>

namespace ui {

// "Error 3024: Could not find file '…'." ("Napaka 3024: Datoteke '…' ni
// mogoče najti." in Slovenian) — the one line the user sees.
QString FailureLine(int number, const QString& description);

// Tells the user why the program stops. The window calls it at the first
// failing step of an event procedure and does nothing after it; the real
// report ends the process, a test double only records.
class FailureReport {
 public:
  virtual ~FailureReport() = default;
  virtual void Report(int number, const QString& description) = 0;
};

// Standard error always; a modal message box wherever a person can see and
// answer it; then the process ends with status 1. It closes nothing: an
// unfinished change is the engine's to protect, not ours to roll back.
class MessageBoxReport : public FailureReport {
 public:
  void Report(int number, const QString& description) override;
};

// Whether the platform plugin shows anything to a person. Under "offscreen"
// (and "minimal") a message box would wait for a click that cannot come.
bool PlatformHasScreen();

}  // namespace ui
