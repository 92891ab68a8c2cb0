// Pager: whole pages of a database file, through Env's File. It decrypts
// (and on write encrypts) every page but page 0 through the file's
// PageCodec, when it has one, and counts what it does. It keeps the pages it read last in a small
// cache: long values of neighbouring catalog rows share pages. Its own
// writes update the cache; whoever changes the file another way (a journal
// played back, a page written through the File) must call Invalidate().
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include "jet/bytes.h"
#include "jet/env_names.h"
#include "jet/format.h"
#include "jet/page_codec.h"

namespace jet {

// What the engine has done to database files since the process started.
// One instance lives in the engine; every Pager counts into it.
struct PageCounters {
  std::atomic<uint64_t> pages_read{0};
  std::atomic<uint64_t> pages_written{0};
  std::atomic<uint64_t> syncs{0};
};

class Pager {
 public:
  // codec: how pages other than page 0 are stored (null: plain). counters
  // may be null.
  Pager(File& file, const Format& format, std::shared_ptr<const PageCodec> codec, uint64_t file_size,
        PageCounters* counters, size_t cache_pages = kDefaultCachePages);
  // db_key: a Jet3/Jet4 header's encoding key (Jet4PageCodec; pass 0 for
  // plain pages).
  Pager(File& file, const Format& format, uint32_t db_key, uint64_t file_size, PageCounters* counters,
        size_t cache_pages = kDefaultCachePages)
      : Pager(file, format, Jet4PageCodec(db_key), file_size, counters, cache_pages) {}

  static constexpr size_t kDefaultCachePages = 64;

  const Format& format() const { return format_; }
  uint32_t page_size() const { return format_.page_size; }
  // Whole pages in the file, as of open or the last RefreshSize.
  uint32_t page_count() const { return page_count_; }

  // One page as plain bytes; kCorrupt when it lies outside the file.
  Result<std::vector<uint8_t>> ReadPage(uint32_t page);

  // Writes one whole page (encrypting it when the file's pages are).
  Status WritePage(uint32_t page, Bytes data);
  // A page's plain bytes as WritePage stores them in the file.
  Result<std::vector<uint8_t>> StoredBytes(uint32_t page, Bytes data) const;
  Status Sync();
  // Rereads the file's size, after pages were appended or cut off.
  Status RefreshSize();
  // Forgets every cached page.
  void Invalidate();

  File& file() { return file_; }
  PageCounters* counters() { return counters_; }

 private:
  void Remember(uint32_t page, const std::vector<uint8_t>& data);

  struct CachedPage {
    std::vector<uint8_t> data;
    std::list<uint32_t>::iterator lru;  // its place in lru_, most recent first
  };

  File& file_;
  Format format_;
  std::shared_ptr<const PageCodec> codec_;
  uint32_t page_count_;
  PageCounters* counters_;
  size_t cache_pages_;
  std::unordered_map<uint32_t, CachedPage> cache_;
  std::list<uint32_t> lru_;
};

}  // namespace jet
