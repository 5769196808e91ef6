#include "SequencerState.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

// Traces and reports show states by name; the numbers are the ones they store.
TEST(SequencerState, EveryStateHasItsOwnNameAndNumber)
{
    const std::pair<int, const char*> states[] = {
        {0, "Idle"},          {1, "LoadScript"},         {2, "QueryCard"},          {3, "AwaitCardType"},
        {4, "StartSync"},     {5, "AwaitSync"},          {6, "Failed"},             {7, "ErrorBox"},
        {8, "StartClosing"},  {9, "AwaitClosing"},       {10, "Completed"},         {12, "NextMainLine"},
        {13, "AwaitMainLine"}, {14, "NextComponentLine"}, {15, "AwaitComponentLine"}, {16, "StartBootOption"},
        {17, "AwaitBootOption"}, {18, "AwaitOptionCode"},
    };
    std::set<std::string> names;
    for (const auto& [number, name] : states) {
        EXPECT_EQ(StateName(static_cast<TSeqState>(number)), name);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), std::size(states));
    EXPECT_EQ(StateName(static_cast<TSeqState>(11)), "State 11");
    std::ostringstream printed;
    printed << TSeqState::AwaitSync;
    EXPECT_EQ(printed.str(), "AwaitSync");
}
