// Little-endian stores into byte buffers: the building blocks of every page
// the builder writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "jet/bytes.h"

namespace dbbuilder {

// Bytes the builder owns and grows (jet::Bytes is a view of bytes).
using ByteVector = std::vector<uint8_t>;

// Stores at an offset of a buffer the caller sized; the encoding is jet's.
inline void Put16(std::span<uint8_t> p, size_t at, uint16_t v) { jet::StoreU16(&p[at], v); }
inline void Put24(std::span<uint8_t> p, size_t at, uint32_t v) { jet::StoreU24(&p[at], v); }
inline void Put32(std::span<uint8_t> p, size_t at, uint32_t v) { jet::StoreU32(&p[at], v); }
inline void Put64(std::span<uint8_t> p, size_t at, uint64_t v) { jet::StoreU64(&p[at], v); }
inline void PutDouble(std::span<uint8_t> p, size_t at, double v) { jet::StoreF64(&p[at], v); }

// Appends to a growing buffer.
class ByteWriter {
 public:
  ByteWriter() = default;
  explicit ByteWriter(ByteVector initial) : out_(std::move(initial)) {}

  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) { Grow(2, [&](size_t at) { Put16(out_, at, v); }); }
  void U24(uint32_t v) { Grow(3, [&](size_t at) { Put24(out_, at, v); }); }
  void U32(uint32_t v) { Grow(4, [&](size_t at) { Put32(out_, at, v); }); }
  void U64(uint64_t v) { Grow(8, [&](size_t at) { Put64(out_, at, v); }); }
  void Double(double v) { Grow(8, [&](size_t at) { PutDouble(out_, at, v); }); }
  void Append(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void Fill(size_t n, uint8_t v) { out_.insert(out_.end(), n, v); }

  size_t size() const { return out_.size(); }
  ByteVector& bytes() { return out_; }
  ByteVector Take() { return std::move(out_); }

 private:
  template <typename F>
  void Grow(size_t n, F&& store) {
    size_t at = out_.size();
    out_.resize(at + n);
    store(at);
  }
  ByteVector out_;
};

}  // namespace dbbuilder
