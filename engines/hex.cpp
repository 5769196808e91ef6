#include "hex.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::size_t RecordCountPos = 1;    // 0-based positions in a record line
constexpr std::size_t RecordAddressPos = 3;
constexpr std::size_t RecordTypePos = 7;
constexpr std::size_t RecordDataPos = 9;

std::string FixedHex(std::uint32_t value, int digits)
{
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = HexDigit(value & 0xF);
        value >>= 4;
    }
    return text;
}

// The data bytes actually present on the line (at most its count).
std::size_t PresentDataBytes(std::string_view line, const HexRecordHead& head)
{
    const std::size_t available = line.size() > RecordDataPos ? (line.size() - RecordDataPos) / 2 : 0;
    return std::min<std::size_t>(head.Count, available);
}

}  // namespace

std::string ByteToHex(std::uint32_t value) { return FixedHex(value, 2); }
std::string WordToHex(std::uint32_t value) { return FixedHex(value, 4); }
std::string LongToHex(std::uint32_t value) { return FixedHex(value, 8); }

std::uint16_t HexToWord(std::string_view text)
{
    return static_cast<std::uint16_t>(HexByteAt(text, 0) << 8 | HexByteAt(text, 2));
}

HexRecordHead ParseHexRecordHead(std::string_view line)
{
    HexRecordHead head;
    head.Count = HexByteAt(line, RecordCountPos);
    head.Address = static_cast<std::uint16_t>(HexByteAt(line, RecordAddressPos) << 8 |
                                               HexByteAt(line, RecordAddressPos + 2));
    head.Type = HexByteAt(line, RecordTypePos);
    return head;
}

HexRecord ParseHexRecord(std::string_view line)
{
    HexRecord record;
    static_cast<HexRecordHead&>(record) = ParseHexRecordHead(line);
    const std::size_t present = PresentDataBytes(line, record);
    record.Data.reserve(present);
    for (std::size_t i = 0; i < present; ++i)
        record.Data.push_back(static_cast<char>(HexByteAt(line, RecordDataPos + 2 * i)));
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
        sum += HexByteAt(line, pos);
    line += ByteToHex((256 - sum % 256) % 256);
    return line;
}

namespace {

// The data records of the lines up to the end-of-file record, each with the
// part of its bytes that falls inside first..last; false from f stops the walk.
template <class Visit>
bool ForEachAreaRecord(const std::vector<std::string>& lines, std::uint16_t first, std::uint16_t last, Visit visit)
{
    for (const std::string& line : lines) {
        if (line.empty() || line[0] != ':')
            continue;
        const HexRecordHead head = ParseHexRecordHead(line);
        if (head.Type == HexRecordEndOfFile)
            break;
        if (head.Type != HexRecordData)
            continue;
        const std::size_t begin = std::max<std::size_t>(head.Address, first);
        const std::size_t end = std::min<std::size_t>(head.Address + PresentDataBytes(line, head), std::size_t{last} + 1);
        if (begin < end && !visit(line, head.Address, begin, end))
            return false;
    }
    return true;
}

// The byte at address of a record line whose data begins at start.
std::uint8_t RecordByte(const std::string& line, std::size_t start, std::size_t address)
{
    const std::size_t digit = RecordDataPos + 2 * (address - start);
    return static_cast<std::uint8_t>(HexValue(line[digit]) * 16 + HexValue(line[digit + 1]));
}

}  // namespace

std::uint16_t HexImageChecksum(const std::vector<std::string>& lines, std::uint16_t first,
                               std::uint16_t last)
{
    if (first > last)
        return 0;
    const std::size_t size = static_cast<std::size_t>(last - first) + 1;
    // Records in ascending order, as image files hold them, each write bytes no
    // other record wrote: every written byte takes the place of an unwritten one.
    std::uint32_t sum = static_cast<std::uint32_t>(size) * HexUnwrittenByte;
    std::size_t written = first;
    const bool ascending = ForEachAreaRecord(lines, first, last, [&](const std::string& line, std::size_t start,
                                                                      std::size_t begin, std::size_t end) {
        if (begin < written)
            return false;
        for (std::size_t address = begin; address < end; ++address)
            sum = sum - HexUnwrittenByte + RecordByte(line, start, address);
        written = end;
        return true;
    });
    if (ascending)
        return static_cast<std::uint16_t>(sum);

    // Otherwise a byte written again takes the place of the one written before.
    std::vector<std::uint8_t> area(size, HexUnwrittenByte);
    sum = static_cast<std::uint32_t>(size) * HexUnwrittenByte;
    ForEachAreaRecord(lines, first, last, [&](const std::string& line, std::size_t start, std::size_t begin,
                                              std::size_t end) {
        for (std::size_t address = begin; address < end; ++address) {
            std::uint8_t& byte = area[address - first];
            const std::uint8_t value = RecordByte(line, start, address);
            sum = sum - byte + value;
            byte = value;
        }
        return true;
    });
    return static_cast<std::uint16_t>(sum);
}
