// Everything that makes one simulated card differ from another: its identity,
// what it holds when it is switched on, and the faults it injects.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

struct FaultOptions {
    std::uint64_t Seed = 1;
    // Fraction of HEX lines and JTAG records answered "R" without being looked at.
    double RepeatRate = 0.0;
    // Fraction of HEX lines, JTAG records and scan streams that arrive with one
    // character changed; the card's own record check then asks for them again.
    double CorruptRate = 0.0;
    // Fraction of HEX lines, JTAG records and scan streams that lose one character.
    double DropRate = 0.0;
    // Fraction of captured-data replies sent with one digit changed.
    double CorruptCaptureRate = 0.0;
    // Fraction of line and record acknowledgements that are never sent.
    double DropAckRate = 0.0;
    // Fraction of replies that a stray byte of line noise goes in front of.
    double NoiseRate = 0.0;
    // Every reply is line noise of the reply's length: the card chatters but never answers.
    bool NoiseOnly = false;
    // Commands (as the card names them: "P3", "V0", "M1", "57", "RS" ...) that fail.
    std::set<std::string> Refused;
    // After this many commands the card answers nothing more (0: never).
    std::uint64_t SilentAfter = 0;
    // After this many commands the card drops its network connection (0: never).
    std::uint64_t CloseAfter = 0;
};

struct CardOptions {
    std::uint16_t DeviceType = 57;
    std::uint16_t DeviceId = 0xAAAA;
    // Raw boot checksum sent at synchronisation; unset: the sum of the extended
    // boot area plus the 0x6000 bias the boot loader adds.
    bool BootChecksumSet = false;
    std::uint16_t BootChecksum = 0;
    bool StartInBootLoader = false;
    // Component versions (0-15) as 4 characters; unset components read "0000".
    std::map<unsigned, std::string> Versions;
    // Card numbers (0-9) that do not answer a ping.
    std::set<unsigned> AbsentCards;
    // Identifier each PSD bank reports to "D" (2 characters).
    std::string McuId = "5A";
    // IDCODEs of the devices on the JTAG chain, the one nearest TDO first.
    std::vector<std::uint32_t> JtagIdCodes = {0x1C0DE0A5};
    FaultOptions Faults;
};
