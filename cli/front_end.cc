#include "front_end.h"

#include <memory>

#include "path_compare.h"
#include "undo.h"
#include "vostrel/database.h"
#include "vostrel/dbengine.h"
#include "vostrel/link_string.h"
#include "vostrel/tabledef.h"

namespace cli {
namespace {

constexpr int kLink = static_cast<int>(engine::TableType::kLink);
constexpr int kOdbcLink = static_cast<int>(engine::TableType::kOdbcLink);

// The engine reports a link it cannot open with these: an ODBC link (no
// server is reached from here) and a link of another kind (a spreadsheet, a
// text file). Such a link may be fine; we only cannot tell.
bool NotCheckable(const engine::EngineError& e) {
  return e.number() == engine::kErrOdbcConnectionFailed || e.number() == engine::kErrInstallableIsam;
}

ChangedLink Change(std::string table, std::string old_link, std::string new_link) {
  const bool same_password = Passwords(old_link) == Passwords(new_link);
  return ChangedLink{std::move(table), std::move(old_link), std::move(new_link), std::nullopt, same_password, std::nullopt};
}

// The links an undo puts back; `refused` gets those it leaves as they are.
std::vector<ChangedLink> PlanUndo(engine::Database& db, const UndoLinks& undo, std::vector<RefusedLink>& refused) {
  std::vector<ChangedLink> planned;
  for (const UndoLinks::Link& l : undo.links) {
    const std::optional<engine::CatalogEntry> e = db.FindTable(l.table);
    const std::string stored = e ? engine::ComposeLinkString(*e) : "";
    if (!e || !StillAsReported(l, stored)) {
      refused.push_back(RefusedLink{l.table, stored, Refusal::kChangedSince});
      continue;
    }
    std::optional<std::string> restored = Restored(l, stored);
    if (!restored) {
      refused.push_back(RefusedLink{e->name, stored, Refusal::kPasswordHidden});
      continue;
    }
    planned.push_back(Change(e->name, stored, std::move(*restored)));
  }
  return planned;
}

// The requests an order makes of this catalog, with the links as they are now.
std::vector<ChangedLink> Plan(engine::Database& db, const RelinkOrder& order, std::vector<RefusedLink>& refused) {
  std::vector<ChangedLink> planned;
  if (const auto* undo = std::get_if<UndoLinks>(&order)) return PlanUndo(db, *undo, refused);
  if (const auto* set = std::get_if<SetLinks>(&order)) {
    for (const SetLinks::Link& l : set->links) {
      const std::optional<engine::CatalogEntry> e = db.FindTable(l.table);
      // A missing table is planned all the same: its check says so.
      planned.push_back(Change(e ? e->name : l.table, e ? engine::ComposeLinkString(*e) : "", l.link));
    }
    return planned;
  }
  const MoveBackEnd& move = std::get<MoveBackEnd>(order);
  std::optional<std::string> only;  // the catalog's name of move.table
  if (move.table) {
    const std::optional<engine::CatalogEntry> e = db.FindTable(*move.table);
    if (!e) return planned;
    only = e->name;
  }
  db.ForEachTable([&](const engine::CatalogEntry& e, const std::string& connect) {
    if (e.type != kLink || !e.database || (only && e.name != *only)) return;
    std::optional<std::string> to = MovedPath(*e.database, move.from, move.to);
    if (!to) return;
    engine::CatalogEntry moved = e;
    moved.database = std::move(to);
    planned.push_back(Change(e.name, connect, engine::ComposeLinkString(moved)));
  });
  return planned;
}

std::unique_ptr<engine::Database> OpenFrontEnd(engine::Env& env, const std::string& file, FrontEndPassword* password) {
  if (password) return password->Open(env, file);
  return engine::DBEngine::Instance().OpenMapped(env, file);
}

}  // namespace

bool FrontEndCheck::Good() const {
  if (failure) return false;
  for (const CheckedLink& l : links)
    if (l.state == LinkState::kBroken) return false;
  return true;
}

FrontEndCheck CheckFrontEnd(engine::Env& env, const std::string& file, FrontEndPassword* password) {
  FrontEndCheck report{file, std::nullopt, {}, {}};
  try {
    std::unique_ptr<engine::Database> db = OpenFrontEnd(env, file, password);
    for (const engine::SessionUser& u : db->OpenBy()) report.open_by.emplace_back(u.machine, u.user);
    std::vector<CheckedLink> links;
    db->ForEachTable([&](const engine::CatalogEntry& e, const std::string& connect) {
      if (e.type != kLink && e.type != kOdbcLink) return;
      links.push_back(CheckedLink{e.name, connect, std::nullopt, LinkState::kOk, std::nullopt});
      if (e.type == kLink && e.database) links.back().local_path = engine::DBEngine::Instance().LocalPath(env, *e.database);
    });
    // Checked after the visit: a check opens back-ends, which the visit's
    // arguments need not outlive.
    for (CheckedLink& link : links) {
      try {
        db->CheckLink(engine::LinkRequest{link.table, link.link});
      } catch (const engine::EngineError& e) {
        link.state = NotCheckable(e) ? LinkState::kNotCheckable : LinkState::kBroken;
        link.failure = Failure::Of(e);
      }
    }
    report.links = std::move(links);
  } catch (const engine::EngineError& e) {
    report.failure = Failure::Of(e);
  }
  return report;
}

FrontEndRelink RelinkFrontEnd(engine::Env& env, const std::string& file, const RelinkOrder& order, bool dry_run,
                              double now, FrontEndPassword* password) {
  FrontEndRelink report{file, RelinkOutcome::kNothing, std::nullopt, {}, {}};
  try {
    std::unique_ptr<engine::Database> db = OpenFrontEnd(env, file, password);
    report.links = Plan(*db, order, report.refused);
    if (report.links.empty()) return report;

    const bool undo = std::holds_alternative<UndoLinks>(order);
    std::vector<engine::LinkRequest> requests;
    for (ChangedLink& l : report.links) {
      // Made from the link as read: stored only while the file still holds it.
      requests.push_back(engine::LinkRequest{l.table, l.new_link, l.old_link, undo});
      try {
        db->CheckLink(requests.back());
      } catch (const engine::EngineError& e) {
        l.failure = Failure::Of(e);
        if (!report.failure) report.failure = l.failure;
        continue;
      }
      if (!undo) continue;
      // Put back all the same; the user hears that its back-end is gone.
      try {
        db->CheckLink(engine::LinkRequest{l.table, l.new_link});
      } catch (const engine::EngineError& e) {
        l.back_end_now = Failure::Of(e);
      }
    }
    if (report.failure) {
      report.outcome = RelinkOutcome::kFailed;
      return report;
    }
    if (dry_run) {
      report.outcome = RelinkOutcome::kWouldRelink;
      return report;
    }
    // StoreLinks checks them all again before it writes: what it stores was
    // checked against the back-ends as they are then.
    db->StoreLinks(requests, now);
    report.outcome = RelinkOutcome::kRelinked;
  } catch (const engine::EngineError& e) {
    report.outcome = RelinkOutcome::kFailed;
    report.failure = Failure::Of(e);
  }
  return report;
}

}  // namespace cli
