#include "progjtag.h"

#include "StateName.h"
#include "constante.h"
#include "textutil.h"

#include <limits>
#include <ostream>

namespace {

constexpr char PlayReplies[] = {constante::ReplyAccepted, constante::ReplyFailed, constante::ReplyRepeat, '\0'};
// The answer to a streamed SDR's record begins with ESC "."; captured bits with
// hex digits, or with ESC for the digits 1B and 00.
constexpr char StreamReplies[] = {constante::ReplyEscape, constante::ReplyAccepted, constante::ReplyFailed,
                                  constante::ReplyRepeat, '\0'};
constexpr char CaptureReplies[] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F',
                                   constante::ReplyEscape, constante::ReplyAccepted, constante::ReplyFailed,
                                   constante::ReplyRepeat, '\0'};

// Inside captured data, ESC ESC stands for the digits 1B and ESC "0" for 00,
// so that the card never has to send a bare ESC before the final ESC ".".
constexpr char EscapedZero = '0';
constexpr std::string_view EscapeDigits = "1B";
constexpr std::string_view ZeroDigits = "00";
constexpr std::size_t SumDigits = 2;

std::string LineText(std::int32_t number) { return std::to_string(number); }

// The letter and the selector.
constexpr std::size_t TargetCommandLength = 2;
// The card's ESC "." that asks for the stream of the record it accepted.
constexpr std::size_t StreamRequestBytes = 2;
// Captured bits come back as hex digits, two sum digits and ESC "."; the engine answers ".".
constexpr std::size_t CaptureFrameBytes = SumDigits + 2;
constexpr std::uint64_t BitsPerByte = 8;

std::size_t RecordBytes(std::string_view record) { return record.size() + std::string_view(constante::LineEnd).size(); }

}  // namespace

void TProgJtag::ReportError(std::string_view msg)
{
    TGestionnaire::ReportError(msg);
    CloseEffectFile();
    ClearBusy();
    State = JtagState::Halted;
}

void TProgJtag::Reset()
{
    TGestionnaire::Reset();
    State = JtagState::Idle;
}

void TProgJtag::Step()
{
    switch (State) {
    case JtagState::Idle: Offer(); break;
    case JtagState::Halted: break;
    case JtagState::PausedBeforePlay: ContinueAfterPause(); break;
    case JtagState::SendIdentify: SendTargetCommand(constante::CmdIdentify, JtagState::WaitIdentifyAck); break;
    case JtagState::WaitIdentifyAck: WaitIdentifyAck(); break;
    case JtagState::WaitIdentifiers: WaitIdentifiers(); break;
    case JtagState::SendProgram: SendProgram(); break;
    case JtagState::WaitProgramAck: WaitProgramAck(); break;
    case JtagState::Playing: Play(); break;
    case JtagState::WaitEndAck: WaitEndAck(); break;
    case JtagState::SendFunction: SendTargetCommand(constante::CmdFunction, JtagState::WaitFunctionAck); break;
    case JtagState::WaitFunctionAck: WaitFunctionAck(); break;
    case JtagState::Done: Finish(); break;
    }
}

TProgJtag::JtagState TProgJtag::Match(std::string_view line, std::string& rest)
{
    JtagState next;
    if (StartsWith(line, constante::CmdIdentify))
        next = JtagState::SendIdentify;
    else if (StartsWith(line, constante::CmdProgram))
        next = JtagState::SendProgram;
    else if (StartsWith(line, constante::CmdFunction))
        next = JtagState::SendFunction;
    else
        return JtagState::Idle;
    // A line that addresses another target is left to the other engines.
    rest = Trim(line.substr(1));
    return !rest.empty() && rest.front() == constante::JtagSelector ? next : JtagState::Idle;
}

void TProgJtag::Offer()
{
    if (Busy)
        return;
    std::string rest;
    const JtagState next = Match(CommandLine, rest);
    if (next == JtagState::Idle)
        return;
    CommandLine = std::move(rest);
    SetBusy();
    State = next;
}

bool TProgJtag::PlanLine(std::string_view line, TOperationPlan& plan) const
{
    std::string rest;
    switch (Match(line, rest)) {
    case JtagState::Idle: return false;
    case JtagState::SendIdentify:
        plan.Exchange(TargetCommandLength, AcknowledgementBytes + IdentifierDigits + AcknowledgementBytes);
        return true;
    case JtagState::SendProgram:
        plan.Exchange(TargetCommandLength, AcknowledgementBytes);
        plan.PauseMs = static_cast<std::uint32_t>(PlayOpenPause.count());
        PlanPlay(Trim(std::string_view(rest).substr(1)), plan);
        return true;
    default:
        plan.Exchange(TargetCommandLength, AcknowledgementBytes);
        return true;
    }
}

// The play as the engine runs it, record by record, with each line the
// translator rejects (the run stops at the first).
void TProgJtag::PlanPlay(const std::string& fileName, TOperationPlan& plan) const
{
    const std::string path = CurentDir + fileName;
    TextLineReader file;
    switch (Files->OpenNamed(CurentDir, fileName, file)) {
    case TFileSource::TOpenResult::Outside: plan.RefuseOutside(fileName + constante::NameOutsideUpdate); return;
    case TFileSource::TOpenResult::Missing: plan.Refuse(path + constante::FileNotFound); return;
    case TFileSource::TOpenResult::Unreadable: plan.Refuse(constante::ErrReadingEffectFile + path); return;
    case TFileSource::TOpenResult::Opened: break;
    }
    plan.Files.push_back(path);
    SvfTranslator translator;
    std::string line;
    std::string record;
    std::int32_t number = 0;
    while (file.ReadLine(line)) {
        ++number;
        record.clear();
        translator.TranslateLine(line, record);
        if (record == TranslateError) {
            plan.Problem(path, number, constante::ErrEffectFileLine + LineText(number));
            continue;
        }
        if (record.empty())
            continue;
        ++plan.Records;
        plan.BytesToCard += RecordBytes(record);
        if (translator.IsStreamPending()) {
            ++plan.Streams;
            plan.BytesFromCard += StreamRequestBytes;
            plan.BytesToCard += translator.GetTdi().size();
        }
        if ((translator.GetScanCode() & ScanCapture) != 0) {
            const std::uint64_t capturedBytes =
                (static_cast<std::uint64_t>(translator.GetBitLength()) + BitsPerByte - 1) / BitsPerByte;
            plan.BytesFromCard += 2 * capturedBytes + CaptureFrameBytes;
            plan.BytesToCard += AcknowledgementBytes;  // the engine's "." for bits with the right sum
        }
        plan.BytesFromCard += AcknowledgementBytes;
    }
    if (file.Failed()) {
        plan.Problem(path, number + 1, constante::ErrReadingEffectLine + LineText(number + 1));
        return;
    }
    if (number == 0) {
        plan.Refuse(constante::ErrEffectFileEmpty);
        return;
    }
    ++plan.Records;
    plan.BytesToCard += RecordBytes(constante::EndOfFileRecord);
    plan.BytesFromCard += AcknowledgementBytes;
}

void TProgJtag::SendTargetCommand(std::string_view command, JtagState next)
{
    Target = CommandLine.substr(0, 1);
    Send(std::string(command) + Target);
    State = next;
}

void TProgJtag::WaitIdentifyAck()
{
    if (!Acknowledged(constante::ReplyUnknown, constante::ErrInstructionUnknown))
        return;
    Info(constante::InfoExtractJtagIds);
    State = JtagState::WaitIdentifiers;
}

void TProgJtag::WaitIdentifiers()
{
    DropNoiseInText();
    const std::size_t end = InBuffer.find(constante::ReplyAccepted);
    if (end == std::string::npos || end == 0)
        return;
    Info(constante::InfoIdNumber + ReverseHexBytes(std::string_view(InBuffer).substr(0, end)));
    ClearInput();
    State = JtagState::Done;
}

void TProgJtag::SendProgram()
{
    if (!UpdateAllowed) {
        ReportError(constante::ErrUpdateNotAllowed);
        State = JtagState::Done;
        return;
    }
    Target = CommandLine.substr(0, 1);
    CommandLine = Trim(std::string_view(CommandLine).substr(1));
    Send(constante::CmdProgram + Target);
    State = JtagState::WaitProgramAck;
}

void TProgJtag::WaitProgramAck()
{
    if (Acknowledged(constante::ReplyUnknown, constante::ErrInstructionUnknown))
        OpenPlay();
}

// The card's answer to the record sent last; the first ".", "X" or "R" decides.
void TProgJtag::Play()
{
    DropPlayNoise();
    switch (FindReplyChar()) {
    case constante::ReplyAccepted:
        if (StreamPending)
            SendStream();
        else if (ScanCode & ScanCapture)
            CheckCapture();
        else {
            ClearInput();
            StepProgress();
            SendNextRecord();
        }
        break;
    case constante::ReplyFailed:
        ClearInput();
        ReportError(constante::ErrExecutingEffectLine + LineText(LineNumber));
        break;
    case constante::ReplyRepeat:
        ClearInput();
        if (RetryAllowed())
            ResendRecord();
        break;
    }
}

// ESC is a byte of line noise as well as the first byte of the card's ESC
// replies: an ESC that the byte after it shows to be no part of such a reply
// goes as noise, so that it can never hold the wait.
void TProgJtag::DropPlayNoise()
{
    const bool capture = !StreamPending && (ScanCode & ScanCapture) != 0;
    const std::string_view starts = StreamPending ? StreamReplies : capture ? CaptureReplies : PlayReplies;
    DropNoise(starts);
    const auto inReply = [capture](char next) {
        return next == constante::ReplyAccepted || (capture && (next == constante::ReplyEscape || next == EscapedZero));
    };
    while (InBuffer.size() > 1 && InBuffer[0] == constante::ReplyEscape && !inReply(InBuffer[1])) {
        DropNoiseBytes(1);
        DropNoiseAtFront(starts);
    }
    // Captured data is several bytes long and can arrive in pieces: noise
    // between them goes as well, and the sum still finds a changed digit.
    if (capture)
        DropNoiseInside(starts);
}

void TProgJtag::WaitEndAck()
{
    DropNoise(PlayReplies);
    switch (FindReplyChar()) {
    case constante::ReplyAccepted:
        ClearInput();
        SpeedUp();
        Programmed(FormatText(constante::PartPromFormat, CommandLine));
        State = JtagState::Done;
        break;
    case constante::ReplyFailed:
        ClearInput();
        SpeedUp();
        ReportError(constante::ErrInstructionUnknown);
        break;
    case constante::ReplyRepeat:
        // The end record arrived damaged, as any record can on a noisy line: it
        // goes again, within the play's retransmissions.
        ClearInput();
        if (RetryCount >= MaxRetries)
            SpeedUp();  // the play ends here, as after any answer to the end record
        if (RetryAllowed())
            SendEndRecord();
        break;
    }
}

void TProgJtag::SendEndRecord() { Send(std::string(constante::EndOfFileRecord) + constante::LineEnd); }

void TProgJtag::WaitFunctionAck()
{
    if (Acknowledged(constante::ReplyUnknown, constante::ErrInstructionUnknown))
        State = JtagState::Done;
}

void TProgJtag::Finish()
{
    CloseEffectFile();
    ClearBusy();
    State = JtagState::Idle;
}

void TProgJtag::OpenPlay()
{
    const std::string path = CurentDir + CommandLine;
    LineCount = OpenEffectFile(CurentDir, CommandLine);
    if (LineCount == EffectFileOutside) {
        ReportError(CommandLine + constante::NameOutsideUpdate);
        return;
    }
    if (LineCount == EffectFileMissing) {
        ReportError(path + constante::FileNotFound);
        return;
    }
    if (LineCount == EffectFileUnreadable) {
        ReportError(constante::ErrReadingEffectFile + path);
        return;
    }
    SetMaxProgress(LineCount);
    PauseStart = TickCount();
    State = JtagState::PausedBeforePlay;
    ContinueAfterPause();
}

// The card's text stays with the host until the pause is over: nothing is polled here.
void TProgJtag::ContinueAfterPause()
{
    const std::chrono::milliseconds elapsed{TickCount() - PauseStart};
    if (elapsed < PlayOpenPause)
        return;
    RetryCount = 0;
    LineNumber = 0;
    if (LineCount == 0) {
        ReportError(constante::ErrEffectFileEmpty);
        return;
    }
    SendNextRecord();
}

void TProgJtag::SendNextRecord()
{
    std::string record;
    while (record.empty() && LineNumber < LineCount) {
        // The file was counted when it was opened: a line missing now is a read
        // failure, and playing on would report success for a partial play.
        if (!EffectFile.ReadLine(EffectLine)) {
            ReportError(constante::ErrReadingEffectLine + LineText(LineNumber + 1));
            return;
        }
        TranslateLine(EffectLine, record);
        ++LineNumber;
    }
    if (record.empty()) {
        SendEndRecord();
        State = JtagState::WaitEndAck;
    } else if (record == TranslateError) {
        ReportError(constante::ErrEffectFileLine + LineText(LineNumber));
    } else {
        Send(record + constante::LineEnd);
        State = JtagState::Playing;
    }
}

// Translating the line again also arms the stream of an SDR again.
void TProgJtag::ResendRecord()
{
    std::string record;
    TranslateLine(EffectLine, record);
    Send(record + constante::LineEnd);
}

// The card accepted the record of a streamed SDR with ESC "."; everything up to
// that "." is its acknowledgement.
void TProgJtag::SendStream()
{
    ConsumeChars(InBuffer.find(constante::ReplyAccepted) + 1);
    Send(Tdi);
    StreamPending = false;
}

void TProgJtag::CheckCapture()
{
    const std::string decoded = DecodeCapture(InBuffer);
    ClearInput();
    // Fewer than two digits, or half a byte of data, cannot be a correct reply.
    std::string data;
    bool sumRight = false;
    if (decoded.size() >= SumDigits && (decoded.size() - SumDigits) % 2 == 0) {
        data = decoded.substr(0, decoded.size() - SumDigits);
        std::string summed = data;
        AppendHexSum(summed);
        sumRight = summed == decoded;
    }
    if (!sumRight) {
        if (RetryAllowed())
            Send(std::string(1, constante::ReplyRepeat));
        return;
    }
    Send(std::string(1, constante::ReplyAccepted));
    std::string expected = Tdo;
    if (!Mask.empty()) {
        AndHexMask(Mask, data);
        AndHexMask(Mask, expected);
    }
    ScanCode = 0;
    if (data != expected)
        ReportError(constante::ErrExecutingEffectLine + LineText(LineNumber));
}

std::int32_t TProgJtag::OpenEffectFile(const std::string& folder, const std::string& name)
{
    switch (Files->OpenNamed(folder, name, EffectFile)) {
    case TFileSource::TOpenResult::Outside: return EffectFileOutside;
    case TFileSource::TOpenResult::Missing: return EffectFileMissing;
    case TFileSource::TOpenResult::Unreadable: return EffectFileUnreadable;
    case TFileSource::TOpenResult::Opened: break;
    }
    std::int32_t count = 0;
    std::string line;
    while (count < std::numeric_limits<std::int32_t>::max() && EffectFile.ReadLine(line))
        ++count;
    const bool tooLong = count == std::numeric_limits<std::int32_t>::max();
    if (tooLong || EffectFile.Failed() || !EffectFile.Rewind()) {
        EffectFile.Close();
        return EffectFileUnreadable;
    }
    return count;
}

void TProgJtag::CloseEffectFile() { EffectFile.Close(); }

char TProgJtag::FindReplyChar() const
{
    const std::size_t at = InBuffer.find_first_of(std::string_view(PlayReplies));
    return at == std::string::npos ? NoReply : InBuffer[at];
}

std::string TProgJtag::DecodeCapture(std::string_view reply)
{
    std::string digits;
    // The last character never starts a step: an escape needs its partner.
    for (std::size_t i = 0; i + 1 < reply.size();) {
        if (reply[i] != constante::ReplyEscape) {
            digits += reply[i++];
            continue;
        }
        const char escaped = reply[i + 1];
        if (escaped == constante::ReplyAccepted)
            break;
        if (escaped == constante::ReplyEscape) {
            digits += EscapeDigits;
            i += 2;
        } else if (escaped == EscapedZero) {
            digits += ZeroDigits;
            i += 2;
        } else {
            ++i;
        }
    }
    return digits;
}

void TProgJtag::ConsumeChars(std::size_t count) { ConsumeInput(InBuffer.substr(0, count)); }

std::string StateName(TProgJtag::JtagState state)
{
    using S = TProgJtag::JtagState;
    switch (state) {
    case S::Idle: return "Idle";
    case S::Halted: return "Halted";
    case S::PausedBeforePlay: return "PausedBeforePlay";
    case S::SendIdentify: return "SendIdentify";
    case S::WaitIdentifyAck: return "WaitIdentifyAck";
    case S::WaitIdentifiers: return "WaitIdentifiers";
    case S::SendProgram: return "SendProgram";
    case S::WaitProgramAck: return "WaitProgramAck";
    case S::Playing: return "Playing";
    case S::WaitEndAck: return "WaitEndAck";
    case S::SendFunction: return "SendFunction";
    case S::WaitFunctionAck: return "WaitFunctionAck";
    case S::Done: return "Done";
    }
    return UnnamedState(static_cast<std::uint8_t>(state));
}

std::ostream& operator<<(std::ostream& out, TProgJtag::JtagState state) { return out << StateName(state); }
