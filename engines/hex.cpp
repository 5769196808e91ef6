#include "hex.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::size_t RecordCountPos = 1;    // 0-based positions in a record line
constexpr std::size_t RecordAddressPos = 3;
constexpr std::size_t RecordTypePos = 7;
constexpr std::size_t RecordDataPos = 9;

// Byte value of the two digits at pos; digits beyond the end of the text read as 0.
std::uint8_t ByteAt(std::string_view text, std::size_t pos)
{
    const unsigned high = pos < text.size() ? HexValue(text[pos]) : 0;
    const unsigned low = pos + 1 < text.size() ? HexValue(text[pos + 1]) : 0;
    return static_cast<std::uint8_t>(high * 16 + low);
}

std::string FixedHex(std::uint32_t value, int digits)
{
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = HexDigit(value & 0xF);
        value >>= 4;
    }
    return text;
}

}  // namespace

std::string ByteToHex(std::uint32_t value) { return FixedHex(value, 2); }
std::string WordToHex(std::uint32_t value) { return FixedHex(value, 4); }
std::string LongToHex(std::uint32_t value) { return FixedHex(value, 8); }

std::uint16_t HexToWord(std::string_view text)
{
    return static_cast<std::uint16_t>(ByteAt(text, 0) << 8 | ByteAt(text, 2));
}

HexRecord ParseHexRecord(std::string_view line)
{
    HexRecord record;
    record.Count = ByteAt(line, RecordCountPos);
    record.Address = static_cast<std::uint16_t>(ByteAt(line, RecordAddressPos) << 8 |
                                                 ByteAt(line, RecordAddressPos + 2));
    record.Type = ByteAt(line, RecordTypePos);
    const std::size_t available = line.size() > RecordDataPos ? (line.size() - RecordDataPos) / 2 : 0;
    const std::size_t present = std::min<std::size_t>(record.Count, available);
    record.Data.reserve(present);
    for (std::size_t i = 0; i < present; ++i)
        record.Data.push_back(static_cast<char>(ByteAt(line, RecordDataPos + 2 * i)));
    return record;
}

std::string BuildHexRecord(std::uint8_t type, std::uint16_t address, std::string_view dataText)
{
    const std::size_t count = dataText.size() / 2;
    std::string line;
    line.reserve(dataText.size() + 11);
    line += ':';
    line += HexDigit(static_cast<unsigned>(count / 16));
    line += HexDigit(static_cast<unsigned>(count));
    line += WordToHex(address);
    line += ByteToHex(type);
    line += dataText;

    unsigned sum = 0;
    for (std::size_t pos = 1; pos + 1 < RecordDataPos + 2 * count; pos += 2)
        sum += ByteAt(line, pos);
    line += ByteToHex((256 - sum % 256) % 256);
    return line;
}

std::uint16_t HexImageChecksum(const std::vector<std::string>& lines, std::uint16_t first,
                               std::uint16_t last)
{
    if (first > last)
        return 0;
    // Only the summed part of the image is kept; bytes elsewhere, and bytes that
    // would run past 0xFFFF, do not count.
    std::vector<std::uint8_t> area(static_cast<std::size_t>(last - first) + 1, HexUnwrittenByte);
    for (const std::string& line : lines) {
        if (line.empty() || line[0] != ':')
            continue;
        const HexRecord record = ParseHexRecord(line);
        if (record.Type == HexRecordData) {
            for (std::size_t i = 0; i < record.Data.size(); ++i) {
                const std::size_t address = record.Address + i;
                if (address >= first && address <= last)
                    area[address - first] = static_cast<std::uint8_t>(record.Data[i]);
            }
        } else if (record.Type == HexRecordEndOfFile) {
            break;
        }
    }

    std::uint32_t sum = 0;
    for (const std::uint8_t byte : area)
        sum += byte;
    return static_cast<std::uint16_t>(sum);
}
