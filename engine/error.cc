#include "engine/error.h"

#include "engine/messages.h"

namespace engine {

EngineError::EngineError(int number, std::string description)
    : EngineError(number, description, Translate(description.c_str())) {}

}  // namespace engine
