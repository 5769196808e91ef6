#include "InstCourante.h"

#include "StateName.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <ostream>
#include <string>

using namespace constante;

namespace {

// A version read back: its characters, then ".".
constexpr std::size_t VersionReply = VersionReplyLength + AcknowledgementBytes;

// A pause length: decimal digits with an optional "+", within the 32-bit range.
// The general integer conversion would also take hexadecimal and negative values.
bool ParseMilliseconds(std::string_view text, std::int32_t& milliseconds)
{
    const std::string_view digits = StartsWith(text, "+") ? text.substr(1) : text;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    return StrToInt32(digits, milliseconds);
}

std::string WaitText(std::string_view line) { return Trim(line.substr(std::string_view(KeywordWait).size())); }

// The command that names the component or card: the letter and the character after the keyword.
std::string NumberCommand(std::string_view letter, std::string_view rest)
{
    return std::string(letter) + std::string(rest.substr(0, 1));
}

// The text after the component character.
std::string AfterNumber(std::string_view rest) { return Trim(rest.substr(rest.empty() ? 0 : 1)); }

std::string TextRefusal(std::string_view text, const char* message)
{
    return text.size() == VersionReplyLength ? std::string() : FormatText(message, text);
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
    case S::AwaitVersionTextAcknowledgement:
        StepOnAcknowledgement(ReplyFailed, ErrWritingVersion, OnVersionWritten, CmdVersionWrite);
        break;
    case S::SendTestComponent: SendTestComponent(); break;
    case S::AwaitTestComponentAcknowledgement:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            StartVersionComparison();
        break;
    case S::CompareVersion: CompareVersion(); break;
    case S::SendUserVersion:
        if (Refused())
            break;
        Send(CmdUserVersion);
        State = S::AwaitUserVersionAcknowledgement;
        break;
    case S::AwaitUserVersionAcknowledgement:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            SendUserVersionText();
        break;
    case S::AwaitUserVersionTextAcknowledgement:
        StepOnAcknowledgement(ReplyFailed, ErrWritingVersion, OnVersionWritten, CmdUserVersion);
        break;
    case S::SendStart:
        Info(InfoStarting);
        Send(CmdFy);
        State = S::AwaitStartAcknowledgement;
        break;
    case S::AwaitStartAcknowledgement: AwaitAcknowledgement(ReplyUnknown, ErrInstructionUnknown, S::Done); break;
    case S::SendPing: SendPing(); break;
    case S::AwaitPingReply: AwaitPingReply(); break;
    case S::SendOption:
        if (Refused())
            break;
        SetMaxProgress(TwoCommandProgress);
        Send(CmdOption);
        State = S::AwaitOptionAcknowledgement;
        break;
    case S::AwaitOptionAcknowledgement:
        if (Acknowledged(ReplyUnknown, ErrInstructionUnknown))
            SendOptionText();
        break;
    case S::AwaitOptionTextAcknowledgement:
        StepOnAcknowledgement(ReplyFailed, ErrWritingVersion, OnOptionWritten, CmdOption);
        break;
    }
}

const TInstCrt::TKeyword* TInstCrt::Match(std::string_view line)
{
    // Tested in this order; the first prefix that matches wins.
    static constexpr TKeyword Keywords[] = {
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
    for (const TKeyword& keyword : Keywords)
        if (StartsWith(line, keyword.Text))
            return &keyword;
    return nullptr;
}

std::string TInstCrt::AsTaken(const TKeyword& keyword, std::string_view line)
{
    return keyword.RemovedAtOnce ? Trim(line.substr(std::string_view(keyword.Text).size())) : std::string(line);
}

std::string TInstCrt::Refusal(InstState first, std::string_view rest)
{
    std::int32_t milliseconds = 0;
    switch (first) {
    case InstState::StartWait:
        return ParseMilliseconds(WaitText(rest), milliseconds) ? std::string()
                                                                : FormatText(ErrBadWaitDuration, WaitText(rest));
    case InstState::SendVersionComponent:
    case InstState::SendTestComponent:
        return rest.empty() ? ErrMissingComponentNumber : TextRefusal(AfterNumber(rest), ErrVersionLength);
    case InstState::SendUserVersion: return TextRefusal(Trim(rest), ErrVersionLength);
    case InstState::SendOption: return TextRefusal(Trim(rest), ErrOptionLength);
    case InstState::SendPing:
        if (rest.empty())
            return ErrMissingCardNumber;
        return rest.front() >= '0' && rest.front() <= '9' ? std::string() : FormatText(ErrBadCardNumber, rest.substr(0, 1));
    default: return {};
    }
}

bool TInstCrt::Refused()
{
    const std::string refusal = Refusal(State, CommandLine);
    if (!refusal.empty())
        ReportError(refusal);
    return !refusal.empty();
}

void TInstCrt::TakeLine()
{
    if (Busy)
        return;
    const TKeyword* keyword = Match(CommandLine);
    if (keyword == nullptr)
        return;
    CommandLine = AsTaken(*keyword, CommandLine);
    State = keyword->FirstState;
    SetBusy();
}

bool TInstCrt::PlanLine(std::string_view line, TOperationPlan& plan) const
{
    const TKeyword* keyword = Match(line);
    if (keyword == nullptr)
        return false;
    const std::string rest = AsTaken(*keyword, line);
    if (std::string refusal = Refusal(keyword->FirstState, rest); !refusal.empty()) {
        plan.Refuse(std::move(refusal));
        return true;
    }
    // The run goes on with such a character; the check points it out.
    if (std::string digit = DigitProblem(line); !digit.empty())
        plan.Refuse(std::move(digit));
    std::int32_t milliseconds = 0;
    switch (keyword->FirstState) {
    case InstState::ShowPrompt: break;  // shown in the status list, nothing sent
    case InstState::StartWait:
        ParseMilliseconds(WaitText(rest), milliseconds);
        plan.PauseMs = static_cast<std::uint32_t>(milliseconds);
        break;
    case InstState::SendVersionComponent:
        plan.Exchange(NumberCommand(CmdVersionWrite, rest).size(), AcknowledgementBytes);
        plan.Exchange(AfterNumber(rest).size(), AcknowledgementBytes);
        break;
    case InstState::SendTestComponent:
        plan.Exchange(NumberCommand(CmdVersionTest, rest).size(), AcknowledgementBytes + VersionReply);
        break;
    case InstState::SendPing: plan.Exchange(NumberCommand(CmdPing, rest).size(), AcknowledgementBytes); break;
    case InstState::SendUserVersion:
    case InstState::SendOption:
        plan.Exchange(std::string_view(keyword->Text).size(), AcknowledgementBytes);
        plan.Exchange(Trim(rest).size(), AcknowledgementBytes);
        break;
    default:  // the keyword is the command
        plan.Exchange(std::string_view(keyword->Text).size(), AcknowledgementBytes);
        break;
    }
    return true;
}

void TInstCrt::AwaitAcknowledgement(char refusal, std::string_view message, InstState next)
{
    if (Acknowledged(refusal, message))
        State = next;
}

void TInstCrt::StepOnAcknowledgement(char refusal, std::string_view message, const TCardTextEvent& written,
                                     std::string_view command)
{
    if (!Acknowledged(refusal, message))
        return;
    StepProgress();
    State = InstState::Done;
    if (written)
        written(*this, {std::string(command), command == CmdVersionWrite ? ComponentText : std::string(), {}, CommandLine});
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
    if (Refused())
        return;
    CommandLine = WaitText(CommandLine);
    ParseMilliseconds(CommandLine, WaitDuration);
    WaitStart = TickCount();
    State = InstState::Waiting;
}

void TInstCrt::ContinueWait()
{
    const std::uint32_t elapsed = TickCount() - WaitStart;
    if (elapsed > static_cast<std::uint32_t>(WaitDuration))
        State = InstState::Done;
}

void TInstCrt::DropNumberCharacter() { CommandLine = AfterNumber(CommandLine); }

void TInstCrt::SendVersionComponent()
{
    if (Refused())
        return;
    ComponentText = CommandLine.substr(0, 1);
    Send(NumberCommand(CmdVersionWrite, CommandLine));
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
    if (Refused())
        return;
    Component = static_cast<std::int32_t>(HexValue(CommandLine.front()));
    ComponentText = CommandLine.substr(0, 1);
    Send(NumberCommand(CmdVersionTest, CommandLine));
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
    DropNoiseInText();
    if (InBuffer.find(ReplyAccepted) == VersionReplyLength) {
        State = InstState::Done;
        const std::string version = InBuffer.substr(0, VersionReplyLength);
        if (OnVersionRead)
            OnVersionRead(*this, {CmdVersionTest, ComponentText, CommandLine, version});
        if (version == CommandLine && OnVersionSame)
            OnVersionSame(*this, Component);
        ClearInput();
        StepProgress();
    } else if (!InBuffer.empty() && InBuffer.front() == ReplyFailed) {
        ConsumeReply();
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
    if (Refused())
        return;
    const char digit = CommandLine.front();
    Card = digit - '0';
    Info(InfoPingCard + std::string(1, digit));
    Send(NumberCommand(CmdPing, CommandLine));
    DropNumberCharacter();
    State = InstState::AwaitPingReply;
}

void TInstCrt::AwaitPingReply()
{
    const char reply = PollReply(RepliesPing);
    if (reply == ReplyAccepted) {
        ConsumeReply();
        Info(InfoPingOk);
        State = InstState::Done;
        if (OnCardReady)
            OnCardReady(*this, Card);
    } else if (reply == ReplyFailed || reply == ReplyUnknown) {
        ConsumeReply();
        Info(InfoPingError);
        State = InstState::Done;
        if (OnCardError)
            OnCardError(*this, Card);
    }
}

std::string StateName(TInstCrt::InstState state)
{
    static constexpr const char* Names[] = {
        "Idle", "ShowPrompt", "StartWait", "Waiting", "SendReset", "AwaitResetAcknowledgement", "SendNp",
        "AwaitNpAcknowledgement", "Done", "Halted", "SendFinish", "AwaitFinishAcknowledgement",
        "SendVersionComponent", "AwaitVersionComponentAcknowledgement", "AwaitVersionTextAcknowledgement",
        "SendTestComponent", "AwaitTestComponentAcknowledgement", "CompareVersion", "SendUserVersion",
        "AwaitUserVersionAcknowledgement", "AwaitUserVersionTextAcknowledgement", "SendStart",
        "AwaitStartAcknowledgement", "SendPing", "AwaitPingReply", "SendOption", "AwaitOptionAcknowledgement",
        "AwaitOptionTextAcknowledgement"};
    return NamedState(Names, state);
}

std::ostream& operator<<(std::ostream& out, TInstCrt::InstState state) { return out << StateName(state); }
