// A format family as the parameter of a test: the version byte the header
// holds, printed by the family's name rather than as a character.
#pragma once

#include <cstdint>
#include <ostream>

namespace jet_test {

struct Family {
  uint8_t version;  // the header's version byte
  const char* name;
};

inline void PrintTo(const Family& family, std::ostream* os) {
  *os << family.name << " (version byte " << static_cast<int>(family.version) << ")";
}

inline constexpr Family kJet3Family{0, "Jet3"};
inline constexpr Family kJet4Family{1, "Jet4"};

}  // namespace jet_test
