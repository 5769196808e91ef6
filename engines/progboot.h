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
#include <functional>
#include <iosfwd>
#include <string>

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

    void Step();
    bool PlanLine(std::string_view line, TOperationPlan& plan) const override;

    BootState GetState() const { return State; }

    // The boot loader's checksum, as the operator is shown it, when the card is identified.
    std::function<void(TGestionnaire& Sender, std::uint16_t checksum)> OnBootChecksum;

private:
    enum class Operation { None, Sync, Upload };
    // Which operation the line is, and for "PB" what follows the "B".
    static Operation Match(std::string_view line, std::string& rest);
    // What follows the "B" and the blanks behind it: the file name, then the checksum given after it.
    static std::string AfterLetter(std::string_view rest);
    static void SplitUpload(std::string_view nameAndSum, std::string& fileName, std::string& checksum);
    static TUploadArea BootArea();

    // "SYN" ends in Done as well.
    static constexpr TUploadStates<BootState> UploadStates = {
        BootState::AwaitEraseStart, BootState::AwaitEraseEnd, BootState::UploadLines, BootState::SendChecksumRecord,
        BootState::AwaitChecksumAcknowledgement, BootState::Done};

    void Halt() override { State = BootState::Halted; }
    void BackToIdle() override { State = BootState::Idle; }
    void TakeLine();

    void AwaitBootLoader();
    void SendDeviceType();
    void AwaitDeviceType();
    void ReadIdentification();

    void StartUpload();

    BootState State = BootState::Idle;
    std::uint16_t DeviceTypeIndex = 0;
};

std::string StateName(TProgBoot::BootState state);
std::ostream& operator<<(std::ostream& out, TProgBoot::BootState state);
