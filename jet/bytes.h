// Little-endian reading and writing of file bytes. Every structure in a
// database file may lie: ByteView never reads outside its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace jet {

using Bytes = std::span<const uint8_t>;

// Whether [offset, offset + length) lies inside a buffer of `size` bytes,
// without overflowing.
constexpr bool InBounds(size_t size, size_t offset, size_t length) {
  return offset <= size && length <= size - offset;
}

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU24(const uint8_t* p) { return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16); }
inline uint32_t LoadU32(const uint8_t* p) { return LoadU24(p) | (static_cast<uint32_t>(p[3]) << 24); }
inline uint64_t LoadU64(const uint8_t* p) { return LoadU32(p) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32); }

inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU24(uint8_t* p, uint32_t v) {
  StoreU16(p, static_cast<uint16_t>(v));
  p[2] = static_cast<uint8_t>(v >> 16);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  StoreU16(p, static_cast<uint16_t>(v));
  StoreU16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, static_cast<uint32_t>(v));
  StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
}

inline void StoreF64(uint8_t* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  StoreU64(p, bits);
}

// Checked reads at offsets. A read outside the bytes yields zero (or an empty
// span) and marks the view failed, so that a parser can read a whole record
// and check ok() once before trusting any of it.
class ByteView {
 public:
  ByteView() = default;
  explicit ByteView(Bytes bytes) : bytes_(bytes) {}

  size_t size() const { return bytes_.size(); }
  Bytes bytes() const { return bytes_; }
  bool ok() const { return ok_; }
  bool Has(size_t offset, size_t length) const { return InBounds(bytes_.size(), offset, length); }

  uint8_t U8(size_t offset) { return Check(offset, 1) ? bytes_[offset] : 0; }
  uint16_t U16(size_t offset) { return Check(offset, 2) ? LoadU16(&bytes_[offset]) : 0; }
  uint32_t U24(size_t offset) { return Check(offset, 3) ? LoadU24(&bytes_[offset]) : 0; }
  uint32_t U32(size_t offset) { return Check(offset, 4) ? LoadU32(&bytes_[offset]) : 0; }
  uint64_t U64(size_t offset) { return Check(offset, 8) ? LoadU64(&bytes_[offset]) : 0; }
  double F64(size_t offset) {
    uint64_t bits = U64(offset);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  Bytes Sub(size_t offset, size_t length) { return Check(offset, length) ? bytes_.subspan(offset, length) : Bytes(); }

 private:
  bool Check(size_t offset, size_t length) {
    if (Has(offset, length)) return true;
    ok_ = false;
    return false;
  }

  Bytes bytes_;
  bool ok_ = true;
};

}  // namespace jet
