// TProgJtag: the engine for the card's JTAG chain, addressed by the selector
// "8". It reads the identifiers of the devices on the chain ("D8"), plays an
// effect file through the card ("P8 FILE") and sends the one-shot F command
// ("F8").
//
// A play is a strict request and answer exchange: one record in flight, and the
// file is read on only after the card's verdict. Expected scan output is checked
// on the PC: the card returns the captured bits with a sum, and the engine checks
// the sum, masks the bits and compares them with the expected TDO.
//
// The engine is the translator as well: TranslateLine works on the engine's own
// working fields, which describe the statement of the record sent last.
//
// Once the card has accepted "P8" and the file is open, the engine pauses
// (PlayOpenPause, measured on TickCount) before the first record. The pause is
// a state: Step returns at once while it lasts, and the card's text that
// arrives meanwhile is left in the host's buffer. With a pause of 0 ms the
// first record goes out in the same Step that opened the play.
#pragma once

#include "SvfTranslator.h"
#include "TextLineReader.h"
#include "TickClock.h"
#include "gestionnaire.h"

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

class TProgJtag : public TGestionnaire, public SvfTranslator {
public:
    enum class JtagState : std::uint8_t {
        Idle = 0,
        Halted = 1,
        PausedBeforePlay = 2,
        SendIdentify = 3,
        WaitIdentifyAck = 4,
        WaitIdentifiers = 5,
        SendProgram = 6,
        WaitProgramAck = 7,
        Playing = 8,
        WaitEndAck = 9,
        SendFunction = 10,
        WaitFunctionAck = 11,
        Done = 12,
    };

    // OpenEffectFile results besides a line count.
    static constexpr std::int32_t EffectFileMissing = -1;
    static constexpr std::int32_t EffectFileUnreadable = -2;
    static constexpr std::int32_t EffectFileOutside = -3;
    // The card is given this long after accepting "P" before the first record.
    static constexpr std::chrono::milliseconds DefaultPlayOpenPause{1000};

    // Halts after the base has stored the message and raised OnError.
    void ReportError(std::string_view msg) override;
    // The effect file stays open; the next play replaces it.
    void Reset() override;
    void Step();
    // For a play: the records of the whole file and every line the card cannot take.
    bool PlanLine(std::string_view line, TOperationPlan& plan) const override;
    bool IsPausing() const override { return State == JtagState::PausedBeforePlay; }

    // Opens the file the line names in folder, counts its lines by reading it
    // through, and rewinds it.
    std::int32_t OpenEffectFile(const std::string& folder, const std::string& name);
    void CloseEffectFile();
    bool IsEffectFileOpen() const { return EffectFile.IsOpen(); }

    // The first ".", "X" or "R" in InBuffer, or NoReply.
    char FindReplyChar() const;
    // The plan takes one device on the chain: its 32-bit identifier in hex digits.
    static constexpr std::size_t IdentifierDigits = 8;
    // The captured-data reply with its escapes resolved, up to its ESC ".":
    // hex digits followed by their two sum digits.
    static std::string DecodeCapture(std::string_view reply);

    // Clock of the pause before a play; replaceable so that tests drive it.
    TTickSource TickCount = SteadyTickCount;
    std::chrono::milliseconds PlayOpenPause = DefaultPlayOpenPause;

    JtagState GetState() const { return State; }
    std::int32_t GetLineCount() const { return LineCount; }
    std::int32_t GetLineNumber() const { return LineNumber; }
    const std::string& GetEffectLine() const { return EffectLine; }

private:
    // The state a line starts, with the rest of the line from the selector on;
    // Idle when the line is not this engine's.
    static JtagState Match(std::string_view line, std::string& rest);
    void PlanPlay(const std::string& fileName, TOperationPlan& plan) const;

    void Offer();
    void SendTargetCommand(std::string_view command, JtagState next);
    void WaitIdentifyAck();
    void WaitIdentifiers();
    void SendProgram();
    void WaitProgramAck();
    void Play();
    // Drops the line noise in front of the card's answer to a record: what can
    // begin that answer depends on whether a stream or captured bits are due.
    void DropPlayNoise();
    void WaitEndAck();
    void WaitFunctionAck();
    void Finish();

    void OpenPlay();
    void ContinueAfterPause();
    void SendNextRecord();
    void SendEndRecord();
    void ResendRecord();
    void SendStream();
    void CheckCapture();
    void ConsumeChars(std::size_t count);

    JtagState State = JtagState::Idle;
    std::string EffectLine;
    std::int32_t LineCount = 0;
    std::int32_t LineNumber = 0;
    std::string Target;
    std::uint32_t PauseStart = 0;
    TextLineReader EffectFile;
};

std::string StateName(TProgJtag::JtagState state);
std::ostream& operator<<(std::ostream& out, TProgJtag::JtagState state);
