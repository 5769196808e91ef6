#include "progboot.h"

#include "StateName.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <iterator>
#include <ostream>

using namespace constante;

void TProgBoot::Step()
{
    switch (State) {
    case BootState::Idle: TakeLine(); break;
    case BootState::StartUpload: StartUpload(); break;
    case BootState::SendSyncProbe:
        Send(CmdSyncProbe);
        State = BootState::AwaitBootLoader;
        break;
    case BootState::AwaitBootLoader: AwaitBootLoader(); break;
    case BootState::SendDeviceType: SendDeviceType(); break;
    case BootState::AwaitDeviceType: AwaitDeviceType(); break;
    case BootState::ReadIdentification: ReadIdentification(); break;
    case BootState::Halted: break;  // until Reset
    default: UploadStep(State, UploadStates); break;
    }
}

TProgBoot::Operation TProgBoot::Match(std::string_view line, std::string& rest)
{
    if (StartsWith(line, LineSync))
        return Operation::Sync;
    if (!StartsWith(line, CmdProgram))
        return Operation::None;
    // "P" and a bank digit is a bank line for the PSD engine.
    rest = Trim(line.substr(std::string_view(CmdProgram).size()));
    return StartsWith(rest, BootUploadLetter) ? Operation::Upload : Operation::None;
}

std::string TProgBoot::AfterLetter(std::string_view rest)
{
    return TrimLeft(rest.substr(std::string_view(BootUploadLetter).size()));
}

void TProgBoot::SplitUpload(std::string_view nameAndSum, std::string& fileName, std::string& checksum)
{
    fileName = nameAndSum.substr(0, nameAndSum.find(' '));
    checksum = Trim(nameAndSum.substr(fileName.size()));
}

THexUploader::TUploadArea TProgBoot::BootArea()
{
    return {InfoEraseExtendedBoot, InfoUploadExtendedBoot, InfoVerifyChecksum, ErrBootFileEmpty,
            ExtendedBootFirst,     ExtendedBootLast,       true,               false,
            PartBoot};
}

void TProgBoot::TakeLine()
{
    if (Busy)
        return;
    std::string rest;
    switch (Match(CommandLine, rest)) {
    case Operation::Sync:
        DeviceTypeIndex = 0;
        State = BootState::SendSyncProbe;
        SetBusy();
        break;
    case Operation::Upload:
        CommandLine = std::move(rest);
        State = BootState::StartUpload;
        SetBusy();
        break;
    case Operation::None: break;
    }
}

bool TProgBoot::PlanLine(std::string_view line, TOperationPlan& plan) const
{
    std::string rest;
    switch (Match(line, rest)) {
    case Operation::None: return false;
    case Operation::Sync:
        plan.Exchange(std::string_view(CmdSyncProbe).size(), AcknowledgementBytes);
        // The first type accepted, then the boot checksum and the device identifier up to their ".".
        plan.Exchange(std::to_string(DeviceTypeCodes[0]).size(),
                      AcknowledgementBytes + IdentificationReplyLength + AcknowledgementBytes);
        return true;
    case Operation::Upload: {
        const std::string nameAndSum = AfterLetter(rest);
        std::string fileName;
        std::string checksum;
        SplitUpload(nameAndSum, fileName, checksum);
        PlanUpload(BootArea(), fileName, nameAndSum, checksum, std::string_view(CmdBootUpload).size(), plan);
        return true;
    }
    }
    return false;
}

// ---- Synchronisation ----------------------------------------------------------------

void TProgBoot::AwaitBootLoader()
{
    PollInput();
    if (InBuffer.empty()) {
        State = BootState::SendSyncProbe;  // probe again on the next step
        return;
    }
    // Whatever the card sent before it was ready is noise; a "." anywhere means
    // ready, and what came with it goes too.
    DropNoiseAtFront(RepliesSync);
    const std::string received = InBuffer;
    for (const char c : received) {
        ConsumeReply();
        if (c == ReplyAccepted) {
            Info(InfoVerifyDeviceType);
            State = BootState::SendDeviceType;
        }
    }
}

void TProgBoot::SendDeviceType()
{
    Send(std::to_string(DeviceTypeCodes[DeviceTypeIndex]));
    State = BootState::AwaitDeviceType;
}

void TProgBoot::AwaitDeviceType()
{
    switch (PollReply(RepliesAckOrFailed)) {
    case ReplyAccepted:
        ConsumeReply();
        State = BootState::ReadIdentification;
        break;
    case ReplyFailed:
        ConsumeReply();
        if (DeviceTypeIndex + 1u < std::size(DeviceTypeCodes)) {
            ++DeviceTypeIndex;
            State = BootState::SendDeviceType;
        } else {
            ReportError(ErrBadDeviceType);
        }
        break;
    default: break;
    }
}

void TProgBoot::ReadIdentification()
{
    DropNoiseInText();
    if (InBuffer.find(ReplyAccepted) != IdentificationReplyLength)
        return;
    const std::string_view reply = std::string_view(InBuffer).substr(0, IdentificationReplyLength);
    const auto checksum = static_cast<std::uint16_t>(HexToWord(reply.substr(0, 4)) - BootChecksumOffset);
    const std::string deviceId(reply.substr(4, 4));
    Info(InfoBootChecksum + WordToHex(checksum));
    if (OnBootChecksum)
        OnBootChecksum(*this, checksum);
    Info(FormatText(InfoDeviceIdFormat, deviceId));
    SetDeviceID(HexToWord(deviceId));
    ClearInput();
    State = BootState::Done;
}

// ---- Upload -------------------------------------------------------------------------

void TProgBoot::StartUpload()
{
    Area = BootArea();
    CommandLine = AfterLetter(CommandLine);
    std::string fileName;
    SplitUpload(CommandLine, fileName, ChecksumText);
    if (THexUploader::StartUpload(fileName, CommandLine, CmdBootUpload))
        State = BootState::AwaitEraseStart;
}

std::string StateName(TProgBoot::BootState state)
{
    static constexpr const char* Names[] = {
        "Idle", "StartUpload", "AwaitEraseStart", nullptr, "SendSyncProbe", "AwaitBootLoader", "SendDeviceType",
        "AwaitDeviceType", "ReadIdentification", "Halted", "AwaitEraseEnd", "UploadLines", "SendChecksumRecord",
        "AwaitChecksumAcknowledgement", "Done"};
    return NamedState(Names, state);
}

std::ostream& operator<<(std::ostream& out, TProgBoot::BootState state) { return out << StateName(state); }
