#include "jet/page_transaction.h"

#include "jet/data_page_writer.h"
#include "jet/invariant.h"
#include "jet/usage_map.h"

namespace jet {

Result<std::vector<uint8_t>> PageTransaction::Read(uint32_t page) {
  if (auto it = changed_.find(page); it != changed_.end()) return it->second;  // T2
  if (page >= pager_.page_count()) {
    if (page < page_count_) return std::vector<uint8_t>(pager_.page_size(), 0);
    return Status::Corrupt("page " + std::to_string(page) + " is past the end of the file");
  }
  read_.insert(page);
  return pager_.ReadPage(page);
}

Status PageTransaction::Write(uint32_t page, std::vector<uint8_t> bytes) {
  if (bytes.size() != pager_.page_size()) return Status::InvalidArgument("a page write must be one whole page");
  if (page >= page_count_) return Status::InvalidArgument("a page past the end of the file must be appended first");
  if (page == 0) return Status::InvalidArgument("the header page is not changed here");
  changed_[page] = std::move(bytes);
  in_step_.insert(page);
  return Status::Ok();
}

uint32_t PageTransaction::Append() {
  const uint32_t page = page_count_++;
  changed_[page] = std::vector<uint8_t>(pager_.page_size(), 0);
  in_step_.insert(page);
  return page;
}

void PageTransaction::EndStep(Step kind) {
  if (in_step_.empty()) return;
  EndedStep step{kind, {}};
  for (uint32_t number : in_step_) step.pages.push_back(PageImage{number, changed_.at(number)});
  ended_.push_back(std::move(step));
  in_step_.clear();
}

std::vector<PageImage> PageTransaction::Images() const {
  std::vector<const EndedStep*> steps;
  for (const EndedStep& step : ended_) steps.push_back(&step);
  EndedStep last{Step::kReleases, {}};
  for (uint32_t number : in_step_) last.pages.push_back(PageImage{number, changed_.at(number)});
  if (!last.pages.empty()) steps.push_back(&last);

  // The steps of a kind may go out together only where no page is changed
  // by a step of a later kind before one of an earlier kind: its image in
  // the earlier group would then hold what the later group makes.
  bool by_kind = true;
  std::map<uint32_t, Step> latest;
  for (const EndedStep* step : steps)
    for (const PageImage& p : step->pages) {
      auto [at, added] = latest.emplace(p.number, step->kind);
      if (!added && at->second > step->kind) by_kind = false;
      at->second = step->kind;
    }

  std::vector<PageImage> images;
  auto group = [&](const std::map<uint32_t, const std::vector<uint8_t>*>& pages) {
    if (pages.empty()) return;
    if (!images.empty()) images.back().sync_after = true;  // the group before is durable first
    for (const auto& [number, bytes] : pages) images.push_back(PageImage{number, *bytes});
  };
  if (by_kind) {
    for (Step kind : {Step::kAdds, Step::kTurns, Step::kReleases}) {
      std::map<uint32_t, const std::vector<uint8_t>*> pages;  // each as the kind's last step left it
      for (const EndedStep* step : steps)
        if (step->kind == kind)
          for (const PageImage& p : step->pages) pages[p.number] = &p.bytes;
      group(pages);
    }
  } else {
    for (const EndedStep* step : steps) {
      std::map<uint32_t, const std::vector<uint8_t>*> pages;
      for (const PageImage& p : step->pages) pages[p.number] = &p.bytes;
      group(pages);
    }
  }
#if VOSTREL_ASSERTIONS_ON
  std::map<uint32_t, const std::vector<uint8_t>*> final_image;
  for (const PageImage& p : images) {
    VOSTREL_ASSERT(p.number != 0 && p.number < page_count_, "T3");
    final_image[p.number] = &p.bytes;
  }
  VOSTREL_ASSERT(final_image.size() == changed_.size(), "T4");
  for (const auto& [number, bytes] : changed_)
    VOSTREL_ASSERT(final_image.count(number) && *final_image[number] == bytes, "T4");
#endif
  return images;
}

Status PageTransaction::CheckBeforeWrite() {
  auto size = pager_.file().Size();
  if (!size.ok()) return size.status();
  if (*size % pager_.page_size() != 0) return Status::Corrupt("the file's length is not a whole number of pages");
  for (uint32_t encoded : maps_) {
    // ReadUsageMap refuses a map that marks a page past the end of the file.
    auto pages = ReadUsageMap(pager_, RowPointer::Decode(encoded));
    if (!pages.ok()) return pages.status();
  }
  for (const auto& [number, bytes] : changed_) {
    if (!read_.contains(number)) continue;  // not re-laid: written whole, a new or a free page
    auto old = pager_.ReadPage(number);
    if (!old.ok()) return old.status();
    if ((*old)[0] != kPageData) continue;  // a page of bitmap, changed bit by bit
    JET_RETURN_IF_ERROR(CheckRepackable(*old, format(), pager_.page_count()));
  }
  return Status::Ok();
}

Status PageTransaction::Commit(Env& env, const std::string& db_path, CommitStats* stats) {
  if (changed_.empty()) return Status::Ok();
  JET_RETURN_IF_ERROR(CheckBeforeWrite());  // T1
  VOSTREL_ASSERT(changed_.rbegin()->first < page_count_ && page_count_ >= pager_.page_count(), "T3");
  return CommitPages(env, pager_, db_path, Images(), stats);
}

}  // namespace jet
