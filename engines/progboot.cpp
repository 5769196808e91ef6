#include "progboot.h"

#include "StateName.h"
#include "TextLineReader.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <algorithm>
#include <iterator>
#include <ostream>
#include <utility>

using namespace constante;

void TProgBoot::ReportError(std::string_view msg)
{
    Lines.clear();
    ClearBusy();
    State = BootState::Halted;
    TGestionnaire::ReportError(msg);
}

void TProgBoot::Reset()
{
    Lines.clear();
    TGestionnaire::Reset();
    State = BootState::Idle;
}

void TProgBoot::Step()
{
    switch (State) {
    case BootState::Idle: TakeLine(); break;
    case BootState::StartUpload: StartUpload(); break;
    case BootState::AwaitEraseStart: AwaitEraseStart(); break;
    case BootState::SendSyncProbe:
        Send(CmdSyncProbe);
        State = BootState::AwaitBootLoader;
        break;
    case BootState::AwaitBootLoader: AwaitBootLoader(); break;
    case BootState::SendDeviceType: SendDeviceType(); break;
    case BootState::AwaitDeviceType: AwaitDeviceType(); break;
    case BootState::ReadIdentification: ReadIdentification(); break;
    case BootState::Halted: break;  // until Reset
    case BootState::AwaitEraseEnd: AwaitEraseEnd(); break;
    case BootState::UploadLines:
        if (LineAcknowledged())
            State = BootState::SendChecksumRecord;
        break;
    case BootState::SendChecksumRecord: SendChecksumRecord(); break;
    case BootState::AwaitChecksumAcknowledgement: AwaitChecksumAcknowledgement(); break;
    case BootState::Done: Done(); break;
    }
}

void TProgBoot::TakeLine()
{
    if (Busy)
        return;
    if (StartsWith(CommandLine, LineSync)) {
        DeviceTypeIndex = 0;
        State = BootState::SendSyncProbe;
        SetBusy();
        return;
    }
    if (!StartsWith(CommandLine, CmdProgram))
        return;
    // "P" and a bank digit is a bank line for the PSD engine.
    std::string rest = Trim(std::string_view(CommandLine).substr(std::string_view(CmdProgram).size()));
    if (!StartsWith(rest, BootUploadLetter))
        return;
    CommandLine = std::move(rest);
    State = BootState::StartUpload;
    SetBusy();
}

// ---- Synchronisation ----------------------------------------------------------------

void TProgBoot::AwaitBootLoader()
{
    PollInput();
    if (InBuffer.empty()) {
        State = BootState::SendSyncProbe;  // probe again on the next step
        return;
    }
    // Whatever the card sent before it was ready is noise; a "." anywhere means ready.
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
    switch (PollReply()) {
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
    PollInput();
    if (InBuffer.find(ReplyAccepted) != IdentificationReplyLength)
        return;
    const std::string_view reply = std::string_view(InBuffer).substr(0, IdentificationReplyLength);
    const std::string_view bootChecksum = reply.substr(0, 4);
    const std::string deviceId(reply.substr(4, 4));
    Info(InfoBootChecksum + WordToHex(static_cast<std::uint16_t>(HexToWord(bootChecksum) - BootChecksumOffset)));
    Info(FormatText(InfoDeviceIdFormat, deviceId));
    SetDeviceID(HexToWord(deviceId));
    ClearInput();
    State = BootState::Done;
}

// ---- Upload -------------------------------------------------------------------------

void TProgBoot::StartUpload()
{
    CommandLine = TrimLeft(std::string_view(CommandLine).substr(std::string_view(BootUploadLetter).size()));
    const std::string fileName = CommandLine.substr(0, CommandLine.find(' '));
    RetryCount = 0;
    if (!LoadTextLines(CurentDir + fileName, Lines)) {
        ReportError(CurentDir + CommandLine + FileNotFound);
        return;
    }
    ChecksumText = Trim(std::string_view(CommandLine).substr(fileName.size()));
    // The erase, then one acknowledgement per transmission: line 0 goes out twice.
    SetMaxProgress(static_cast<std::int32_t>(Lines.size()) + 2);
    Send(CmdBootUpload);
    State = BootState::AwaitEraseStart;
}

void TProgBoot::AwaitEraseStart()
{
    switch (PollReply()) {
    case ReplyAccepted:
        ConsumeReply();
        Info(InfoEraseExtendedBoot);
        State = BootState::AwaitEraseEnd;
        break;
    case ReplyUnknown:
        ConsumeReply();
        ReportError(ErrInstructionUnknown);
        break;
    default: break;
    }
}

void TProgBoot::AwaitEraseEnd()
{
    switch (PollReply()) {
    case ReplyAccepted:
        ConsumeReply();
        StepProgress();
        LineIndex = 0;
        if (Lines.empty()) {
            ReportError(ErrBootFileEmpty);
            return;
        }
        Info(InfoUploadExtendedBoot);
        SendLine(0);
        State = BootState::UploadLines;
        break;
    case ReplyFailed:
        ConsumeReply();
        ReportError(ErrErasing);
        break;
    default: break;
    }
}

void TProgBoot::SendChecksumRecord()
{
    Info(InfoVerifyChecksum);
    const std::string sum = ChecksumText.empty()
                                ? WordToHex(HexImageChecksum(Lines, ExtendedBootFirst, ExtendedBootLast))
                                : ChecksumText;
    Send(BuildHexRecord(HexRecordChecksum, ChecksumRecordAddress, sum) + LineEnd);
    State = BootState::AwaitChecksumAcknowledgement;
}

void TProgBoot::AwaitChecksumAcknowledgement()
{
    switch (ChecksumAnswer()) {
    case Answer::Accepted: State = BootState::Done; break;
    case Answer::SendAgain: State = BootState::SendChecksumRecord; break;  // the record is built and sent again
    case Answer::Waiting: break;
    }
}

void TProgBoot::Done()
{
    Lines.clear();
    State = BootState::Idle;
    ClearBusy();
}

std::string StateName(TProgBoot::BootState state)
{
    using S = TProgBoot::BootState;
    switch (state) {
    case S::Idle: return "Idle";
    case S::StartUpload: return "StartUpload";
    case S::AwaitEraseStart: return "AwaitEraseStart";
    case S::SendSyncProbe: return "SendSyncProbe";
    case S::AwaitBootLoader: return "AwaitBootLoader";
    case S::SendDeviceType: return "SendDeviceType";
    case S::AwaitDeviceType: return "AwaitDeviceType";
    case S::ReadIdentification: return "ReadIdentification";
    case S::Halted: return "Halted";
    case S::AwaitEraseEnd: return "AwaitEraseEnd";
    case S::UploadLines: return "UploadLines";
    case S::SendChecksumRecord: return "SendChecksumRecord";
    case S::AwaitChecksumAcknowledgement: return "AwaitChecksumAcknowledgement";
    case S::Done: return "Done";
    }
    return UnnamedState(static_cast<std::uint8_t>(state));
}

std::ostream& operator<<(std::ostream& out, TProgBoot::BootState state) { return out << StateName(state); }
