#include "form_description.h"

#include <stdexcept>

#include "form.h"

namespace linkform {

namespace {

using enum ControlKind;

constexpr ControlDescription kControls[] = {
    {"Text1", kTwoLineTextBox, "", 240, 1440, 6735, 495, Field::kText1},
    {"Text2", kTwoLineTextBox, "", 240, 2280, 6735, 495, Field::kText2},
    {"Command1", kButton, "Nova povezava", 5040, 3120, 1455, 375, {}, &Form::Command1Click},
    {"Command2", kButton, "Prebrskaj", 5880, 2040, 1095, 255, {}, &Form::Command2Click},
    {"imebaze", kTextBox, "", 240, 360, 6615, 285, Field::kImebaze},
    {"Baza", kLabel, "Baza:", 240, 120, 1215, 255},
    {"Command3", kButton, "Prebrskaj", 5640, 120, 1215, 195, {}, &Form::Command3Click},
    {"Label1", kLabel, "Tabela", 240, 720, 1215, 255},
    {"imetabele", kTextBox, "", 240, 960, 6615, 285, Field::kImetabele},
    {"Command4", kButton, "Osve\u017Ei", 1680, 3120, 1455, 375, {}, &Form::Command4Click},
    // The maker's notice; "Puščica" is a made-up workshop.
    {"Label2", kLabel, "\u00A9 Pu\u0161\u010Dica", 3240, 3960, 1092, 252, {}, nullptr, true},
};

}  // namespace

std::span<const ControlDescription> Controls() { return kControls; }

const ControlDescription& ControlOf(Field field) {
  for (const ControlDescription& c : kControls)
    if (c.field == field) return c;
  throw std::logic_error("no control for a field");
}

int TwipsToPixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

}  // namespace linkform
