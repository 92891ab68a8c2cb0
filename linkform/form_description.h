// The window as its designer described it: the form's caption and size, and
// each control's kind, caption and place, in tab order. Both views (the Qt
// one, the Win32 one) build the window from this one table.
#pragma once

#include <span>

namespace linkform {

enum class ControlKind {
  kLabel,
  kButton,
  kTextBox,         // one line
  kTwoLineTextBox,  // wraps its text over two lines
};

struct ControlDescription {
  const char* name;
  ControlKind kind;
  const char* caption;  // UTF-8; empty for a text box
  int left, top, width, height;  // twips
  bool blue = false;  // the caption is drawn in blue
};

inline constexpr const char kFormName[] = "vostrel";
inline constexpr const char kFormCaption[] = "POVEZAVA";
inline constexpr int kClientWidth = 7152;   // twips
inline constexpr int kClientHeight = 4260;  // twips

// In tab order. Labels take no focus; their place in the order is kept only
// so that the table reads like the designer's.
std::span<const ControlDescription> Controls();

// The designer measured in twips; 15 of them make one device-independent
// pixel, which each toolkit scales for denser screens.
int TwipsToPixels(int twips);

}  // namespace linkform
