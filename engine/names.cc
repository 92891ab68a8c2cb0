#include "vostrel/names.h"

#include "jet/text.h"

namespace engine {

bool SameIgnoringCase(std::string_view a, std::string_view b) { return jet::EqualsIgnoreCase(a, b); }

}  // namespace engine
