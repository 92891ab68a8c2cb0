#include "undo.h"

#include <nlohmann/json.hpp>

#include "platform/messages.h"
#include "vostrel/link_string.h"

namespace cli {
namespace {

using nlohmann::json;

// What is wrong with the report's front-end `index` (from 0).
NotAReport Wrong(size_t index, const char* english, std::string_view key = {}) {
  return NotAReport(platform::Fill(platform::Translate(english), {std::to_string(index + 1), key}));
}

const json& Member(const json& object, const char* key, json::value_t type, size_t index) {
  const auto found = object.find(key);
  if (found == object.end() || found->type() != type)
    throw Wrong(index, N_("front-end %1: \"%2\" is missing or of another type"), key);
  return *found;
}

}  // namespace

std::vector<std::string> Passwords(std::string_view link) {
  std::vector<std::string> passwords;
  engine::ReplacePasswords(link, [&](size_t, std::string_view value) {
    passwords.emplace_back(value);
    return std::string(value);
  });
  return passwords;
}

std::vector<ReportedFrontEnd> ReadRelinkReport(std::string_view text) {
  json report;
  try {
    report = json::parse(text);
  } catch (const json::parse_error& e) {
    throw NotAReport(e.what());
  }
  if (!report.is_array()) throw NotAReport(platform::Translate(N_("not a JSON array of front-ends")));
  std::vector<ReportedFrontEnd> front_ends;
  for (size_t i = 0; i < report.size(); ++i) {
    const json& f = report[i];
    if (!f.is_object()) throw Wrong(i, N_("front-end %1: not an object"));
    const std::string& outcome = Member(f, "outcome", json::value_t::string, i).get_ref<const std::string&>();
    ReportedFrontEnd front_end{Member(f, "frontEnd", json::value_t::string, i).get<std::string>(), {}};
    const json& links = Member(f, "links", json::value_t::array, i);
    if (outcome != "relinked") continue;
    for (const json& l : links) {
      if (!l.is_object()) throw Wrong(i, N_("front-end %1: a link is not an object"));
      const auto same = l.find("samePassword");
      front_end.undo.links.push_back(UndoLinks::Link{
          Member(l, "table", json::value_t::string, i).get<std::string>(),
          Member(l, "from", json::value_t::string, i).get<std::string>(),
          Member(l, "to", json::value_t::string, i).get<std::string>(),
          same != l.end() && same->is_boolean() && same->get<bool>()});
    }
    front_ends.push_back(std::move(front_end));
  }
  return front_ends;
}

bool StillAsReported(const UndoLinks::Link& link, const std::string& stored) {
  return stored == link.new_link || engine::MaskPasswords(stored) == link.new_link;
}

std::optional<std::string> Restored(const UndoLinks::Link& link, const std::string& stored) {
  const std::vector<std::string> old = Passwords(link.old_link);
  const bool masked = std::find(old.begin(), old.end(), engine::kMaskedPassword) != old.end();
  if (!masked) return link.old_link;
  if (!link.same_password) return std::nullopt;
  const std::vector<std::string> now = Passwords(stored);
  if (now.size() != old.size()) return std::nullopt;
  return engine::ReplacePasswords(link.old_link, [&](size_t i, std::string_view) { return now[i]; });
}

}  // namespace cli
