#include "SequencerState.h"

#include "StateName.h"

#include <ostream>

std::string StateName(TSeqState state)
{
    switch (state) {
    case TSeqState::Idle: return "Idle";
    case TSeqState::LoadScript: return "LoadScript";
    case TSeqState::QueryCard: return "QueryCard";
    case TSeqState::AwaitCardType: return "AwaitCardType";
    case TSeqState::StartSync: return "StartSync";
    case TSeqState::AwaitSync: return "AwaitSync";
    case TSeqState::Failed: return "Failed";
    case TSeqState::ErrorBox: return "ErrorBox";
    case TSeqState::StartClosing: return "StartClosing";
    case TSeqState::AwaitClosing: return "AwaitClosing";
    case TSeqState::Completed: return "Completed";
    case TSeqState::NextMainLine: return "NextMainLine";
    case TSeqState::AwaitMainLine: return "AwaitMainLine";
    case TSeqState::NextComponentLine: return "NextComponentLine";
    case TSeqState::AwaitComponentLine: return "AwaitComponentLine";
    case TSeqState::StartBootOption: return "StartBootOption";
    case TSeqState::AwaitBootOption: return "AwaitBootOption";
    case TSeqState::AwaitOptionCode: return "AwaitOptionCode";
    }
    return UnnamedState(static_cast<std::uint8_t>(state));
}

std::ostream& operator<<(std::ostream& out, TSeqState state) { return out << StateName(state); }
