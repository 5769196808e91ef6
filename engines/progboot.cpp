#include "progboot.h"

#include "TextLineReader.h"
#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <algorithm>
#include <iterator>
#include <utility>

using namespace constante;

void TProgBoot::ReportError(std::string_view msg)
{
    Lines.clear();
    ClearBusy();
    State = Halted;
    TGestionnaire::ReportError(msg);
}

void TProgBoot::Reset()
{
    Lines.clear();
    TGestionnaire::Reset();
    State = Idle;
}

void TProgBoot::Step()
{
    switch (State) {
    case 0: TakeLine(); break;
    case 1: StartUpload(); break;
    case 2: AwaitEraseStart(); break;
    case 4:
        Send(CmdSyncProbe);
        State = 5;
        break;
    case 5: AwaitBootLoader(); break;
    case 6: SendDeviceType(); break;
    case 7: AwaitDeviceType(); break;
    case 8: ReadIdentification(); break;
    case 9: break;  // halted after an error until Reset
    case 10: AwaitEraseEnd(); break;
    case 11:
        if (LineAcknowledged())
            State = 12;
        break;
    case 12: SendChecksumRecord(); break;
    case 13: AwaitChecksumAcknowledgement(); break;
    case 14: Done(); break;
    default: break;
    }
}

void TProgBoot::TakeLine()
{
    if (Busy)
        return;
    if (StartsWith(CommandLine, LineSync)) {
        DeviceTypeIndex = 0;
        State = 4;
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
    State = 1;
    SetBusy();
}

// ---- Synchronisation ----------------------------------------------------------------

void TProgBoot::AwaitBootLoader()
{
    PollInput();
    if (InBuffer.empty()) {
        State = 4;  // probe again on the next step
        return;
    }
    // Whatever the card sent before it was ready is noise; a "." anywhere means ready.
    const std::string received = InBuffer;
    for (const char c : received) {
        ConsumeReply();
        if (c == ReplyAccepted) {
            Info(InfoVerifyDeviceType);
            State = 6;
        }
    }
}

void TProgBoot::SendDeviceType()
{
    Send(std::to_string(DeviceTypeCodes[DeviceTypeIndex]));
    State = 7;
}

void TProgBoot::AwaitDeviceType()
{
    switch (PollReply()) {
    case ReplyAccepted:
        ConsumeReply();
        State = 8;
        break;
    case ReplyFailed:
        ConsumeReply();
        if (DeviceTypeIndex + 1u < std::size(DeviceTypeCodes)) {
            ++DeviceTypeIndex;
            State = 6;
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
    State = 14;
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
    State = 2;
}

void TProgBoot::AwaitEraseStart()
{
    switch (PollReply()) {
    case ReplyAccepted:
        ConsumeReply();
        Info(InfoEraseExtendedBoot);
        State = 10;
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
        State = 11;
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
    State = 13;
}

void TProgBoot::AwaitChecksumAcknowledgement()
{
    switch (ChecksumAnswer()) {
    case Answer::Accepted: State = 14; break;
    case Answer::SendAgain: State = 12; break;  // the record is built and sent again
    case Answer::Waiting: break;
    }
}

void TProgBoot::Done()
{
    Lines.clear();
    State = Idle;
    ClearBusy();
}
