// Hexadecimal text helpers and Intel HEX record handling.
//
// Digits are written in upper case. When read, "0"-"9" and "A"-"F" carry their
// value and every other character (lower-case letters included) reads as 0: the
// card's own parser behaves the same way, so the PC must not be more lenient.
// Addresses are 16-bit only; record types other than data (00) and end of
// file (01) are skipped.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::uint8_t HexRecordData = 0x00;
inline constexpr std::uint8_t HexRecordEndOfFile = 0x01;
// Record type that carries a 16-bit verification sum to the card.
inline constexpr std::uint8_t HexRecordChecksum = 0x0C;

inline constexpr std::size_t HexImageSize = 0x10000;
inline constexpr std::uint8_t HexUnwrittenByte = 0xFF;

struct HexRecordHead {
    std::uint8_t Type = 0;
    std::uint8_t Count = 0;
    std::uint16_t Address = 0;
};

struct HexRecord : HexRecordHead {
    std::string Data;  // the data bytes actually present on the line (at most Count)
};

// Inline: a JTAG play reads and writes every digit of its scans through these.
inline char HexDigit(unsigned n) { return "0123456789ABCDEF"[n % 16]; }

// The value of each character as a digit, by its code.
inline constexpr std::array<std::uint8_t, 256> HexValues = [] {
    std::array<std::uint8_t, 256> values{};
    for (unsigned digit = 0; digit < 10; ++digit)
        values['0' + digit] = static_cast<std::uint8_t>(digit);
    for (unsigned digit = 10; digit < 16; ++digit)
        values['A' + digit - 10] = static_cast<std::uint8_t>(digit);
    return values;
}();

inline unsigned HexValue(char c) { return HexValues[static_cast<unsigned char>(c)]; }

std::string ByteToHex(std::uint32_t value);
std::string WordToHex(std::uint32_t value);
std::string LongToHex(std::uint32_t value);

// Value of the first four characters; characters missing from a shorter text read as 0.
std::uint16_t HexToWord(std::string_view text);
// Value of the two characters at pos; characters missing from a shorter text read as 0.
inline std::uint8_t HexByteAt(std::string_view text, std::size_t pos)
{
    const unsigned high = pos < text.size() ? HexValue(text[pos]) : 0;
    const unsigned low = pos + 1 < text.size() ? HexValue(text[pos + 1]) : 0;
    return static_cast<std::uint8_t>(high * 16 + low);
}

// Reads the fields at their fixed positions of a line that begins with ":".
// The checksum field is not read. Data bytes that the line is too short to
// hold are left out of Data.
HexRecord ParseHexRecord(std::string_view line);
// The same without the data.
HexRecordHead ParseHexRecordHead(std::string_view line);

// A complete record line for an even-length hex data text, checksum included.
std::string BuildHexRecord(std::uint8_t type, std::uint16_t address, std::string_view dataText);

// 16-bit sum of the bytes first..last (inclusive) of the 64 KiB image that the
// HEX lines describe; unwritten bytes count as 0xFF.
std::uint16_t HexImageChecksum(const std::vector<std::string>& lines, std::uint16_t first,
                               std::uint16_t last);
