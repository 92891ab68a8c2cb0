#include "jet/page_transaction.h"

namespace jet {

Result<std::vector<uint8_t>> PageTransaction::Read(uint32_t page) {
  if (auto it = changed_.find(page); it != changed_.end()) return it->second;
  if (page >= pager_.page_count()) {
    if (page < page_count_) return std::vector<uint8_t>(pager_.page_size(), 0);
    return Status::Corrupt("page " + std::to_string(page) + " is past the end of the file");
  }
  return pager_.ReadPage(page);
}

Status PageTransaction::Write(uint32_t page, std::vector<uint8_t> bytes) {
  if (bytes.size() != pager_.page_size()) return Status::InvalidArgument("a page write must be one whole page");
  if (page >= page_count_) return Status::InvalidArgument("a page past the end of the file must be appended first");
  if (page == 0) return Status::InvalidArgument("the header page is not changed here");
  changed_[page] = std::move(bytes);
  return Status::Ok();
}

uint32_t PageTransaction::Append() {
  const uint32_t page = page_count_++;
  changed_[page] = std::vector<uint8_t>(pager_.page_size(), 0);
  return page;
}

std::vector<PageImage> PageTransaction::Images() const {
  std::vector<PageImage> images;
  images.reserve(changed_.size());
  for (const auto& [number, bytes] : changed_) images.push_back(PageImage{number, bytes});
  return images;
}

Status PageTransaction::Commit(Env& env, const std::string& db_path, CommitStats* stats) {
  return CommitPages(env, pager_, db_path, Images(), stats);
}

}  // namespace jet
