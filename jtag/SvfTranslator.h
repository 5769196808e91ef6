// Effect-file translation: each line of an SVF effect file becomes at most one
// command record for the card, an Intel HEX record whose type carries the JTAG
// command and whose address carries the scan length.
//
// The card accepts a small subset of SVF, one complete statement per line, and
// walks the TAP states itself. Hex fields are sent last byte first, as the card
// shifts them; digits are upper case, and any other character reads as 0 on
// both sides of the link.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The translation of a line the card cannot execute.
inline constexpr char TranslateError[] = "Error";

// Longest scan the card can hold, in bits.
inline constexpr std::int32_t MaxScanBits = 512;

// ScanCode flag: a TDO was given, so the card returns the captured bits.
inline constexpr std::int32_t ScanCapture = 0x10;

// If text, once leading blanks and control characters are gone, begins with a
// TAP state name, code gets its two digits and the name leaves text.
bool ParseStateName(std::string_view& text, std::string& code);

// The two-digit groups in reverse order; a lone final digit is a group of its own.
std::string ReverseHexBytes(std::string_view s);

// Each digit of s ANDed with the mask's digit; only when both have the same length.
void AndHexMask(std::string_view mask, std::string& s);

// True when s has at least two characters, all equal to its first (given in c).
bool IsUniformHex(std::string_view s, char& c);

// Appends the sum modulo 256 of the bytes of s, not complemented.
void AppendHexSum(std::string& s);

// Translates one line at a time and keeps what the engine needs afterwards to
// stream scan data and to check the captured bits of the statement.
class SvfTranslator {
public:
    // Resets the working fields, then writes to record either the record text or
    // TranslateError (also for a statement that lacks its ";"); record is left
    // alone when the line yields nothing (a comment or TRST).
    void TranslateLine(std::string_view line, std::string& record);

    std::int32_t GetBitLength() const { return BitLength; }
    std::int32_t GetScanCode() const { return ScanCode; }
    const std::string& GetTdi() const { return Tdi; }
    const std::string& GetTdo() const { return Tdo; }
    const std::string& GetMask() const { return Mask; }
    const std::string& GetSmask() const { return Smask; }
    bool IsStreamPending() const { return StreamPending; }

protected:
    std::int32_t BitLength = 0;
    std::int32_t ScanCode = 0;
    // For a streamed SDR: the exact text to stream, its sum included.
    std::string Tdi;
    std::string Tdo;
    std::string Mask;
    std::string Smask;
    // The SDR's TDI is not in the record; it goes once the card accepts the record.
    bool StreamPending = false;

private:
    std::string TranslateScan(std::string_view rest, std::int32_t scanType);
    std::string FinishScan();
    std::string* FieldNamedAt(std::string_view& rest);
};
