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
#include <iosfwd>
#include <string>
#include <vector>

class TProgBoot : public THexUploader {
public:
    enum class BootState : std::uint8_t {
        Idle = 0,
        // "PB": load the file, then ask for the erase.
        StartUpload = 1,
        AwaitEraseStart = 2,
        // "SYN": probe until the boot loader answers, then offer the device types.
        SendSyncProbe = 4,
        AwaitBootLoader = 5,
        SendDeviceType = 6,
        AwaitDeviceType = 7,
        ReadIdentification = 8,
        Halted = 9,
        AwaitEraseEnd = 10,
        UploadLines = 11,
        SendChecksumRecord = 12,
        AwaitChecksumAcknowledgement = 13,
        Done = 14,
    };

    void ReportError(std::string_view msg) override;
    void Reset() override;
    void Step();

    BootState GetState() const { return State; }

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

    BootState State = BootState::Idle;
    std::string ChecksumText;
    std::uint16_t DeviceTypeIndex = 0;
};

std::string StateName(TProgBoot::BootState state);
std::ostream& operator<<(std::ostream& out, TProgBoot::BootState state);
