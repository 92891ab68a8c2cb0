#include "form.h"

#include <new>
#include <optional>
#include <stdexcept>

#include "vostrel/dbengine.h"
#include "vostrel/error.h"
#include "vostrel/link_string.h"
#include "vostrel/tabledefs.h"
#include "start_up_text.h"

namespace linkform {

namespace {

// The literals of the procedures, exactly as the program uses them.
const char kShownDatabaseName[] = "MLQ.mdB";
const char kStartUpDatabaseName[] = "MLQ.mdb";
const char kTableName[] = "Partner";
const char kLinkPrefix[] = ";DATABASE=";
const char kBackEndTail[] = "\\PARTNER.MDB";
const char kChooserFilter[] = "Podatkovna baza |*.mdb";
// The chooser's stored design setting: what FileName holds before any choice.
const char kChooserPreset[] = "*.mdb";

// A folder as the clients that open the link name it: its Windows form where
// the path map covers it, else as it is.
std::string AsClientsNameIt(const std::string& folder) {
  const std::optional<std::string> windows = engine::DBEngine::Instance().WindowsFolder(folder);
  return windows ? *windows : folder;
}

bool StartsWithMlq(const std::string& text) {
  if (text.size() < 3) return false;
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return upper(text[0]) == 'M' && upper(text[1]) == 'L' && upper(text[2]) == 'Q';
}

}  // namespace

Form::Form(StartUpText start_up, FormView& view, Chooser& chooser, FailureSink& report, PasswordAsker& passwords)
    : start_up_(std::move(start_up)), view_(view), Dialog(chooser), report_(report), passwords_(passwords) {
  Dialog.SetFileName(kChooserPreset);
}

Form::~Form() = default;

template <class Steps>
void Form::Run(Steps&& steps) {
  try {
    steps();
  } catch (const engine::EngineError& e) {
    report_.Report(e.number(), e.localized());
  } catch (const std::bad_alloc&) {
    report_.Report(7, "Out of memory");
  } catch (const std::exception& e) {
    report_.Report(51, std::string("Internal error: ") + e.what());
  }
}

void Form::Load() {
  Run([this] {
    view_.SetText(Field::kImebaze, kShownDatabaseName);
    dbsCurrent = OpenDatabase(kStartUpDatabaseName);
    view_.SetText(Field::kImetabele, kTableName);
    tdfPartner = &dbsCurrent->TableDefs().Item(kTableName);
    view_.SetText(Field::kText1, tdfPartner->Connect());
    strCommand = WithoutEnclosingQuotes(TrimSpaces(start_up_.argument_text));
    if (SortsAfterSpace(strCommand)) {
      if (!StartsWithMlq(strCommand))
        view_.SetText(Field::kText2, kLinkPrefix + AsClientsNameIt(strCommand) + kBackEndTail);
      else
        view_.SetText(Field::kText2, kLinkPrefix + AsClientsNameIt(start_up_.application_directory) + kBackEndTail);
      blnAutoLink = true;
    } else {
      view_.SetText(Field::kText2, kLinkPrefix + AsClientsNameIt(start_up_.application_directory) + kBackEndTail);
      blnAutoLink = false;
    }
  });
}

std::unique_ptr<engine::Database> Form::OpenDatabase(const std::string& name) {
  engine::DBEngine& engine = engine::DBEngine::Instance();
  try {
    return engine.OpenDatabase(name);
  } catch (const engine::EngineError& e) {
    if (e.number() != engine::kErrNotValidPassword) throw;
    for (int tries = 0;; ++tries) {
      const std::optional<std::string> password = passwords_.Ask(name, tries > 0);
      if (!password) throw;
      try {
        return engine.OpenDatabase(name, false, false, engine::PasswordConnect(*password));
      } catch (const engine::EngineError& wrong) {
        if (wrong.number() != engine::kErrNotValidPassword || tries + 1 == kPasswordTries) throw;
      }
    }
  }
}

void Form::Activate() {
  Run([this] {
    if (!blnAutoLink) return;
    blnAutoLink = false;
    Relink();
  });
}

void Form::Command1Click() {
  Run([this] { Relink(); });
}

// Called inside Run by both Command1 and the activation, so that a failure
// ends whichever procedure started it.
void Form::Relink() {
  tdfPartner->SetConnect(view_.Text(Field::kText2));
  tdfPartner->RefreshLink();
  view_.Close();
}

void Form::Command2Click() {
  Run([this] {
    Dialog.SetInitDir(start_up_.application_directory);
    Dialog.SetFilter(kChooserFilter);
    Dialog.ShowOpen();
    view_.SetText(Field::kText2, kLinkPrefix + Dialog.FileName());
  });
}

void Form::Command3Click() {
  Run([this] {
    Dialog.SetInitDir(start_up_.application_directory);
    Dialog.SetFilter(kChooserFilter);
    Dialog.ShowOpen();
    view_.SetText(Field::kImebaze, Dialog.FileName());
  });
}

void Form::Command4Click() {
  Run([this] {
    dbsCurrent->Close();
    std::unique_ptr<engine::Database> opened = OpenDatabase(view_.Text(Field::kImebaze));
    tdfPartner = nullptr;  // it belonged to the database dropped now
    dbsCurrent = std::move(opened);
    view_.SetText(Field::kImetabele, kTableName);
    tdfPartner = &dbsCurrent->TableDefs().Item(view_.Text(Field::kImetabele));
    view_.SetText(Field::kText1, tdfPartner->Connect());
  });
}

void Form::Unload() {
  Run([this] {
    if (dbsCurrent) dbsCurrent->Close();
  });
}

}  // namespace linkform
