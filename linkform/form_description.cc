#include "form_description.h"

namespace linkform {

namespace {

constexpr ControlDescription kControls[] = {
    {"Text1", ControlKind::kTwoLineTextBox, "", 240, 1440, 6735, 495},
    {"Text2", ControlKind::kTwoLineTextBox, "", 240, 2280, 6735, 495},
    {"Command1", ControlKind::kButton, "Nova povezava", 5040, 3120, 1455, 375},
    {"Command2", ControlKind::kButton, "Prebrskaj", 5880, 2040, 1095, 255},
    {"imebaze", ControlKind::kTextBox, "", 240, 360, 6615, 285},
    {"Baza", ControlKind::kLabel, "Baza:", 240, 120, 1215, 255},
    {"Command3", ControlKind::kButton, "Prebrskaj", 5640, 120, 1215, 195},
    {"Label1", ControlKind::kLabel, "Tabela", 240, 720, 1215, 255},
    {"imetabele", ControlKind::kTextBox, "", 240, 960, 6615, 285},
    {"Command4", ControlKind::kButton, "Osve\u017Ei", 1680, 3120, 1455, 375},
    // The maker's notice; "Puščica" is a made-up workshop.
    {"Label2", ControlKind::kLabel, "\u00A9 Pu\u0161\u010Dica", 3240, 3960, 1092, 252, true},
};

}  // namespace

std::span<const ControlDescription> Controls() { return kControls; }

int TwipsToPixels(int twips) { return (twips * 2 + 15) / 30; }

}  // namespace linkform
