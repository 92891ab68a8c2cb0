#include "cli/front_end.h"

#include <memory>

#include "cli/path_compare.h"
#include "engine/database_impl.h"
#include "engine/link_string.h"
#include "engine/relink.h"
#include "jet/catalog.h"
#include "jet/text.h"

namespace cli {
namespace {

engine::CatalogEntry EntryOf(const jet::CatalogObject& o) {
  engine::CatalogEntry e;
  e.name = o.name;
  e.type = o.type;
  e.database = o.database;
  e.connect = o.connect;
  e.foreign_name = o.foreign_name;
  return e;
}

std::string LinkOf(const jet::CatalogObject& o) { return engine::ComposeLinkString(EntryOf(o)); }

// The engine reports a link it cannot open with these: an ODBC link (no
// server is reached from here) and a link of another kind (a spreadsheet, a
// text file). Such a link may be fine; we only cannot tell.
bool NotCheckable(const engine::EngineError& e) {
  return e.number() == engine::kErrOdbcConnectionFailed || e.number() == engine::kErrInstallableIsam;
}

// The requests an order makes of this catalog, with the links as they are now.
std::vector<ChangedLink> Plan(const jet::Catalog& catalog, const RelinkOrder& order) {
  std::vector<ChangedLink> planned;
  if (const auto* set = std::get_if<SetLinks>(&order)) {
    for (const SetLinks::Link& l : set->links) {
      const jet::CatalogObject* o = catalog.FindTable(l.table);
      // A missing table is planned all the same: its check says so.
      planned.push_back(ChangedLink{o ? o->name : l.table, o ? LinkOf(*o) : "", l.link, std::nullopt});
    }
    return planned;
  }
  const MoveBackEnd& move = std::get<MoveBackEnd>(order);
  for (const jet::CatalogObject& o : catalog.objects) {
    if (o.type != jet::kObjectLink || !o.database || !SamePath(*o.database, move.from)) continue;
    if (move.table && !jet::EqualsIgnoreCase(o.name, *move.table)) continue;
    engine::CatalogEntry moved = EntryOf(o);
    moved.database = move.to;
    planned.push_back(ChangedLink{o.name, LinkOf(o), engine::ComposeLinkString(moved), std::nullopt});
  }
  return planned;
}

}  // namespace

bool FrontEndCheck::Good() const {
  if (failure) return false;
  for (const CheckedLink& l : links)
    if (l.state == LinkState::kBroken) return false;
  return true;
}

FrontEndCheck CheckFrontEnd(jet::Env& env, const std::string& file) {
  FrontEndCheck report{file, std::nullopt, {}};
  try {
    std::unique_ptr<engine::DatabaseImpl> db = engine::OpenDatabaseImpl(env, file);
    for (const jet::CatalogObject& o : db->catalog.objects) {
      if (o.type != jet::kObjectLink && o.type != jet::kObjectOdbcLink) continue;
      CheckedLink link{o.name, LinkOf(o), LinkState::kOk, std::nullopt};
      try {
        engine::CheckLink(*db, env, engine::LinkRequest{o.name, link.link});
      } catch (const engine::EngineError& e) {
        link.state = NotCheckable(e) ? LinkState::kNotCheckable : LinkState::kBroken;
        link.failure = Failure::Of(e);
      }
      report.links.push_back(std::move(link));
    }
  } catch (const engine::EngineError& e) {
    report.failure = Failure::Of(e);
  }
  return report;
}

FrontEndRelink RelinkFrontEnd(jet::Env& env, const std::string& file, const RelinkOrder& order, bool dry_run,
                              double now) {
  FrontEndRelink report{file, RelinkOutcome::kNothing, std::nullopt, {}};
  try {
    std::unique_ptr<engine::DatabaseImpl> db = engine::OpenDatabaseImpl(env, file);
    db->env = &env;
    report.links = Plan(db->catalog, order);
    if (report.links.empty()) return report;

    std::vector<engine::LinkRequest> requests;
    for (ChangedLink& l : report.links) {
      requests.push_back(engine::LinkRequest{l.table, l.new_link});
      try {
        engine::CheckLink(*db, env, requests.back());
      } catch (const engine::EngineError& e) {
        l.failure = Failure::Of(e);
        if (!report.failure) report.failure = l.failure;
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
    engine::StoreLinks(*db, env, requests, now);
    report.outcome = RelinkOutcome::kRelinked;
  } catch (const engine::EngineError& e) {
    report.outcome = RelinkOutcome::kFailed;
    report.failure = Failure::Of(e);
  }
  return report;
}

}  // namespace cli
