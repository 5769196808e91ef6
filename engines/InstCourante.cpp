#include "InstCourante.h"

#include "StateName.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <ostream>
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
    State = InstState::Halted;
    TGestionnaire::ReportError(msg);
}

void TInstCrt::Reset()
{
    TGestionnaire::Reset();
    State = InstState::Idle;
}

void TInstCrt::Step()
{
    using S = InstState;
    switch (State) {
    case S::Idle: TakeLine(); break;
    case S::ShowPrompt: ShowPrompt(); break;
    case S::StartWait: StartWait(); break;
    case S::Waiting: ContinueWait(); break;
    case S::SendReset:
        Info(InfoReset);
        Send(CmdReset);
        State = S::AwaitResetAcknowledgement;
        break;
    case S::AwaitResetAcknowledgement: AwaitAcknowledgement(ReplyUnknown, ErrInstructionUnknown, S::Done); break;
    case S::SendNp:
        Send(CmdNp);
        State = S::AwaitNpAcknowledgement;
        break;
    case S::AwaitNpAcknowledgement: AwaitAcknowledgement(ReplyUnknown, ErrInstructionUnknown, S::Done); break;
    case S::Done: Done(); break;
    case S::Halted: break;  // until Reset
    case S::SendFinish:
        Send(CmdFinish);
        State = S::AwaitFinishAcknowledgement;
        break;
    case S::AwaitFinishAcknowledgement: AwaitAcknowledgement(ReplyUnknown, ErrInstructionUnknown, S::Done); break;
    case S::SendVersionComponent: SendVersionComponent(); break;
    case S::AwaitVersionComponentAcknowledgement:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            SendVersionText();
        break;
    case S::AwaitVersionTextAcknowledgement: StepOnAcknowledgement(ReplyFailed, ErrWritingVersion); break;
    case S::SendTestComponent: SendTestComponent(); break;
    case S::AwaitTestComponentAcknowledgement:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            StartVersionComparison();
        break;
    case S::CompareVersion: CompareVersion(); break;
    case S::SendUserVersion:
        Send(CmdUserVersion);
        State = S::AwaitUserVersionAcknowledgement;
        break;
    case S::AwaitUserVersionAcknowledgement:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            SendUserVersionText();
        break;
    case S::AwaitUserVersionTextAcknowledgement: StepOnAcknowledgement(ReplyFailed, ErrWritingVersion); break;
    case S::SendStart:
        Info(InfoStarting);
        Send(CmdFy);
        State = S::AwaitStartAcknowledgement;
        break;
    case S::AwaitStartAcknowledgement: AwaitAcknowledgement(ReplyUnknown, ErrInstructionUnknown, S::Done); break;
    case S::SendPing: SendPing(); break;
    case S::AwaitPingReply: AwaitPingReply(); break;
    case S::SendOption:
        SetMaxProgress(TwoCommandProgress);
        Send(CmdOption);
        State = S::AwaitOptionAcknowledgement;
        break;
    case S::AwaitOptionAcknowledgement:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            SendOptionText();
        break;
    case S::AwaitOptionTextAcknowledgement: StepOnAcknowledgement(ReplyFailed, ErrWritingVersion); break;
    }
}

void TInstCrt::TakeLine()
{
    if (Busy)
        return;

    struct Keyword {
        const char* Text;
        bool RemovedAtOnce;  // the keyword and the blanks behind it leave the line now
        InstState FirstState;
    };
    // Tested in this order; the first prefix that matches wins.
    static constexpr Keyword Keywords[] = {
        {KeywordPrompt, false, InstState::ShowPrompt},
        {KeywordWait, false, InstState::StartWait},
        {CmdReset, false, InstState::SendReset},
        {CmdNp, false, InstState::SendNp},
        {CmdFinish, false, InstState::SendFinish},
        {CmdVersionWrite, true, InstState::SendVersionComponent},
        {CmdVersionTest, true, InstState::SendTestComponent},
        {CmdUserVersion, true, InstState::SendUserVersion},
        {CmdFy, true, InstState::SendStart},
        {CmdPing, true, InstState::SendPing},
        {CmdOption, true, InstState::SendOption},
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

void TInstCrt::AwaitAcknowledgement(char refusal, std::string_view message, InstState next)
{
    if (Acknowledged(refusal, message))
        State = next;
}

void TInstCrt::StepOnAcknowledgement(char refusal, std::string_view message)
{
    if (!Acknowledged(refusal, message))
        return;
    StepProgress();
    State = InstState::Done;
}

void TInstCrt::Done()
{
    State = InstState::Idle;
    ClearBusy();
}

void TInstCrt::ShowPrompt()
{
    CommandLine = Trim(std::string_view(CommandLine).substr(std::string_view(KeywordPrompt).size()));
    Info(CommandLine);
    State = InstState::Done;
}

void TInstCrt::StartWait()
{
    CommandLine = Trim(std::string_view(CommandLine).substr(std::string_view(KeywordWait).size()));
    if (!ParseMilliseconds(CommandLine, WaitDuration)) {
        ReportError(FormatText(ErrBadWaitDuration, CommandLine));
        return;
    }
    WaitStart = TickCount();
    State = InstState::Waiting;
}

void TInstCrt::ContinueWait()
{
    const std::uint32_t elapsed = TickCount() - WaitStart;
    if (elapsed > static_cast<std::uint32_t>(WaitDuration))
        State = InstState::Done;
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
    State = InstState::AwaitVersionComponentAcknowledgement;
}

void TInstCrt::SendVersionText()
{
    DropNumberCharacter();
    SetMaxProgress(TwoCommandProgress);
    StepProgress();
    Send(CommandLine);
    State = InstState::AwaitVersionTextAcknowledgement;
}

void TInstCrt::SendTestComponent()
{
    if (!HasNumberCharacter(ErrMissingComponentNumber))
        return;
    Component = static_cast<std::int32_t>(HexValue(CommandLine.front()));
    Send(CmdVersionTest + CommandLine.substr(0, 1));
    State = InstState::AwaitTestComponentAcknowledgement;
}

void TInstCrt::StartVersionComparison()
{
    DropNumberCharacter();
    SetMaxProgress(TwoCommandProgress);
    StepProgress();
    State = InstState::CompareVersion;
}

void TInstCrt::CompareVersion()
{
    PollInput();
    if (InBuffer.find(ReplyAccepted) == VersionReplyLength) {
        State = InstState::Done;
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
    State = InstState::AwaitUserVersionTextAcknowledgement;
}

void TInstCrt::SendOptionText()
{
    CommandLine = Trim(CommandLine);
    StepProgress();
    Send(CommandLine);
    State = InstState::AwaitOptionTextAcknowledgement;
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
    State = InstState::AwaitPingReply;
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
        State = InstState::Done;
        if (OnCardReady)
            OnCardReady(*this, Card);
    } else if (reply == ReplyFailed || reply == ReplyUnknown) {
        ConsumeInput(InBuffer.substr(0, 1));
        Info(InfoPingError);
        State = InstState::Done;
        if (OnCardError)
            OnCardError(*this, Card);
    }
}

std::string StateName(TInstCrt::InstState state)
{
    using S = TInstCrt::InstState;
    switch (state) {
    case S::Idle: return "Idle";
    case S::ShowPrompt: return "ShowPrompt";
    case S::StartWait: return "StartWait";
    case S::Waiting: return "Waiting";
    case S::SendReset: return "SendReset";
    case S::AwaitResetAcknowledgement: return "AwaitResetAcknowledgement";
    case S::SendNp: return "SendNp";
    case S::AwaitNpAcknowledgement: return "AwaitNpAcknowledgement";
    case S::Done: return "Done";
    case S::Halted: return "Halted";
    case S::SendFinish: return "SendFinish";
    case S::AwaitFinishAcknowledgement: return "AwaitFinishAcknowledgement";
    case S::SendVersionComponent: return "SendVersionComponent";
    case S::AwaitVersionComponentAcknowledgement: return "AwaitVersionComponentAcknowledgement";
    case S::AwaitVersionTextAcknowledgement: return "AwaitVersionTextAcknowledgement";
    case S::SendTestComponent: return "SendTestComponent";
    case S::AwaitTestComponentAcknowledgement: return "AwaitTestComponentAcknowledgement";
    case S::CompareVersion: return "CompareVersion";
    case S::SendUserVersion: return "SendUserVersion";
    case S::AwaitUserVersionAcknowledgement: return "AwaitUserVersionAcknowledgement";
    case S::AwaitUserVersionTextAcknowledgement: return "AwaitUserVersionTextAcknowledgement";
    case S::SendStart: return "SendStart";
    case S::AwaitStartAcknowledgement: return "AwaitStartAcknowledgement";
    case S::SendPing: return "SendPing";
    case S::AwaitPingReply: return "AwaitPingReply";
    case S::SendOption: return "SendOption";
    case S::AwaitOptionAcknowledgement: return "AwaitOptionAcknowledgement";
    case S::AwaitOptionTextAcknowledgement: return "AwaitOptionTextAcknowledgement";
    }
    return UnnamedState(static_cast<std::uint8_t>(state));
}

std::ostream& operator<<(std::ostream& out, TInstCrt::InstState state) { return out << StateName(state); }
