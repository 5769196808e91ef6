// TProgBoot: the boot loader of the card's microcontroller.
//
// "SYN" wakes the boot loader, has it accept one of the known device types and
// reads back the boot checksum and the device identifier; reporting the
// identifier is what allows the other engines to program the card. "PB"
// erases the extended boot area, uploads an Intel HEX file to it line by line
// and has the card verify the upload against a checksum record.
#pragma once

#include "HexUploader.h"

#include <cstdint>
#include <string>
#include <vector>

class TProgBoot : public THexUploader {
public:
    void ReportError(std::string_view msg) override;
    void Reset() override;
    void Step();

    std::uint8_t GetState() const { return State; }

private:
    void TakeLine();

    void AwaitBootLoader();
    void SendDeviceType();
    void AwaitDeviceType();
    void ReadIdentification();

    void StartUpload();
    void AwaitEraseStart();
    void AwaitEraseEnd();
    void SendChecksumRecord();
    void AwaitChecksumAcknowledgement();
    void Done();

    static constexpr std::uint8_t Idle = 0;
    static constexpr std::uint8_t Halted = 9;

    std::uint8_t State = Idle;
    std::string ChecksumText;
    std::uint16_t DeviceTypeIndex = 0;
};
