// TProgPsd: the banks 0 to 7 of the card's PSD flash memory.
//
// "P" erases a bank, uploads an Intel HEX file to it line by line and has the
// card verify the bank against a checksum record; it needs UpdateAllowed, which
// the host grants once the boot loader has identified the card. "D" reads the
// microcontroller identifier and "F" sends a bank command that the card only
// acknowledges; neither needs the permission.
#pragma once

#include "HexUploader.h"

#include <cstdint>
#include <iosfwd>
#include <string>

class TProgPsd : public THexUploader {
public:
    enum class PsdState : std::uint8_t {
        Idle = 0,
        // "P": check the permission, load the file, ask for the erase.
        StartUpload = 1,
        AwaitEraseStart = 2,
        AwaitEraseEnd = 3,
        Halted = 4,
        // A second halt state that no operation enters; its Step does nothing either.
        Stopped = 5,
        UploadLines = 6,
        SendChecksumRecord = 7,
        AwaitChecksumAcknowledgement = 8,
        // "D": the microcontroller identifier.
        SendIdentify = 9,
        AwaitIdentifyAcknowledgement = 10,
        ReadMcuId = 11,
        // "F": the bank command that is only acknowledged.
        SendFunction = 12,
        AwaitFunctionAcknowledgement = 13,
        Done = 14,
    };

    void Step();
    bool PlanLine(std::string_view line, TOperationPlan& plan) const override;

    PsdState GetState() const { return State; }

private:
    struct TKeyword {
        const char* Letter;
        PsdState FirstState;
    };
    // The keyword of the line and its bank digit, with the rest of the line
    // from that digit on; nullptr when the line is not this engine's.
    static const TKeyword* Match(std::string_view line, std::string& rest);
    static TUploadArea BankArea(std::int32_t bank);
    // A bank command or message: the text followed directly by the bank digit.
    static std::string WithBankDigit(std::string_view text, std::int32_t bank);

    // "D" and "F" end in Done as well.
    static constexpr TUploadStates<PsdState> UploadStates = {
        PsdState::AwaitEraseStart, PsdState::AwaitEraseEnd, PsdState::UploadLines, PsdState::SendChecksumRecord,
        PsdState::AwaitChecksumAcknowledgement, PsdState::Done};

    void Halt() override { State = PsdState::Halted; }
    void BackToIdle() override { State = PsdState::Idle; }
    void TakeLine();
    // One poll for "."; true when it came and was consumed. "I" instead ends the operation.
    bool InstructionAccepted();

    void StartUpload();
    void ReadMcuId();

    PsdState State = PsdState::Idle;
    std::int32_t Bank = 0;
};

std::string StateName(TProgPsd::PsdState state);
std::ostream& operator<<(std::ostream& out, TProgPsd::PsdState state);
