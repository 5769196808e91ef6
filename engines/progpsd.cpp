#include "progpsd.h"

#include "StateName.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <ostream>

using namespace constante;

namespace {

// The letter and the bank digit.
std::size_t CommandLength(std::string_view letter) { return letter.size() + 1; }

}  // namespace

void TProgPsd::Step()
{
    switch (State) {
    case PsdState::Idle: TakeLine(); break;
    case PsdState::StartUpload: StartUpload(); break;
    case PsdState::Halted:
    case PsdState::Stopped: break;  // until Reset
    case PsdState::SendIdentify:
        Send(WithBankDigit(CmdIdentify, Bank));
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
        Send(WithBankDigit(CmdFunction, Bank));
        State = PsdState::AwaitFunctionAcknowledgement;
        break;
    case PsdState::AwaitFunctionAcknowledgement:
        if (InstructionAccepted())
            State = PsdState::Done;
        break;
    default: UploadStep(State, UploadStates); break;
    }
}

const TProgPsd::TKeyword* TProgPsd::Match(std::string_view line, std::string& rest)
{
    // Tested in this order; the first letter that matches decides.
    static constexpr TKeyword Keywords[] = {{CmdProgram, PsdState::StartUpload},
                                            {CmdIdentify, PsdState::SendIdentify},
                                            {CmdFunction, PsdState::SendFunction}};
    for (const TKeyword& keyword : Keywords) {
        const std::string_view letter = keyword.Letter;
        if (!StartsWith(line, letter))
            continue;
        // Without a bank digit the line belongs to another engine ("PB", "FI", "D8").
        rest = Trim(line.substr(letter.size()));
        if (rest.empty() || rest.front() < '0' || rest.front() > HighestBankDigit)
            return nullptr;
        return &keyword;
    }
    return nullptr;
}

THexUploader::TUploadArea TProgPsd::BankArea(std::int32_t bank)
{
    // Bank 0 is the lower half of the 64 KiB image, every other bank the upper half.
    const bool low = bank == 0;
    return {WithBankDigit(InfoEraseBank, bank), WithBankDigit(InfoUploadBank, bank), WithBankDigit(InfoVerifyBank, bank),
            ErrBankFileEmpty, low ? LowBankFirst : HighBankFirst, low ? LowBankLast : HighBankLast, false, true,
            FormatText(PartBankFormat, std::to_string(bank))};
}

std::string TProgPsd::WithBankDigit(std::string_view text, std::int32_t bank)
{
    return std::string(text) + HexDigit(static_cast<unsigned>(bank));
}

void TProgPsd::TakeLine()
{
    if (Busy)
        return;
    std::string rest;
    const TKeyword* keyword = Match(CommandLine, rest);
    if (keyword == nullptr)
        return;
    Bank = rest.front() - '0';
    CommandLine = std::move(rest);
    State = keyword->FirstState;
    SetBusy();
}

bool TProgPsd::PlanLine(std::string_view line, TOperationPlan& plan) const
{
    std::string rest;
    const TKeyword* keyword = Match(line, rest);
    if (keyword == nullptr)
        return false;
    const std::size_t command = CommandLength(keyword->Letter);
    switch (keyword->FirstState) {
    case PsdState::SendIdentify: plan.Exchange(command, AcknowledgementBytes + McuIdReplyLength + AcknowledgementBytes); break;
    case PsdState::SendFunction: plan.Exchange(command, AcknowledgementBytes); break;
    default: {
        const std::string fileName = Trim(std::string_view(rest).substr(1));
        PlanUpload(BankArea(rest.front() - '0'), fileName, fileName, {}, command, plan);
        break;
    }
    }
    return true;
}

bool TProgPsd::InstructionAccepted() { return Acknowledged(ReplyUnknown, ErrInstructionUnknown); }

// ---- Upload -------------------------------------------------------------------------

void TProgPsd::StartUpload()
{
    // Both refusals come before anything is sent, so the card is left untouched.
    if (!UpdateAllowed) {
        ReportError(ErrUpdateNotAllowed);
        State = PsdState::Done;
        return;
    }
    Area = BankArea(Bank);
    ChecksumText.clear();
    CommandLine = Trim(std::string_view(CommandLine).substr(1));
    if (THexUploader::StartUpload(CommandLine, CommandLine, WithBankDigit(CmdProgram, Bank)))
        State = PsdState::AwaitEraseStart;
}

// ---- Identifier ---------------------------------------------------------------------

void TProgPsd::ReadMcuId()
{
    DropNoiseInText();
    if (InBuffer.find(ReplyAccepted) != McuIdReplyLength)
        return;
    Info(InfoIdNumber + InBuffer.substr(0, McuIdReplyLength));
    ClearInput();
    State = PsdState::Done;
}

std::string StateName(TProgPsd::PsdState state)
{
    static constexpr const char* Names[] = {
        "Idle", "StartUpload", "AwaitEraseStart", "AwaitEraseEnd", "Halted", "Stopped", "UploadLines",
        "SendChecksumRecord", "AwaitChecksumAcknowledgement", "SendIdentify", "AwaitIdentifyAcknowledgement",
        "ReadMcuId", "SendFunction", "AwaitFunctionAcknowledgement", "Done"};
    return NamedState(Names, state);
}

std::ostream& operator<<(std::ostream& out, TProgPsd::PsdState state) { return out << StateName(state); }
