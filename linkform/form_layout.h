// Where the window's controls sit, and the order the Tab key visits them.
#pragma once

class QWidget;

namespace linkform {

// The window's designer measured in twips; 15 of them make one
// device-independent pixel, and the toolkit scales pixels for denser screens.
int TwipsToPixels(int twips);

// Gives the window its fixed client size and every named child its place and
// its turn in the tab order.
void PlaceControls(QWidget& form);

}  // namespace linkform
