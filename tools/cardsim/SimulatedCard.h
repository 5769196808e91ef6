// The card's side of every protocol, answering from its own state.
//
// Switched on, the card runs its firmware, which speaks the variable protocol
// (decimal value and command letter; CR LF terminated replies). Writing 1 and
// then 254 to UPDATER hands it over to the boot loader, which synchronises on
// "%", checks the device type and then serves the command interpreter of the
// programming phase: boot and PSD bank uploads from HEX lines, versions, pings,
// the option code and the JTAG chain. "FI" ends the update and restarts the
// firmware.
//
// Framing, as the card reads it: commands are two characters; version, user
// version and option texts four characters; HEX lines and JTAG records end at
// CR LF; a scan stream has the length its record announced. A "%" at any point
// of the programming phase abandons what was going on and resynchronises.
#pragma once

#include "CardOptions.h"
#include "FaultInjector.h"
#include "JtagChain.h"
#include "hex.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class SimulatedCard {
public:
    enum class Mode { Firmware, BootLoader };

    // One flash area: a 64 KiB image of which only the window is real memory.
    struct FlashArea {
        std::uint16_t First = 0;
        std::uint16_t Last = 0;
        std::vector<std::uint8_t> Image = std::vector<std::uint8_t>(0x10000, 0xFF);
        std::uint32_t Erases = 0;
        std::uint32_t LinesWritten = 0;
        bool Verified = false;  // the last upload passed its checksum record
        std::uint16_t Sum() const;
    };

    static constexpr int BankCount = 8;
    // Repeated "%" probes within this time after an answered one are the PC's
    // own repetitions already in flight; answering them would leave stray
    // acknowledgements for the commands that follow.
    static constexpr std::uint64_t SyncQuietMs = 250;
    // Bias the boot loader adds to the sum of its extended boot area.
    static constexpr std::uint16_t BootChecksumBias = 0x6000;
    static constexpr std::size_t TextLength = 4;

    SimulatedCard(const CardOptions& options, std::function<std::uint64_t()> clockMs);

    // Bytes written by the card (each call one transmission).
    std::function<void(const std::string&)> OnOutput;
    // The card drops its network connection (fault injection).
    std::function<void()> OnDisconnect;

    void Receive(std::string_view bytes);

    Mode CurrentMode() const { return CardMode; }
    const FlashArea& BootArea() const { return Boot; }
    const FlashArea& Bank(int bank) const { return Banks[static_cast<std::size_t>(bank)]; }
    const std::map<char, std::string>& Versions() const { return VersionTable; }
    const std::string& UserVersion() const { return UserVersionText; }
    const std::string& OptionCode() const { return OptionCodeText; }
    const JtagChain& Jtag() const { return Chain; }
    std::uint16_t DeviceType() const { return Options.DeviceType; }
    std::uint16_t DeviceId() const { return Options.DeviceId; }
    std::uint64_t CommandsReceived() const { return Commands; }
    // The firmware's commands by their letters ("?", "yU", ...; any other
    // character that ended a command as itself), and how often each came.
    const std::map<std::string, std::uint64_t>& FirmwareCommands() const { return FirmwareTally; }
    std::uint64_t RetransmissionsRequested() const { return Retransmissions; }
    // Every "%" the boot loader received, answered or not.
    std::uint64_t SyncProbesReceived() const { return SyncProbes; }
    // The "%" among them that were answered: a probe after the quiet time is
    // answered again, so a slow exchange may see several answers.
    std::uint64_t SyncAnswersSent() const { return SyncAnswers; }
    std::uint64_t EffectRecordsExecuted() const { return RecordsExecuted; }
    // Stray bytes put in front of replies (fault injection).
    std::uint64_t NoiseBytesSent() const { return NoiseBytes; }

private:
    enum class Expect { Command, Text, HexLines, JtagRecords, StreamData, CaptureAck };
    enum class TextKind { Version, UserVersion, Option };

    void Reply(const std::string& text);
    void CountCommand();
    bool Silent() const { return Faults.SilentAfter(Commands); }

    void FirmwareInput();
    void BootLoaderByte(char c);
    bool Handle();  // handles one complete message at the front of Input
    bool TakeLine(std::string& line);
    bool TakeCount(std::size_t count, std::string& text);

    bool Sync();
    bool Command();
    void Dispatch(const std::string& command);
    void StartUpload(FlashArea& area, const std::string& command);
    void HexLine(std::string line);
    void TextReceived(const std::string& text);
    void JtagRecord(std::string line);
    void StreamReceived(std::string stream);
    void ExecuteScan(const std::string& tdi);
    void SendCapture();
    void CaptureAck(char c);

    std::string JtagIdText() const;
    std::uint16_t RawBootChecksum() const;
    static bool IsIntactRecord(const std::string& line);

    CardOptions Options;
    FaultInjector Faults;
    std::function<std::uint64_t()> ClockMs;
    Mode CardMode;
    Expect Expecting = Expect::Command;
    std::string Input;

    // Firmware variables.
    std::uint32_t LastUpdater = 0;

    // Boot loader.
    bool SyncAnswered = false;
    std::uint64_t SyncAnsweredAt = 0;
    FlashArea Boot;
    std::vector<FlashArea> Banks;
    FlashArea* Upload = nullptr;
    std::string CurrentCommand;
    TextKind Text = TextKind::Version;
    char TextComponent = '0';
    bool TextRefused = false;
    std::map<char, std::string> VersionTable;
    std::string UserVersionText;
    std::string OptionCodeText;

    // JTAG play.
    JtagChain Chain;
    HexRecord Scan;
    std::size_t StreamLength = 0;
    std::string CaptureHex;  // captured bytes and their sum, before escaping
    std::uint64_t RecordsExecuted = 0;

    std::uint64_t Commands = 0;
    std::map<std::string, std::uint64_t> FirmwareTally;
    std::uint64_t Retransmissions = 0;
    std::uint64_t SyncProbes = 0;
    std::uint64_t SyncAnswers = 0;
    std::uint64_t NoiseBytes = 0;
};
