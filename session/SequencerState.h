// The states of the update sequencer. The numbers are the ones traces and run
// reports show; 11 is no state, and any number that is none leads back to Idle.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

enum class TSeqState : std::uint8_t {
    Idle = 0,
    LoadScript = 1,
    QueryCard = 2,
    AwaitCardType = 3,
    StartSync = 4,
    AwaitSync = 5,
    Failed = 6,
    ErrorBox = 7,
    StartClosing = 8,
    AwaitClosing = 9,
    Completed = 10,
    NextMainLine = 12,
    AwaitMainLine = 13,
    NextComponentLine = 14,
    AwaitComponentLine = 15,
    StartBootOption = 16,
    AwaitBootOption = 17,
    AwaitOptionCode = 18,
};

// "AwaitSync" and so on; "State 11" for a number that is no state.
std::string StateName(TSeqState state);
std::ostream& operator<<(std::ostream& out, TSeqState state);
