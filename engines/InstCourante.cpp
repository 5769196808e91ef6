#include "InstCourante.h"

#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <string>

using namespace constante;

namespace {

// A pause length: decimal digits with an optional "+", within the 32-bit range.
// The general integer conversion would also take hexadecimal and negative values.
bool ParseMilliseconds(std::string_view text, std::int32_t& milliseconds)
{
    const std::string_view digits = StartsWith(text, "+") ? text.substr(1) : text;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    return StrToInt32(digits, milliseconds);
}

}  // namespace

void TInstCrt::ReportError(std::string_view msg)
{
    ClearBusy();
    State = Halted;
    TGestionnaire::ReportError(msg);
}

void TInstCrt::Reset()
{
    TGestionnaire::Reset();
    State = Idle;
}

void TInstCrt::Step()
{
    switch (State) {
    case 0: TakeLine(); break;
    case 1: ShowPrompt(); break;
    case 2: StartWait(); break;
    case 3: ContinueWait(); break;
    case 4:
        Info(InfoReset);
        Send(CmdReset);
        State = 5;
        break;
    case 5: AwaitAcknowledgement(ReplyUnknown, ErrInstructionUnknown, Finished); break;
    case 6:
        Send(CmdNp);
        State = 7;
        break;
    case 7: AwaitAcknowledgement(ReplyUnknown, ErrInstructionUnknown, Finished); break;
    case 8: Done(); break;
    case 9: break;  // halted after an error until Reset
    case 10:
        Send(CmdFinish);
        State = 11;
        break;
    case 11: AwaitAcknowledgement(ReplyUnknown, ErrInstructionUnknown, Finished); break;
    case 12: SendVersionComponent(); break;
    case 13:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            SendVersionText();
        break;
    case 14: StepOnAcknowledgement(ReplyFailed, ErrWritingVersion); break;
    case 15: SendTestComponent(); break;
    case 16:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            StartVersionComparison();
        break;
    case 17: CompareVersion(); break;
    case 18:
        Send(CmdUserVersion);
        State = 19;
        break;
    case 19:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            SendUserVersionText();
        break;
    case 20: StepOnAcknowledgement(ReplyFailed, ErrWritingVersion); break;
    case 21:
        Info(InfoStarting);
        Send(CmdFy);
        State = 22;
        break;
    case 22: AwaitAcknowledgement(ReplyUnknown, ErrInstructionUnknown, Finished); break;
    case 23: SendPing(); break;
    case 24: AwaitPingReply(); break;
    case 25:
        SetMaxProgress(TwoCommandProgress);
        Send(CmdOption);
        State = 26;
        break;
    case 26:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            SendOptionText();
        break;
    case 27: StepOnAcknowledgement(ReplyFailed, ErrWritingVersion); break;
    default: break;
    }
}

void TInstCrt::TakeLine()
{
    if (Busy)
        return;

    struct Keyword {
        const char* Text;
        bool RemovedAtOnce;  // the keyword and the blanks behind it leave the line now
        std::uint8_t FirstState;
    };
    // Tested in this order; the first prefix that matches wins.
    static constexpr Keyword Keywords[] = {
        {KeywordPrompt, false, 1},  {KeywordWait, false, 2},    {CmdReset, false, 4},
        {CmdNp, false, 6},          {CmdFinish, false, 10},     {CmdVersionWrite, true, 12},
        {CmdVersionTest, true, 15}, {CmdUserVersion, true, 18}, {CmdFy, true, 21},
        {CmdPing, true, 23},        {CmdOption, true, 25},
    };
    for (const Keyword& keyword : Keywords) {
        const std::string_view text = keyword.Text;
        if (!StartsWith(CommandLine, text))
            continue;
        if (keyword.RemovedAtOnce)
            CommandLine = Trim(std::string_view(CommandLine).substr(text.size()));
        State = keyword.FirstState;
        SetBusy();
        return;
    }
}

bool TInstCrt::Acknowledged(char refusal, std::string_view message)
{
    PollInput();
    if (InBuffer.empty())
        return false;
    if (InBuffer.front() == ReplyAccepted) {
        ConsumeInput(InBuffer.substr(0, 1));
        return true;
    }
    if (InBuffer.front() == refusal) {
        ConsumeInput(InBuffer.substr(0, 1));
        ReportError(message);
    }
    return false;
}

void TInstCrt::AwaitAcknowledgement(char refusal, std::string_view message, std::uint8_t next)
{
    if (Acknowledged(refusal, message))
        State = next;
}

void TInstCrt::StepOnAcknowledgement(char refusal, std::string_view message)
{
    if (!Acknowledged(refusal, message))
        return;
    StepProgress();
    State = Finished;
}

void TInstCrt::Done()
{
    State = Idle;
    ClearBusy();
}

void TInstCrt::ShowPrompt()
{
    CommandLine = Trim(std::string_view(CommandLine).substr(std::string_view(KeywordPrompt).size()));
    Info(CommandLine);
    State = Finished;
}

void TInstCrt::StartWait()
{
    CommandLine = Trim(std::string_view(CommandLine).substr(std::string_view(KeywordWait).size()));
    if (!ParseMilliseconds(CommandLine, WaitDuration)) {
        ReportError(FormatText(ErrBadWaitDuration, CommandLine));
        return;
    }
    WaitStart = TickCount();
    State = 3;
}

void TInstCrt::ContinueWait()
{
    const std::uint32_t elapsed = TickCount() - WaitStart;
    if (elapsed > static_cast<std::uint32_t>(WaitDuration))
        State = Finished;
}

bool TInstCrt::HasNumberCharacter(std::string_view missingMessage)
{
    if (!CommandLine.empty())
        return true;
    ReportError(missingMessage);
    return false;
}

void TInstCrt::DropNumberCharacter()
{
    CommandLine = Trim(std::string_view(CommandLine).substr(1));
}

void TInstCrt::SendVersionComponent()
{
    if (!HasNumberCharacter(ErrMissingComponentNumber))
        return;
    Send(CmdVersionWrite + CommandLine.substr(0, 1));
    State = 13;
}

void TInstCrt::SendVersionText()
{
    DropNumberCharacter();
    SetMaxProgress(TwoCommandProgress);
    StepProgress();
    Send(CommandLine);
    State = 14;
}

void TInstCrt::SendTestComponent()
{
    if (!HasNumberCharacter(ErrMissingComponentNumber))
        return;
    Component = static_cast<std::int32_t>(HexValue(CommandLine.front()));
    Send(CmdVersionTest + CommandLine.substr(0, 1));
    State = 16;
}

void TInstCrt::StartVersionComparison()
{
    DropNumberCharacter();
    SetMaxProgress(TwoCommandProgress);
    StepProgress();
    State = 17;
}

void TInstCrt::CompareVersion()
{
    PollInput();
    if (InBuffer.find(ReplyAccepted) == VersionReplyLength) {
        State = Finished;
        if (InBuffer.compare(0, VersionReplyLength, CommandLine) == 0 && OnVersionSame)
            OnVersionSame(*this, Component);
        ClearInput();
        StepProgress();
    } else if (!InBuffer.empty() && InBuffer.front() == ReplyFailed) {
        ConsumeInput(InBuffer.substr(0, 1));
        ReportError(ErrReadingVersion);
    }
}

void TInstCrt::SendUserVersionText()
{
    CommandLine = Trim(CommandLine);
    SetMaxProgress(TwoCommandProgress);
    StepProgress();
    Send(CommandLine);
    State = 20;
}

void TInstCrt::SendOptionText()
{
    CommandLine = Trim(CommandLine);
    StepProgress();
    Send(CommandLine);
    State = 27;
}

void TInstCrt::SendPing()
{
    if (!HasNumberCharacter(ErrMissingCardNumber))
        return;
    const char digit = CommandLine.front();
    if (digit < '0' || digit > '9') {
        ReportError(FormatText(ErrBadCardNumber, std::string(1, digit)));
        return;
    }
    Card = digit - '0';
    Info(InfoPingCard + std::string(1, digit));
    Send(CmdPing + std::string(1, digit));
    DropNumberCharacter();
    State = 24;
}

void TInstCrt::AwaitPingReply()
{
    PollInput();
    if (InBuffer.empty())
        return;
    const char reply = InBuffer.front();
    if (reply == ReplyAccepted) {
        ConsumeInput(InBuffer.substr(0, 1));
        Info(InfoPingOk);
        State = Finished;
        if (OnCardReady)
            OnCardReady(*this, Card);
    } else if (reply == ReplyFailed || reply == ReplyUnknown) {
        ConsumeInput(InBuffer.substr(0, 1));
        Info(InfoPingError);
        State = Finished;
        if (OnCardError)
            OnCardError(*this, Card);
    }
}
