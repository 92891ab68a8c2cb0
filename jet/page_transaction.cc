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

void PageTransaction::EndStep() {
  for (uint32_t number : in_step_) ended_.push_back(PageImage{number, changed_.at(number)});
  in_step_.clear();
}

std::vector<PageImage> PageTransaction::Images() const {
  std::vector<PageImage> images = ended_;
  for (uint32_t number : in_step_) images.push_back(PageImage{number, changed_.at(number)});
#if VOSTREL_ASSERTIONS_ON
  std::map<uint32_t, const std::vector<uint8_t>*> last;
  for (const PageImage& p : images) {
    VOSTREL_ASSERT(p.number != 0 && p.number < page_count_, "T3");
    last[p.number] = &p.bytes;
  }
  VOSTREL_ASSERT(last.size() == changed_.size(), "T4");
  for (const auto& [number, bytes] : changed_) VOSTREL_ASSERT(last.count(number) && *last[number] == bytes, "T4");
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
