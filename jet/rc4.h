// RC4, the stream cipher the format uses to mask the header page and, when a
// Jet3/Jet4 file has an encoding key, every other page. Masking and unmasking
// are the same pass.
#pragma once

#include <cstdint>
#include <span>

namespace jet {

void Rc4Apply(std::span<const uint8_t> key, std::span<uint8_t> data);

}  // namespace jet
