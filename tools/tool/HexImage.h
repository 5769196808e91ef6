// The 64 KiB memory image an Intel HEX file describes, with the bytes it writes
// marked, read by the same rules as the card's verification sum: lines that are
// not records are skipped, data records write, the end-of-file record ends the
// file, and bytes that would run past FFFF are dropped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HexImage {
    std::vector<std::uint8_t> Bytes;
    std::vector<bool> Written;

    // Bytes the file writes from first to last, inclusive.
    std::size_t WrittenIn(std::uint16_t first, std::uint16_t last) const;
};

HexImage BuildHexImage(const std::vector<std::string>& lines);
