#include "linkform/form_layout.h"

#include <QWidget>

namespace linkform {

namespace {

struct Place {
  const char* name;
  int left, top, width, height;  // twips
};

// In tab order. Labels take no focus; their place in the order is kept here
// only so that the table reads like the designer's.
constexpr Place kPlaces[] = {
    {"Text1", 240, 1440, 6735, 495},    {"Text2", 240, 2280, 6735, 495},
    {"Command1", 5040, 3120, 1455, 375}, {"Command2", 5880, 2040, 1095, 255},
    {"imebaze", 240, 360, 6615, 285},    {"Baza", 240, 120, 1215, 255},
    {"Command3", 5640, 120, 1215, 195},  {"Label1", 240, 720, 1215, 255},
    {"imetabele", 240, 960, 6615, 285},  {"Command4", 1680, 3120, 1455, 375},
    {"Label2", 3240, 3960, 1092, 252},
};

constexpr int kClientWidth = 7152;
constexpr int kClientHeight = 4260;

}  // namespace

int TwipsToPixels(int twips) { return (twips * 2 + 15) / 30; }

void PlaceControls(QWidget& form) {
  form.setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
  QWidget* previous = nullptr;
  for (const Place& p : kPlaces) {
    auto* control = form.findChild<QWidget*>(QLatin1String(p.name), Qt::FindDirectChildrenOnly);
    if (control == nullptr) continue;
    control->setGeometry(TwipsToPixels(p.left), TwipsToPixels(p.top), TwipsToPixels(p.width),
                         TwipsToPixels(p.height));
    if (control->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    previous = control;
  }
}

}  // namespace linkform
