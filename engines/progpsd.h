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
#include <vector>

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

    void ReportError(std::string_view msg) override;
    void Reset() override;
    void Step();

    PsdState GetState() const { return State; }

private:
    void TakeLine();
    // A bank command or message: the text followed directly by the bank digit.
    std::string WithBankDigit(std::string_view text) const;
    // One poll for "."; true when it came and was consumed. "I" instead ends the operation.
    bool InstructionAccepted();

    void StartUpload();
    void AwaitEraseEnd();
    void SendChecksumRecord();
    void AwaitChecksumAcknowledgement();
    void ReadMcuId();
    void Done();

    PsdState State = PsdState::Idle;
    std::int32_t Bank = 0;
};

std::string StateName(TProgPsd::PsdState state);
std::ostream& operator<<(std::ostream& out, TProgPsd::PsdState state);
