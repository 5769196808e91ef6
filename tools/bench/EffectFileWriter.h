// Effect files for benchmarks, of any length, that play cleanly on the simulated
// card's JTAG device.
//
// After a short header that checks the IDCODE, the file repeats one group of
// statements on the device's 64-bit USER register, whose captured value is the
// one shifted in before. A mixed group holds instruction scans with and without
// a captured value, streamed and fill data scans of 64 and 512 bits with TDO
// compares (masked and not), RUNTEST and STATE; a wide group is one streamed
// 512-bit scan with TDO and MASK, the longest line there is, for files that
// must be large rather than many statements long. Every expected TDO follows
// from what went in before, so the whole file passes when the card and the
// updater are right. The data are pseudo-random from a fixed seed: the same
// sizes give the same file.
#pragma once

#include <cstdint>
#include <string>

struct EffectFileSize {
    std::uint64_t Statements = 0;  // lines that send a record to the card
    std::uint64_t Bytes = 0;
};

enum class EffectGroups { Mixed, Wide };

// Writes whole groups until the file holds at least minStatements statements
// and minBytes bytes. False when the file cannot be written.
bool WriteEffectFile(const std::string& path, std::uint64_t minStatements, std::uint64_t minBytes,
                     EffectFileSize& written, EffectGroups groups = EffectGroups::Mixed);
