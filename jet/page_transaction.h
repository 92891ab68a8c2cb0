// PageTransaction: the pages one change to a database file touches, held in
// memory until they are committed together through the journal. Nothing
// reaches the file before Commit; reading a page the change has already
// touched gives the changed copy, so the steps of a change build on each
// other.
//
// The journal makes the change all or nothing for vostrel; a reader that
// knows nothing of it sees whatever part of the page writes reached the
// file: after a kill, a prefix of them; after a power cut, any subset of
// those since the last sync, the last torn. So a change is made in steps
// (EndStep), each of one kind: it only adds what nothing points to yet
// (long values, moved rows' bytes, usage map bits for pages about to be
// used), or turns rows to their new values (each row on its own page, whole
// in one page write), or releases what nothing points to any more. A writer
// makes every step such that any of its pages may land alone.
//
// The writes go out in groups, each synced before the next is written: when
// every page's steps come in the order adds, turns, releases, all steps of a
// kind form one group (three groups, two syncs more than one, whatever the
// number of rows turned); otherwise each step is a group of its own. Either
// way a reader finds, after a kill or a power cut, nothing pointing at what
// did not land, and each row old or new, but on a page whose write the cut
// tore where the change lays its rows out again.
//
// Invariants (checked with VOSTREL_ASSERT where the code relies on them):
//   T1  Nothing reaches the file before Commit, and Commit writes nothing
//       unless CheckBeforeWrite passed.
//   T2  Read gives a page as the change has it: the changed copy when there
//       is one, the file's page otherwise.
//   T3  Page 0 (the header) is never changed, and every changed page lies
//       below page_count(); appended pages follow the file's pages without
//       a gap.
//   T4  Images lists each group's pages once, in page order, each as the
//       group's last step left it, the last image of every group but the
//       last marked sync_after; every changed page is in it, and its last
//       image is the page as the change leaves it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "jet/env_names.h"
#include "jet/journal.h"
#include "jet/pager.h"

namespace jet {

class PageTransaction {
 public:
  explicit PageTransaction(Pager& pager) : pager_(pager), page_count_(pager.page_count()) {}

  Pager& pager() { return pager_; }
  const Format& format() const { return pager_.format(); }
  // The file's pages as this change leaves them, new pages included.
  uint32_t page_count() const { return page_count_; }

  // A page as this change has it so far.
  Result<std::vector<uint8_t>> Read(uint32_t page);
  // Replaces a page (one whole page; kInvalidArgument otherwise).
  Status Write(uint32_t page, std::vector<uint8_t> bytes);
  // A new page at the end of the file, all zeros until written.
  uint32_t Append();
  // Names a usage map the change relies on (to find its owner's pages): every
  // page it marks must lie inside the file for the change to be made.
  void RelyOnMap(RowPointer map) { maps_.insert(map.Encode()); }

  // What a step does (see above), which decides the group it is written in.
  enum class Step { kAdds, kTurns, kReleases };
  // Ends a step: the pages written since the last EndStep. Pages written
  // after the last one form a last step of releases.
  void EndStep(Step kind);

  // The page writes of the change, group by group (see above); a page
  // changed in several groups comes once in each.
  std::vector<PageImage> Images() const;
  bool empty() const { return changed_.empty(); }

  // Writes every changed page atomically and durably (see CommitPages),
  // once CheckBeforeWrite passes; otherwise writes nothing.
  Status Commit(Env& env, const std::string& db_path, CommitStats* stats = nullptr);

  // What the change relies on in the file, checked before anything is
  // written (reading is more lenient): the file is a whole number of pages,
  // every usage map the change relies on marks pages inside it, and every
  // data page the change re-lays from its old contents is sound as
  // CheckRepackable says. kCorrupt otherwise. (Pages read or written past
  // the end of the file fail where they are read or written.)
  Status CheckBeforeWrite();

 private:
  Pager& pager_;
  uint32_t page_count_;
  std::map<uint32_t, std::vector<uint8_t>> changed_;  // each page as the change has it now
  struct EndedStep {
    Step kind;
    std::vector<PageImage> pages;  // in page order, as the step left them
  };
  std::vector<EndedStep> ended_;
  std::set<uint32_t> in_step_;                        // pages changed in the step under way
  std::set<uint32_t> read_;     // pages read from the file
  std::set<uint32_t> maps_;     // encoded row pointers of the maps relied on
};

}  // namespace jet
