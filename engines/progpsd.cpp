#include "progpsd.h"

#include "StateName.h"
#include "TextLineReader.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <algorithm>
#include <ostream>
#include <utility>

using namespace constante;

void TProgPsd::ReportError(std::string_view msg)
{
    Lines.clear();
    ClearBusy();
    State = PsdState::Halted;
    TGestionnaire::ReportError(msg);
}

void TProgPsd::Reset()
{
    Lines.clear();
    TGestionnaire::Reset();
    State = PsdState::Idle;
}

void TProgPsd::Step()
{
    switch (State) {
    case PsdState::Idle: TakeLine(); break;
    case PsdState::StartUpload: StartUpload(); break;
    case PsdState::AwaitEraseStart:
        if (InstructionAccepted()) {
            Info(WithBankDigit(InfoEraseBank));
            State = PsdState::AwaitEraseEnd;
        }
        break;
    case PsdState::AwaitEraseEnd: AwaitEraseEnd(); break;
    case PsdState::Halted:
    case PsdState::Stopped: break;  // until Reset
    case PsdState::UploadLines:
        if (LineAcknowledged())
            State = PsdState::SendChecksumRecord;
        break;
    case PsdState::SendChecksumRecord: SendChecksumRecord(); break;
    case PsdState::AwaitChecksumAcknowledgement: AwaitChecksumAcknowledgement(); break;
    case PsdState::SendIdentify:
        Send(WithBankDigit(CmdIdentify));
        State = PsdState::AwaitIdentifyAcknowledgement;
        break;
    case PsdState::AwaitIdentifyAcknowledgement:
        if (InstructionAccepted()) {
            Info(InfoExtractMcuId);
            State = PsdState::ReadMcuId;
        }
        break;
    case PsdState::ReadMcuId: ReadMcuId(); break;
    case PsdState::SendFunction:
        Send(WithBankDigit(CmdFunction));
        State = PsdState::AwaitFunctionAcknowledgement;
        break;
    case PsdState::AwaitFunctionAcknowledgement:
        if (InstructionAccepted())
            State = PsdState::Done;
        break;
    case PsdState::Done: Done(); break;
    }
}

void TProgPsd::TakeLine()
{
    if (Busy)
        return;

    struct Keyword {
        const char* Letter;
        PsdState FirstState;
    };
    // Tested in this order; the first letter that matches decides.
    static constexpr Keyword Keywords[] = {{CmdProgram, PsdState::StartUpload},
                                           {CmdIdentify, PsdState::SendIdentify},
                                           {CmdFunction, PsdState::SendFunction}};
    for (const Keyword& keyword : Keywords) {
        const std::string_view letter = keyword.Letter;
        if (!StartsWith(CommandLine, letter))
            continue;
        // Without a bank digit the line belongs to another engine ("PB", "FI", "D8").
        std::string rest = Trim(std::string_view(CommandLine).substr(letter.size()));
        if (rest.empty() || rest.front() < '0' || rest.front() > HighestBankDigit)
            return;
        Bank = rest.front() - '0';
        CommandLine = std::move(rest);
        State = keyword.FirstState;
        SetBusy();
        return;
    }
}

std::string TProgPsd::WithBankDigit(std::string_view text) const
{
    return std::string(text) + HexDigit(static_cast<unsigned>(Bank));
}

bool TProgPsd::InstructionAccepted()
{
    switch (PollReply()) {
    case ReplyAccepted:
        ConsumeReply();
        return true;
    case ReplyUnknown:
        ConsumeReply();
        ReportError(ErrInstructionUnknown);
        return false;
    default: return false;
    }
}

// ---- Upload -------------------------------------------------------------------------

void TProgPsd::StartUpload()
{
    // Both refusals come before anything is sent, so the card is left untouched.
    if (!UpdateAllowed) {
        ReportError(ErrUpdateNotAllowed);
        State = PsdState::Done;
        return;
    }
    CommandLine = Trim(std::string_view(CommandLine).substr(1));
    RetryCount = 0;
    if (!LoadTextLines(CurentDir + CommandLine, Lines)) {
        ReportError(CurentDir + CommandLine + FileNotFound);
        return;
    }
    Send(WithBankDigit(CmdProgram));
    State = PsdState::AwaitEraseStart;
}

void TProgPsd::AwaitEraseEnd()
{
    switch (PollReply()) {
    case ReplyAccepted:
        ConsumeReply();
        LineIndex = 0;
        // One acknowledgement per transmission: line 0 goes out twice.
        SetMaxProgress(static_cast<std::int32_t>(Lines.size()) + 1);
        if (Lines.empty()) {
            ReportError(ErrBankFileEmpty);
            return;
        }
        Info(WithBankDigit(InfoUploadBank));
        SendLine(0);
        State = PsdState::UploadLines;
        break;
    case ReplyFailed:
        ConsumeReply();
        ReportError(ErrErasing);
        break;
    default: break;
    }
}

void TProgPsd::SendChecksumRecord()
{
    Info(WithBankDigit(InfoVerifyBank));
    // Bank 0 is the lower half of the 64 KiB image, every other bank the upper half.
    const std::uint16_t sum = Bank == 0 ? HexImageChecksum(Lines, LowBankFirst, LowBankLast)
                                        : HexImageChecksum(Lines, HighBankFirst, HighBankLast);
    Send(BuildHexRecord(HexRecordChecksum, ChecksumRecordAddress, WordToHex(sum)) + LineEnd);
    State = PsdState::AwaitChecksumAcknowledgement;
}

void TProgPsd::AwaitChecksumAcknowledgement()
{
    switch (ChecksumAnswer()) {
    case Answer::Accepted:
        ClearInput();  // whatever else is pending goes with the acknowledgement
        State = PsdState::Done;
        break;
    case Answer::SendAgain: State = PsdState::SendChecksumRecord; break;  // the record is built and sent again
    case Answer::Waiting: break;
    }
}

// ---- Identifier ---------------------------------------------------------------------

void TProgPsd::ReadMcuId()
{
    PollInput();
    if (InBuffer.find(ReplyAccepted) != McuIdReplyLength)
        return;
    Info(InfoIdNumber + InBuffer.substr(0, McuIdReplyLength));
    ClearInput();
    State = PsdState::Done;
}

void TProgPsd::Done()
{
    Lines.clear();
    State = PsdState::Idle;
    ClearBusy();
}

std::string StateName(TProgPsd::PsdState state)
{
    using S = TProgPsd::PsdState;
    switch (state) {
    case S::Idle: return "Idle";
    case S::StartUpload: return "StartUpload";
    case S::AwaitEraseStart: return "AwaitEraseStart";
    case S::AwaitEraseEnd: return "AwaitEraseEnd";
    case S::Halted: return "Halted";
    case S::Stopped: return "Stopped";
    case S::UploadLines: return "UploadLines";
    case S::SendChecksumRecord: return "SendChecksumRecord";
    case S::AwaitChecksumAcknowledgement: return "AwaitChecksumAcknowledgement";
    case S::SendIdentify: return "SendIdentify";
    case S::AwaitIdentifyAcknowledgement: return "AwaitIdentifyAcknowledgement";
    case S::ReadMcuId: return "ReadMcuId";
    case S::SendFunction: return "SendFunction";
    case S::AwaitFunctionAcknowledgement: return "AwaitFunctionAcknowledgement";
    case S::Done: return "Done";
    }
    return UnnamedState(static_cast<std::uint8_t>(state));
}

std::ostream& operator<<(std::ostream& out, TProgPsd::PsdState state) { return out << StateName(state); }
