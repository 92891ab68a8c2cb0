// The window as the user meets it: captions, places, sizes, tab order, focus.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "tests/gui/form_harness.h"

namespace gui_test {
namespace {

struct Control {
  const char* name;
  const char* caption;  // nullptr: a text field, empty at first
  int left, top, width, height;  // twips
};

// The designer's table. Pixels are twips / 15, rounded.
const Control kControls[] = {
    {"Baza", "Baza:", 240, 120, 1215, 255},
    {"Command3", "Prebrskaj", 5640, 120, 1215, 195},
    {"imebaze", nullptr, 240, 360, 6615, 285},
    {"Label1", "Tabela", 240, 720, 1215, 255},
    {"imetabele", nullptr, 240, 960, 6615, 285},
    {"Text1", nullptr, 240, 1440, 6735, 495},
    {"Command2", "Prebrskaj", 5880, 2040, 1095, 255},
    {"Text2", nullptr, 240, 2280, 6735, 495},
    {"Command4", "Osve\xC5\xBEi", 1680, 3120, 1455, 375},
    {"Command1", "Nova povezava", 5040, 3120, 1455, 375},
    {"Label2", "", 3240, 3960, 1092, 252},
};

// Tab order of the controls that take focus.
const char* const kTabOrder[] = {"Text1", "Text2", "Command1", "Command2", "imebaze", "Command3", "imetabele", "Command4"};

int Px(int twips) { return static_cast<int>(twips / 15.0 + 0.5); }

class LayoutTest : public FormTest {};

TEST_F(LayoutTest, ControlsHaveTheirCaptionsPlacesAndSizes) {
  auto form = MakeForm();
  EXPECT_EQ(form->objectName(), "vostrel");
  EXPECT_EQ(form->windowTitle(), "POVEZAVA");
  EXPECT_EQ(form->size(), QSize(477, 284));
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  for (const Control& c : kControls) {
    SCOPED_TRACE(c.name);
    auto* w = form->findChild<QWidget*>(QLatin1String(c.name));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(Px(c.left), Px(c.top), Px(c.width), Px(c.height)));
    if (c.caption == nullptr) {
      EXPECT_TRUE(TextOf(*form, c.name).isEmpty());
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      EXPECT_EQ(b->text(), QString::fromUtf8(c.caption));
    } else if (auto* l = qobject_cast<QLabel*>(w); l && *c.caption) {
      EXPECT_EQ(l->text(), QString::fromUtf8(c.caption));
    }
  }
}

TEST_F(LayoutTest, TabOrderAndFirstFocus) {
  auto form = MakeForm();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->activateWindow();
  WaitFor([&] { return QApplication::focusWidget() != nullptr; }, 2000);
  QWidget* text1 = form->findChild<QWidget*>("Text1");
  EXPECT_EQ(QApplication::focusWidget(), text1);

  QWidget* w = text1;
  for (size_t i = 1; i < std::size(kTabOrder); ++i) {
    w = w->nextInFocusChain();
    while (w->focusPolicy() == Qt::NoFocus || !(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
    EXPECT_EQ(w->objectName(), kTabOrder[i]) << "after " << kTabOrder[i - 1];
  }
  // From the last the Tab key comes round to the first.
  do w = w->nextInFocusChain();
  while (!(w->focusPolicy() & Qt::TabFocus));
  EXPECT_EQ(w, text1);

  // The keys walk it both ways; the two-line fields take no Tab for themselves.
  auto press = [](Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
    return QApplication::focusWidget()->objectName().toStdString();
  };
  for (size_t i = 1; i <= std::size(kTabOrder); ++i)
    EXPECT_EQ(press(Qt::NoModifier), kTabOrder[i % std::size(kTabOrder)]);
  for (size_t i = std::size(kTabOrder); i-- > 0;) EXPECT_EQ(press(Qt::ShiftModifier), kTabOrder[i]);
  EXPECT_EQ(TextOf(*form, "Text1"), "");
  EXPECT_EQ(TextOf(*form, "Text2"), "");
  form->hide();
}

TEST_F(LayoutTest, NoButtonAnswersEnterOrEscape) {
  auto form = MakeForm();
  const auto buttons = form->findChildren<QPushButton*>();
  EXPECT_EQ(buttons.size(), 4);
  for (auto* b : buttons) {
    EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
    EXPECT_FALSE(b->autoDefault()) << b->objectName().toStdString();
  }
}

}  // namespace
}  // namespace gui_test
