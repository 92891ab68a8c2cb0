#include "link_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include "form_description.h"

namespace ui {

namespace {

QPlainTextEdit* TwoLineField(QWidget* parent) {
  auto* field = new QPlainTextEdit(parent);
  field->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // A link string seldom has a space in it; wrap it anywhere rather than
  // hiding its end.
  field->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  field->setTabChangesFocus(true);
  field->document()->setDocumentMargin(1);
  return field;
}

QPushButton* Button(const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  // Neither Enter nor Esc belongs to a button of this window.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

QWidget* MakeControl(const linkform::ControlDescription& c, QWidget* parent) {
  const QString caption = QString::fromUtf8(c.caption);
  switch (c.kind) {
    case linkform::ControlKind::kLabel: {
      auto* label = new QLabel(caption, parent);
      if (c.blue) {
        QPalette blue = label->palette();
        blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
        label->setPalette(blue);
      }
      return label;
    }
    case linkform::ControlKind::kButton: return Button(caption, parent);
    case linkform::ControlKind::kTextBox: return new QLineEdit(parent);
    case linkform::ControlKind::kTwoLineTextBox: return TwoLineField(parent);
  }
  return nullptr;
}

}  // namespace

// The form's common dialog, over the toolkit's chooser.
class LinkWindow::DialogControl : public linkform::Chooser {
 public:
  explicit DialogControl(CommonDialog& dialog) : dialog_(dialog) {}
  void SetInitDir(const std::string& dir) override { dialog_.SetInitDir(QString::fromStdString(dir)); }
  void SetFilter(const std::string& filter) override { dialog_.SetFilter(QString::fromStdString(filter)); }
  void SetFileName(const std::string& name) override { dialog_.SetFileName(QString::fromStdString(name)); }
  std::string FileName() const override { return dialog_.FileName().toStdString(); }
  void ShowOpen() override { dialog_.ShowOpen(); }

 private:
  CommonDialog& dialog_;
};

class LinkWindow::ReportSink : public linkform::FailureSink {
 public:
  explicit ReportSink(FailureReport& report) : report_(report) {}
  void Report(int number, const std::string& description) override {
    report_.Report(number, QString::fromStdString(description));
  }

 private:
  FailureReport& report_;
};

LinkWindow::LinkWindow(StartUp start_up, FailureReport& report, FilePickerFactory make_picker,
                       PasswordAskerFactory make_asker)
    : report_(report) {
  BuildControls();
  Dialog = std::make_unique<CommonDialog>(make_picker ? make_picker(this) : std::make_unique<QtFilePicker>(this));
  dialog_control_ = std::make_unique<DialogControl>(*Dialog);
  report_sink_ = std::make_unique<ReportSink>(report_);
  passwords_ = make_asker ? make_asker(this) : std::make_unique<QtPasswordAsker>(this);
  form_ = std::make_unique<linkform::Form>(
      linkform::StartUpText{start_up.argument_text.toStdString(), start_up.application_directory.toStdString()},
      static_cast<linkform::FormView&>(*this), *dialog_control_, *report_sink_, *passwords_);
}

LinkWindow::~LinkWindow() = default;

void LinkWindow::BuildControls() {
  using linkform::TwipsToPixels;
  setObjectName(QString::fromUtf8(linkform::kFormName));
  setWindowTitle(QString::fromUtf8(linkform::kFormCaption));
  setFixedSize(TwipsToPixels(linkform::kClientWidth), TwipsToPixels(linkform::kClientHeight));
  QWidget* previous = nullptr;
  for (const linkform::ControlDescription& c : linkform::Controls()) {
    QWidget* control = MakeControl(c, this);
    control->setObjectName(QString::fromUtf8(c.name));
    control->setGeometry(TwipsToPixels(c.left), TwipsToPixels(c.top), TwipsToPixels(c.width), TwipsToPixels(c.height));
    if (c.field) fields_[*c.field] = control;
    if (auto* button = qobject_cast<QPushButton*>(control); button && c.click)
      connect(button, &QPushButton::clicked, this, [this, click = c.click] { (form_.get()->*click)(); });
    if (control->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    else control->setFocus();  // first in tab order
    previous = control;
  }
}

QWidget* LinkWindow::FieldWidget(linkform::Field field) const { return fields_.at(field); }

std::string LinkWindow::Text(linkform::Field field) const {
  QWidget* w = FieldWidget(field);
  if (auto* line = qobject_cast<QLineEdit*>(w)) return line->text().toStdString();
  if (auto* box = qobject_cast<QPlainTextEdit*>(w)) return box->toPlainText().toStdString();
  return {};
}

void LinkWindow::SetText(linkform::Field field, const std::string& text) {
  QWidget* w = FieldWidget(field);
  if (auto* line = qobject_cast<QLineEdit*>(w)) line->setText(QString::fromStdString(text));
  if (auto* box = qobject_cast<QPlainTextEdit*>(w)) box->setPlainText(QString::fromStdString(text));
}

bool LinkWindow::event(QEvent* e) {
  const bool handled = QWidget::event(e);
  if (e->type() == QEvent::WindowActivate) {
    activated_ = true;
    Activate();
  }
  return handled;
}

void LinkWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (shown_once_) return;
  shown_once_ = true;
  // Where no window manager hands out focus (a bare X server) and the
  // program's own request for it goes unanswered, no activation ever comes.
  // The first show then stands for the first activation, once the event loop
  // has finished showing the window.
  QMetaObject::invokeMethod(this, &LinkWindow::ShownFirstTime, Qt::QueuedConnection);
}

void LinkWindow::ShownFirstTime() {
  if (activated_) return;
  activated_ = true;
  Activate();
}

void LinkWindow::closeEvent(QCloseEvent* e) {
  Unload();
  e->accept();
}

}  // namespace ui
