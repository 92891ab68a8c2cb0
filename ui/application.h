// The toolkit's application object, and what must happen as it starts.
#pragma once

#include <QApplication>

#include <memory>

namespace ui {

// Builds the application; it takes the toolkit's own options (-platform,
// -display, -style, ...) out of argc and argv. Where the toolkit finds no
// display to show a window on, it would abort with its own English text:
// instead this says so in one line on standard error, in the user's language, naming the
// command-line program that does the same job, and ends the process with
// status 1. What the toolkit says while it starts is held back until it has
// started, so that the line stays the only one.
std::unique_ptr<QApplication> StartApplication(int& argc, char** argv);

// The line said when no window can be shown (English; printed translated).
extern const char kNoDisplayLine[];

}  // namespace ui
