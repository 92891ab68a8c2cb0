// Little-endian stores into byte buffers: the building blocks of every page
// the builder writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace dbbuilder {

using Bytes = std::vector<uint8_t>;

inline void Put16(std::span<uint8_t> p, size_t at, uint16_t v) {
  p[at] = static_cast<uint8_t>(v);
  p[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put24(std::span<uint8_t> p, size_t at, uint32_t v) {
  for (int i = 0; i < 3; ++i) p[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Put32(std::span<uint8_t> p, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Put64(std::span<uint8_t> p, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutDouble(std::span<uint8_t> p, size_t at, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  Put64(p, at, bits);
}

// Appends to a growing buffer.
class ByteWriter {
 public:
  ByteWriter() = default;
  explicit ByteWriter(Bytes initial) : out_(std::move(initial)) {}

  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) { Grow(2, [&](size_t at) { Put16(out_, at, v); }); }
  void U24(uint32_t v) { Grow(3, [&](size_t at) { Put24(out_, at, v); }); }
  void U32(uint32_t v) { Grow(4, [&](size_t at) { Put32(out_, at, v); }); }
  void U64(uint64_t v) { Grow(8, [&](size_t at) { Put64(out_, at, v); }); }
  void Double(double v) { Grow(8, [&](size_t at) { PutDouble(out_, at, v); }); }
  void Append(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void Fill(size_t n, uint8_t v) { out_.insert(out_.end(), n, v); }

  size_t size() const { return out_.size(); }
  Bytes& bytes() { return out_; }
  Bytes Take() { return std::move(out_); }

 private:
  template <typename F>
  void Grow(size_t n, F&& store) {
    size_t at = out_.size();
    out_.resize(at + n);
    store(at);
  }
  Bytes out_;
};

}  // namespace dbbuilder
