#include "front_end_output.h"

#include "commands.h"
#include "platform/messages.h"
#include "vostrel/link_string.h"

namespace cli {
namespace {

std::string Line(const std::string& file, const std::string& table, const std::string& result) {
  return TerminalText(file) + "\t" + TerminalText(table) + "\t" + TerminalText(result) + "\n";
}

Json FailureJson(const std::optional<Failure>& f) {
  if (!f) return nullptr;
  return {{"number", f->number}, {"description", f->description}, {"localized", f->localized}};
}

// A number can stand for more than one failure (3044: a folder that is not
// there, or a link string readers would read otherwise), so a failure takes
// a short form only where its English description has the words of the one
// the short form stands for; any other keeps its whole description.
struct ShortForm {
  int number;
  const char* words;  // in the English description
  const char* text;
};

const ShortForm kShortForms[] = {
    {engine::kErrCouldNotFindFile, "Could not find file '", N_("file not found")},
    {engine::kErrNotValidPath, "' is not a valid path.", N_("not reached from here")},
    {engine::kErrCouldNotFindObject, "Could not find the object '", N_("no such table in the back-end")},
    {engine::kErrNotValidPassword, "Not a valid password.", N_("wrong password")},
    {engine::kErrUnsupportedEncryption, "' is encrypted in a way vostrel cannot open", N_("encrypted in an unknown way")},
    {engine::kErrOdbcConnectionFailed, "ODBC--connection to '", N_("ODBC link")},
    {engine::kErrInstallableIsam, "Could not find installable ISAM.", N_("not a link to a database file")},
    {engine::kErrUnrecognizedFormat, "Unrecognized database format '", N_("not a database")},
    {engine::kErrCannotOpenDatabase, "It may not be a database that your application recognizes",
     N_("not a database, or damaged")},
    {engine::kErrCannotOpenFile, "It is already opened exclusively by another user",
     N_("in use by another user, or no permission")},
    {engine::kErrDiskOrNetwork, "Disk or network error.", N_("disk or network error")},
};

const ShortForm* ShortFormOf(const Failure& failure) {
  for (const ShortForm& f : kShortForms)
    if (f.number == failure.number && failure.description.find(f.words) != std::string::npos) return &f;
  return nullptr;
}

// Whether a link of the front-end failed its own check.
bool LinkFailed(const FrontEndRelink& report) {
  for (const ChangedLink& l : report.links)
    if (l.failure) return true;
  return false;
}

}  // namespace

std::string ShortReason(const Failure& failure, const std::optional<std::string>& back_end) {
  const ShortForm* form = ShortFormOf(failure);
  if (!form) return failure.localized;
  std::string reason = platform::Translate(form->text);
  if (back_end) reason += ": " + *back_end;
  return reason;
}

bool NotReached(const Failure& failure) {
  const ShortForm* form = ShortFormOf(failure);
  return form && (form->number == engine::kErrCouldNotFindFile || form->number == engine::kErrNotValidPath);
}

std::string Failure::Text() const { return ErrorLine(number, localized); }

const char* StateName(LinkState state) {
  switch (state) {
    case LinkState::kOk: return "ok";
    case LinkState::kBroken: return "broken";
    case LinkState::kNotCheckable: return "not checkable";
  }
  return "";
}

const char* OutcomeName(RelinkOutcome outcome) {
  switch (outcome) {
    case RelinkOutcome::kRelinked: return "relinked";
    case RelinkOutcome::kWouldRelink: return "would relink";
    case RelinkOutcome::kNothing: return "nothing to change";
    case RelinkOutcome::kFailed: return "failed";
  }
  return "";
}

std::string CheckLines(const FrontEndCheck& report, Detail detail) {
  if (report.failure) return Line(report.file, "", report.failure->Text());
  std::string out;
  for (const auto& [machine, user] : report.open_by)
    out += Line(report.file, "", platform::Fill(platform::Translate("open by user '%1' on machine '%2'"), {user, machine}));
  for (const CheckedLink& l : report.links) {
    std::string failure;
    if (l.failure && detail == Detail::kShort)
      failure = ErrorLine(l.failure->number, ShortReason(*l.failure, engine::ParseLinkString(l.link).database));
    else if (l.failure)
      failure = l.failure->Text();
    switch (l.state) {
      case LinkState::kOk: out += Line(report.file, l.table, platform::Translate("ok")); break;
      case LinkState::kBroken: out += Line(report.file, l.table, failure); break;
      case LinkState::kNotCheckable:
        out += Line(report.file, l.table, platform::Fill(platform::Translate("not checkable: %1"), {failure}));
        break;
    }
  }
  return out;
}

Json CheckJson(const FrontEndCheck& report) {
  Json links = Json::array();
  for (const CheckedLink& l : report.links)
    links.push_back({{"table", l.table},
                     {"connect", l.link},
                     {"localPath", OrNull(l.local_path)},
                     {"state", StateName(l.state)},
                     {"error", FailureJson(l.failure)}});
  Json open_by = Json::array();
  for (const auto& [machine, user] : report.open_by) open_by.push_back({{"machine", machine}, {"user", user}});
  return {{"frontEnd", report.file}, {"error", FailureJson(report.failure)}, {"openBy", open_by}, {"links", links}};
}

// What became of one link: stored (or, in a dry run, would be), its own
// check failed, left as it was beside a link that failed, or refused with the
// whole front-end (a session has it open, the write failed).
const char* LinkOutcome(const FrontEndRelink& report, const ChangedLink& link) {
  if (link.failure) return "failed";
  switch (report.outcome) {
    case RelinkOutcome::kRelinked: return "relinked";
    case RelinkOutcome::kWouldRelink: return "would relink";
    case RelinkOutcome::kNothing: break;
    case RelinkOutcome::kFailed: return LinkFailed(report) ? "unchanged" : "failed";
  }
  return "";
}

std::string RelinkLines(const FrontEndRelink& report) {
  if (report.outcome == RelinkOutcome::kNothing) return Line(report.file, "", platform::Translate("no link to change"));
  std::string out;
  for (const ChangedLink& l : report.links) {
    std::string result = l.old_link + " -> " + l.new_link;
    const std::string_view outcome = LinkOutcome(report, l);
    if (l.failure) {
      result = l.failure->Text();
    } else if (outcome == "unchanged") {
      result = platform::Translate("unchanged");
    } else if (outcome == "failed") {
      // A script that reads stdout alone must not take it for unchanged and fine.
      result = platform::Fill(platform::Translate("failed: %1"), {report.failure->Text()});
    } else if (report.outcome == RelinkOutcome::kWouldRelink) {
      result += platform::Translate(" (dry run)");
    }
    out += Line(report.file, l.table, result);
  }
  // A front-end that failed before any link was planned (it did not open).
  if (report.failure && report.links.empty()) out += Line(report.file, "", report.failure->Text());
  return out;
}

Json RelinkJson(const FrontEndRelink& report) {
  Json links = Json::array();
  for (const ChangedLink& l : report.links) {
    const std::string outcome = LinkOutcome(report, l);
    links.push_back({{"table", l.table},
                     {"from", l.old_link},
                     {"to", l.new_link},
                     {"samePassword", l.same_password},
                     {"outcome", outcome},
                     {"error", FailureJson(outcome == "failed" && !l.failure ? report.failure : l.failure)}});
  }
  return {{"frontEnd", report.file},
          {"outcome", OutcomeName(report.outcome)},
          {"error", FailureJson(report.failure)},
          {"links", links}};
}

}  // namespace cli
