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
#include <string>
#include <vector>

class TProgPsd : public THexUploader {
public:
    void ReportError(std::string_view msg) override;
    void Reset() override;
    void Step();

    std::uint8_t GetState() const { return State; }

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

    static constexpr std::uint8_t Idle = 0;
    static constexpr std::uint8_t Halted = 4;
    static constexpr std::uint8_t Finished = 14;

    std::uint8_t State = Idle;
    std::int32_t Bank = 0;
};
