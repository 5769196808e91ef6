#include "StateName.h"

std::string UnnamedState(std::uint8_t value) { return "State " + std::to_string(value); }
