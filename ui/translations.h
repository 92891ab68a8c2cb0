// The toolkit's own words (the file chooser's "Look in", "Open", "Cancel",
// the message box's buttons) in the user's language.
#pragma once

#include <QLocale>

class QTranslator;

namespace ui {

// Installs the toolkit's catalogue for the locale (by default the user's:
// LC_ALL, LC_MESSAGES, LANG), from the folder the toolkit was built to read
// them from. Without a catalogue for that language the words stay English.
// Returns the installed catalogue, owned by the application (deleting it
// uninstalls it), or null. Call it once the application exists.
QTranslator* LoadToolkitTranslations(const QLocale& locale = QLocale::system());

}  // namespace ui
