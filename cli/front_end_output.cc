#include "front_end_output.h"

#include "commands.h"
#include "json.h"
#include "platform/messages.h"

namespace cli {
namespace {

std::string Line(const std::string& file, const std::string& table, const std::string& result) {
  return TerminalText(file) + "\t" + TerminalText(table) + "\t" + TerminalText(result) + "\n";
}

std::string FailureJson(const std::optional<Failure>& f) {
  if (!f) return "null";
  return JsonObject().Add("number", f->number).Add("description", f->description).Add("localized", f->localized).Text();
}

}  // namespace

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

std::string CheckLines(const FrontEndCheck& report) {
  if (report.failure) return Line(report.file, "", report.failure->Text());
  std::string out;
  for (const auto& [machine, user] : report.open_by)
    out += Line(report.file, "", platform::Fill(platform::Translate("open by user '%1' on machine '%2'"), {user, machine}));
  for (const CheckedLink& l : report.links) {
    switch (l.state) {
      case LinkState::kOk: out += Line(report.file, l.table, platform::Translate("ok")); break;
      case LinkState::kBroken: out += Line(report.file, l.table, l.failure->Text()); break;
      case LinkState::kNotCheckable:
        out += Line(report.file, l.table, platform::Fill(platform::Translate("not checkable: %1"), {l.failure->Text()}));
        break;
    }
  }
  return out;
}

std::string CheckJson(const FrontEndCheck& report) {
  JsonArray links;
  for (const CheckedLink& l : report.links)
    links.Add(JsonObject()
                  .Add("table", l.table)
                  .Add("connect", l.link)
                  .Add("localPath", l.local_path)
                  .Add("state", StateName(l.state))
                  .Raw("error", FailureJson(l.failure))
                  .Text());
  JsonArray open_by;
  for (const auto& [machine, user] : report.open_by) open_by.Add(JsonObject().Add("machine", machine).Add("user", user).Text());
  return JsonObject()
      .Add("frontEnd", report.file)
      .Raw("error", FailureJson(report.failure))
      .Raw("openBy", open_by.Text("    ", "  "))
      .Raw("links", links.Text("    ", "  "))
      .Text();
}

std::string RelinkLines(const FrontEndRelink& report) {
  if (report.outcome == RelinkOutcome::kNothing) return Line(report.file, "", platform::Translate("no link to change"));
  std::string out;
  bool failure_shown = false;
  for (const ChangedLink& l : report.links) {
    std::string result = l.old_link + " -> " + l.new_link;
    if (l.failure) {
      result = l.failure->Text();
      failure_shown = true;
    } else if (report.outcome == RelinkOutcome::kFailed) {
      result = platform::Translate("unchanged");
    } else if (report.outcome == RelinkOutcome::kWouldRelink) {
      result += platform::Translate(" (dry run)");
    }
    out += Line(report.file, l.table, result);
  }
  // A failure of the front-end itself (it did not open, or the change could
  // not be written) belongs to no one link.
  if (report.failure && !failure_shown) out += Line(report.file, "", report.failure->Text());
  return out;
}

std::string RelinkJson(const FrontEndRelink& report) {
  JsonArray links;
  for (const ChangedLink& l : report.links)
    links.Add(JsonObject()
                  .Add("table", l.table)
                  .Add("from", l.old_link)
                  .Add("to", l.new_link)
                  .Raw("error", FailureJson(l.failure))
                  .Text());
  return JsonObject()
      .Add("frontEnd", report.file)
      .Add("outcome", OutcomeName(report.outcome))
      .Raw("error", FailureJson(report.failure))
      .Raw("links", links.Text("    ", "  "))
      .Text();
}

}  // namespace cli
