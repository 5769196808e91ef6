#include "progpsd.h"

#include "TextLineReader.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <algorithm>
#include <utility>

using namespace constante;

void TProgPsd::ReportError(std::string_view msg)
{
    Lines.clear();
    ClearBusy();
    State = Halted;
    TGestionnaire::ReportError(msg);
}

void TProgPsd::Reset()
{
    Lines.clear();
    TGestionnaire::Reset();
    State = Idle;
}

void TProgPsd::Step()
{
    switch (State) {
    case 0: TakeLine(); break;
    case 1: StartUpload(); break;
    case 2:
        if (InstructionAccepted()) {
            Info(WithBankDigit(InfoEraseBank));
            State = 3;
        }
        break;
    case 3: AwaitEraseEnd(); break;
    case 4:
    case 5: break;  // halted after an error until Reset
    case 6:
        if (LineAcknowledged())
            State = 7;
        break;
    case 7: SendChecksumRecord(); break;
    case 8: AwaitChecksumAcknowledgement(); break;
    case 9:
        Send(WithBankDigit(CmdIdentify));
        State = 10;
        break;
    case 10:
        if (InstructionAccepted()) {
            Info(InfoExtractMcuId);
            State = 11;
        }
        break;
    case 11: ReadMcuId(); break;
    case 12:
        Send(WithBankDigit(CmdFunction));
        State = 13;
        break;
    case 13:
        if (InstructionAccepted())
            State = Finished;
        break;
    case 14: Done(); break;
    default: break;
    }
}

void TProgPsd::TakeLine()
{
    if (Busy)
        return;

    struct Keyword {
        const char* Letter;
        std::uint8_t FirstState;
    };
    // Tested in this order; the first letter that matches decides.
    static constexpr Keyword Keywords[] = {{CmdProgram, 1}, {CmdIdentify, 9}, {CmdFunction, 12}};
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
        State = Finished;
        return;
    }
    CommandLine = Trim(std::string_view(CommandLine).substr(1));
    RetryCount = 0;
    if (!LoadTextLines(CurentDir + CommandLine, Lines)) {
        ReportError(CurentDir + CommandLine + FileNotFound);
        return;
    }
    Send(WithBankDigit(CmdProgram));
    State = 2;
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
        State = 6;
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
    State = 8;
}

void TProgPsd::AwaitChecksumAcknowledgement()
{
    switch (ChecksumAnswer()) {
    case Answer::Accepted:
        ClearInput();  // whatever else is pending goes with the acknowledgement
        State = Finished;
        break;
    case Answer::SendAgain: State = 7; break;  // the record is built and sent again
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
    State = Finished;
}

void TProgPsd::Done()
{
    Lines.clear();
    State = Idle;
    ClearBusy();
}
