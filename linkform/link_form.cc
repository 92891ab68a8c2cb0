#include "linkform/link_form.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include <cmath>
#include <new>
#include <stdexcept>

#include "engine/dbengine.h"
#include "engine/error.h"
#include "engine/tabledefs.h"
#include "linkform/form_layout.h"
#include "linkform/start_up_text.h"

namespace linkform {

namespace {

// The literals of the procedures, exactly as the program uses them.
const QString kShownDatabaseName = QStringLiteral("MLQ.mdB");
const char kStartUpDatabaseName[] = "MLQ.mdb";
const QString kTableName = QStringLiteral("Partner");
const QString kLinkPrefix = QStringLiteral(";DATABASE=");
const QString kBackEndTail = QStringLiteral("\\PARTNER.MDB");
const QString kChooserFilter = QStringLiteral("Podatkovna baza |*.mdb");
// The chooser's stored design setting: what FileName holds before any choice.
const QString kChooserPreset = QStringLiteral("*.mdb");

// The engine speaks UTF-8.
QString FromEngine(const std::string& s) { return QString::fromStdString(s); }
std::string ToEngine(const QString& s) { return s.toStdString(); }

// A folder as the clients that open the link name it: its Windows form where
// the path map covers it, else as it is.
QString AsClientsNameIt(const QString& folder) {
  const std::optional<std::string> windows = engine::DBEngine::Instance().WindowsFolder(ToEngine(folder));
  return windows ? FromEngine(*windows) : folder;
}

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

}  // namespace

LinkForm::LinkForm(StartUp start_up, ui::FailureReport& report, ui::FilePickerFactory make_picker)
    : start_up_(std::move(start_up)), report_(report) {
  BuildControls();
  Dialog = std::make_unique<ui::CommonDialog>(make_picker ? make_picker(this)
                                                          : std::make_unique<ui::QtFilePicker>(this));
  Dialog->SetFileName(kChooserPreset);
}

LinkForm::~LinkForm() = default;

void LinkForm::BuildControls() {
  setObjectName(QStringLiteral("vostrel"));
  setWindowTitle(QStringLiteral("POVEZAVA"));

  Baza = new QLabel(QStringLiteral("Baza:"), this);
  Command3 = Button(QStringLiteral("Prebrskaj"), this);
  imebaze = new QLineEdit(this);
  Label1 = new QLabel(QStringLiteral("Tabela"), this);
  imetabele = new QLineEdit(this);
  Text1 = TwoLineField(this);
  Command2 = Button(QStringLiteral("Prebrskaj"), this);
  Text2 = TwoLineField(this);
  Command4 = Button(QStringLiteral("Osve\u017Ei"), this);
  Command1 = Button(QStringLiteral("Nova povezava"), this);
  // The maker's notice; "Puščica" is a made-up workshop.
  Label2 = new QLabel(QStringLiteral("\u00A9 Pu\u0161\u010Dica"), this);
  QPalette blue = Label2->palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
  Label2->setPalette(blue);

  Baza->setObjectName(QStringLiteral("Baza"));
  Command3->setObjectName(QStringLiteral("Command3"));
  imebaze->setObjectName(QStringLiteral("imebaze"));
  Label1->setObjectName(QStringLiteral("Label1"));
  imetabele->setObjectName(QStringLiteral("imetabele"));
  Text1->setObjectName(QStringLiteral("Text1"));
  Command2->setObjectName(QStringLiteral("Command2"));
  Text2->setObjectName(QStringLiteral("Text2"));
  Command4->setObjectName(QStringLiteral("Command4"));
  Command1->setObjectName(QStringLiteral("Command1"));
  Label2->setObjectName(QStringLiteral("Label2"));

  PlaceControls(*this);
  Text1->setFocus();  // first in tab order

  connect(Command1, &QPushButton::clicked, this, &LinkForm::Command1Click);
  connect(Command2, &QPushButton::clicked, this, &LinkForm::Command2Click);
  connect(Command3, &QPushButton::clicked, this, &LinkForm::Command3Click);
  connect(Command4, &QPushButton::clicked, this, &LinkForm::Command4Click);
}

template <class Steps>
void LinkForm::Run(Steps&& steps) {
  try {
    steps();
  } catch (const engine::EngineError& e) {
    report_.Report(e.number(), FromEngine(e.localized()));
  } catch (const std::bad_alloc&) {
    report_.Report(7, QStringLiteral("Out of memory"));
  } catch (const std::exception& e) {
    report_.Report(51, QStringLiteral("Internal error: %1").arg(QString::fromLocal8Bit(e.what())));
  }
}

void LinkForm::Load() {
  Run([this] {
    imebaze->setText(kShownDatabaseName);
    dbsCurrent = engine::DBEngine::Instance().OpenDatabase(kStartUpDatabaseName);
    imetabele->setText(kTableName);
    tdfPartner = &dbsCurrent->TableDefs().Item(ToEngine(kTableName));
    Text1->setPlainText(FromEngine(tdfPartner->Connect()));
    strCommand = TrimSpaces(start_up_.argument_text);
    if (SortsAfterSpace(strCommand)) {
      if (strCommand.left(3).toUpper() != QLatin1String("MLQ"))
        Text2->setPlainText(kLinkPrefix + AsClientsNameIt(strCommand) + kBackEndTail);
      else
        Text2->setPlainText(kLinkPrefix + AsClientsNameIt(start_up_.application_directory) + kBackEndTail);
      blnAutoLink = true;
    } else {
      Text2->setPlainText(kLinkPrefix + AsClientsNameIt(start_up_.application_directory) + kBackEndTail);
      blnAutoLink = false;
    }
  });
}

void LinkForm::Activate() {
  Run([this] {
    if (!blnAutoLink) return;
    blnAutoLink = false;
    Relink();
  });
}

void LinkForm::Command1Click() {
  Run([this] { Relink(); });
}

// Called inside Run by both Command1 and the activation, so that a failure
// ends whichever procedure started it.
void LinkForm::Relink() {
  const QString link = Text2->toPlainText();
  tdfPartner->SetConnect(ToEngine(link));
  tdfPartner->RefreshLink();
  close();
}

void LinkForm::Command2Click() {
  Run([this] {
    Dialog->SetInitDir(start_up_.application_directory);
    Dialog->SetFilter(kChooserFilter);
    Dialog->ShowOpen();
    Text2->setPlainText(kLinkPrefix + Dialog->FileName());
  });
}

void LinkForm::Command3Click() {
  Run([this] {
    Dialog->SetInitDir(start_up_.application_directory);
    Dialog->SetFilter(kChooserFilter);
    Dialog->ShowOpen();
    imebaze->setText(Dialog->FileName());
  });
}

void LinkForm::Command4Click() {
  Run([this] {
    dbsCurrent->Close();
    std::unique_ptr<engine::Database> opened = engine::DBEngine::Instance().OpenDatabase(ToEngine(imebaze->text()));
    tdfPartner = nullptr;  // it belonged to the database dropped now
    dbsCurrent = std::move(opened);
    imetabele->setText(kTableName);
    tdfPartner = &dbsCurrent->TableDefs().Item(ToEngine(imetabele->text()));
    Text1->setPlainText(FromEngine(tdfPartner->Connect()));
  });
}

void LinkForm::Unload() {
  Run([this] {
    if (dbsCurrent) dbsCurrent->Close();
  });
}

bool LinkForm::event(QEvent* e) {
  const bool handled = QWidget::event(e);
  if (e->type() == QEvent::WindowActivate) {
    activated_ = true;
    Activate();
  }
  return handled;
}

void LinkForm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (shown_once_) return;
  shown_once_ = true;
  // Where no window manager hands out focus (a bare X server) and the
  // program's own request for it goes unanswered, no activation ever comes.
  // The first show then stands for the first activation, once the event loop
  // has finished showing the window.
  QMetaObject::invokeMethod(this, &LinkForm::ShownFirstTime, Qt::QueuedConnection);
}

void LinkForm::ShownFirstTime() {
  if (activated_) return;
  activated_ = true;
  Activate();
}

void LinkForm::closeEvent(QCloseEvent* e) {
  Unload();
  e->accept();
}

}  // namespace linkform
