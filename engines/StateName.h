// Printing an engine's state by name, for traces, reports and failing tests.
//
// Each engine declares, beside its class, StateName for its own state enum and
// an operator<< that prints that name. A value that no enumerator holds can only
// come from a cast; it prints as its number.
#pragma once

#include <cstdint>
#include <string>

// "State " followed by the value in decimal.
std::string UnnamedState(std::uint8_t value);
