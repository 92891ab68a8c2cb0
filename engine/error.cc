#include "vostrel/error.h"

#include "platform/messages.h"

namespace engine {

using platform::Translate;

EngineError::EngineError(int number, std::string description)
    : EngineError(number, description, Translate(description.c_str())) {}

}  // namespace engine
