#include "progjtag.h"

#include "StateName.h"
#include "constante.h"
#include "textutil.h"

#include <filesystem>
#include <limits>
#include <ostream>

namespace {

constexpr char PlayReplies[] = {constante::ReplyAccepted, constante::ReplyFailed, constante::ReplyRepeat};

// Inside captured data, ESC ESC stands for the digits 1B and ESC "0" for 00,
// so that the card never has to send a bare ESC before the final ESC ".".
constexpr char EscapedZero = '0';
constexpr std::string_view EscapeDigits = "1B";
constexpr std::string_view ZeroDigits = "00";
constexpr std::size_t SumDigits = 2;

std::string LineText(std::int32_t number) { return std::to_string(number); }

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

void TProgJtag::Offer()
{
    if (Busy)
        return;
    JtagState next;
    if (StartsWith(CommandLine, constante::CmdIdentify))
        next = JtagState::SendIdentify;
    else if (StartsWith(CommandLine, constante::CmdProgram))
        next = JtagState::SendProgram;
    else if (StartsWith(CommandLine, constante::CmdFunction))
        next = JtagState::SendFunction;
    else
        return;
    // The line is left untouched when it addresses another target, for the other engines.
    std::string rest = Trim(std::string_view(CommandLine).substr(1));
    if (rest.empty() || rest.front() != constante::JtagSelector)
        return;
    CommandLine = std::move(rest);
    SetBusy();
    State = next;
}

void TProgJtag::SendTargetCommand(std::string_view command, JtagState next)
{
    Target = CommandLine.substr(0, 1);
    Send(std::string(command) + Target);
    State = next;
}

void TProgJtag::WaitIdentifyAck()
{
    PollInput();
    if (InputBeginsWith(constante::ReplyAccepted)) {
        Info(constante::InfoExtractJtagIds);
        ConsumeChars(1);
        State = JtagState::WaitIdentifiers;
    } else if (InputBeginsWith(constante::ReplyUnknown)) {
        ConsumeChars(1);
        ReportError(constante::ErrInstructionUnknown);
    }
}

void TProgJtag::WaitIdentifiers()
{
    PollInput();
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
    PollInput();
    if (InputBeginsWith(constante::ReplyAccepted)) {
        ConsumeChars(1);
        OpenPlay();
    } else if (InputBeginsWith(constante::ReplyUnknown)) {
        ConsumeChars(1);
        ReportError(constante::ErrInstructionUnknown);
    }
}

// The card's answer to the record sent last; the first ".", "X" or "R" decides.
void TProgJtag::Play()
{
    PollInput();
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
        if (CountRetry())
            ResendRecord();
        break;
    }
}

void TProgJtag::WaitEndAck()
{
    PollInput();
    switch (FindReplyChar()) {
    case constante::ReplyAccepted:
        ClearInput();
        SpeedUp();
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
        if (CountRetransmission() <= MaxRetries) {
            SendEndRecord();
            break;
        }
        SpeedUp();
        ReportError(constante::ErrTooManyRetries);
        break;
    }
}

void TProgJtag::SendEndRecord() { Send(std::string(constante::EndOfFileRecord) + constante::LineEnd); }

void TProgJtag::WaitFunctionAck()
{
    PollInput();
    if (InputBeginsWith(constante::ReplyAccepted)) {
        ConsumeChars(1);
        State = JtagState::Done;
    } else if (InputBeginsWith(constante::ReplyUnknown)) {
        ConsumeChars(1);
        ReportError(constante::ErrInstructionUnknown);
    }
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
    LineCount = OpenEffectFile(path);
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
        if (CountRetry())
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

bool TProgJtag::CountRetry()
{
    if (CountRetransmission() <= MaxRetries)
        return true;
    ReportError(constante::ErrTooManyRetries);
    return false;
}

std::int32_t TProgJtag::OpenEffectFile(const std::string& path)
{
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error);
    if (!exists && !error)
        return EffectFileMissing;
    if (error || !EffectFile.Open(path))
        return EffectFileUnreadable;
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
    const std::size_t at = InBuffer.find_first_of(std::string_view(PlayReplies, std::size(PlayReplies)));
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

bool TProgJtag::InputBeginsWith(char reply) const { return !InBuffer.empty() && InBuffer.front() == reply; }

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
