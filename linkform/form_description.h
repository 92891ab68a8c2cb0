// The window as its designer described it: the form's caption and size, and
// each control's kind, caption, place and role, in tab order. Both views (the
// Qt one, the Win32 one) build the window from this one table and forward a
// control's events by its role, never by its name.
#pragma once

#include <optional>
#include <span>

namespace linkform {

class Form;

// The text boxes the procedures read and write.
enum class Field { kImebaze, kImetabele, kText1, kText2 };

// An event procedure of the form that a click runs.
using Procedure = void (Form::*)();

enum class ControlKind {
  kLabel,
  kButton,
  kTextBox,         // one line
  kTwoLineTextBox,  // wraps its text over two lines
};

struct ControlDescription {
  const char* name;  // the designer's name, for those who look at the window
  ControlKind kind;
  const char* caption;  // UTF-8; empty for a text box
  int left, top, width, height;  // twips
  std::optional<Field> field = std::nullopt;  // the text box the procedures know it as
  Procedure click = nullptr;                  // what a click on the button runs
  bool blue = false;                          // the caption is drawn in blue
};

inline constexpr const char kFormName[] = "vostrel";
inline constexpr const char kFormCaption[] = "POVEZAVA";
inline constexpr int kClientWidth = 7152;   // twips
inline constexpr int kClientHeight = 4260;  // twips

// In tab order. Labels take no focus; their place in the order is kept only
// so that the table reads like the designer's.
std::span<const ControlDescription> Controls();

// The control that is `field`.
const ControlDescription& ControlOf(Field field);

// The designer measured in twips; 1440 of them make an inch, so a screen of
// `dpi` dots per inch shows twips * dpi / 1440 pixels (rounded). At 96 dpi,
// the toolkits' device-independent pixel, 15 twips make one.
int TwipsToPixels(int twips, int dpi = 96);

}  // namespace linkform
