// Printing an engine's state by name, for traces, reports and failing tests.
//
// Each engine declares, beside its class, StateName for its own state enum and
// an operator<< that prints that name. A value that no enumerator holds can only
// come from a cast; it prints as its number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// "State " followed by the value in decimal.
std::string UnnamedState(std::uint8_t value);

// The name at the state's number in names (a table in the order of the
// numbers, nullptr where no state has the number), or UnnamedState.
template <class State, std::size_t Count>
std::string NamedState(const char* const (&names)[Count], State state)
{
    const auto value = static_cast<std::uint8_t>(state);
    return value < Count && names[value] != nullptr ? names[value] : UnnamedState(value);
}
