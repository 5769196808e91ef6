// Checks an engine's state enum against the numbers of its state table.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using StateTable = std::vector<std::pair<int, std::string>>;

// Every number of the table prints as its name, in traces as in failing
// assertions; every other value of the byte is no state and prints as its number.
template <typename State>
void ExpectStateTable(const StateTable& table)
{
    for (int value = 0; value <= UINT8_MAX; ++value) {
        const auto entry =
            std::find_if(table.begin(), table.end(), [value](const auto& row) { return row.first == value; });
        const std::string expected = entry == table.end() ? "State " + std::to_string(value) : entry->second;
        const State state = static_cast<State>(value);
        EXPECT_EQ(StateName(state), expected) << value;
        EXPECT_EQ(::testing::PrintToString(state), expected) << value;
    }
}
