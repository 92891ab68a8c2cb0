#include "jet/pager.h"

#include <algorithm>

#include <utility>

namespace jet {

Pager::Pager(File& file, const Format& format, std::shared_ptr<const PageCodec> codec, uint64_t file_size,
             PageCounters* counters, size_t cache_pages)
    : file_(file),
      format_(format),
      codec_(std::move(codec)),
      page_count_(static_cast<uint32_t>(std::min<uint64_t>(file_size / format.page_size, UINT32_MAX))),
      counters_(counters),
      cache_pages_(cache_pages) {}

void Pager::Remember(uint32_t page, const std::vector<uint8_t>& data) {
  if (cache_pages_ == 0) return;
  auto it = cache_.find(page);
  if (it != cache_.end()) {
    it->second.data = data;
    lru_.splice(lru_.begin(), lru_, it->second.lru);
    return;
  }
  if (cache_.size() >= cache_pages_) {
    cache_.erase(lru_.back());
    lru_.pop_back();
  }
  lru_.push_front(page);
  cache_.emplace(page, CachedPage{data, lru_.begin()});
}

void Pager::Invalidate() {
  cache_.clear();
  lru_.clear();
}

Result<std::vector<uint8_t>> Pager::ReadPage(uint32_t page) {
  if (page >= page_count_)
    return Status::Corrupt("page " + std::to_string(page) + " is past the end of the file (" +
                           std::to_string(page_count_) + " pages)");
  if (auto it = cache_.find(page); it != cache_.end()) {
    lru_.splice(lru_.begin(), lru_, it->second.lru);
    return it->second.data;
  }
  std::vector<uint8_t> data(format_.page_size);
  JET_RETURN_IF_ERROR(file_.ReadAt(static_cast<uint64_t>(page) * format_.page_size, data));
  if (counters_) counters_->pages_read.fetch_add(1, std::memory_order_relaxed);
  if (codec_ && page != 0) JET_RETURN_IF_ERROR(codec_->Decode(page, data));
  Remember(page, data);
  return data;
}

Result<std::vector<uint8_t>> Pager::StoredBytes(uint32_t page, Bytes data) const {
  std::vector<uint8_t> out(data.begin(), data.end());
  if (codec_ && page != 0) JET_RETURN_IF_ERROR(codec_->Encode(page, out));
  return out;
}

Status Pager::WritePage(uint32_t page, Bytes data) {
  if (data.size() != format_.page_size) return Status::InvalidArgument("a page write must be one whole page");
  Result<std::vector<uint8_t>> out = StoredBytes(page, data);
  if (!out.ok()) return out.status();
  Status written = file_.WriteAt(static_cast<uint64_t>(page) * format_.page_size, *out);
  if (!written.ok()) {
    Invalidate();  // the page on disk may now be anything
    return written;
  }
  Remember(page, std::vector<uint8_t>(data.begin(), data.end()));
  if (counters_) counters_->pages_written.fetch_add(1, std::memory_order_relaxed);
  if (page >= page_count_) page_count_ = page + 1;
  return Status::Ok();
}

Status Pager::Sync() {
  JET_RETURN_IF_ERROR(file_.Sync());
  if (counters_) counters_->syncs.fetch_add(1, std::memory_order_relaxed);
  return Status::Ok();
}

Status Pager::RefreshSize() {
  Result<uint64_t> size = file_.Size();
  if (!size.ok()) return size.status();
  page_count_ = static_cast<uint32_t>(std::min<uint64_t>(*size / format_.page_size, UINT32_MAX));
  Invalidate();
  return Status::Ok();
}

}  // namespace jet
