// Intel HEX files of any content: every record line parsed, the image sum over
// any range, and a record built from any data read back field by field.
//
// Input: the first and last address of the sum (two bytes each), the type and
// address of a record to build (one byte, two bytes), then the file's text.
#include "FuzzSupport.h"

#include "hex.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::size_t RecordDataPos = 9;
constexpr std::size_t RecordFrameLength = 11;  // ":", count, address, type, checksum

// Sum over first..last; the empty range when last is below first.
std::uint16_t Sum(const std::vector<std::string>& lines, std::uint32_t first, std::uint32_t last)
{
    if (last < first || last > 0xFFFF)
        return 0;
    return HexImageChecksum(lines, static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(last));
}

void CheckRecordLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (line.empty() || line[0] != ':')
            continue;
        const HexRecord record = ParseHexRecord(line);
        const std::size_t room = line.size() > RecordDataPos ? (line.size() - RecordDataPos) / 2 : 0;
        Require(record.Data.size() <= record.Count, "a record holds at most its count of data bytes");
        Require(record.Data.size() <= room, "a record's data bytes come from the line itself");
        HexToWord(line);
    }
}

// The image sum is a sum: the three parts around any range add up to the whole.
void CheckImageSum(const std::vector<std::string>& lines, std::uint16_t first, std::uint16_t last)
{
    const std::uint16_t whole = Sum(lines, 0, 0xFFFF);
    const std::uint16_t range = Sum(lines, first, last);
    if (last < first) {
        Require(range == 0, "an empty range sums to 0");
        return;
    }
    const std::uint16_t below = first == 0 ? 0 : Sum(lines, 0, first - 1u);
    const std::uint16_t above = Sum(lines, last + 1u, 0xFFFF);
    Require(static_cast<std::uint16_t>(below + range + above) == whole, "the image sum is additive over ranges");
}

void CheckBuiltRecord(std::uint8_t type, std::uint16_t address, const std::string& bytes)
{
    std::string dataText;
    for (const char byte : bytes)
        dataText += ByteToHex(static_cast<std::uint8_t>(byte));
    const std::string line = BuildHexRecord(type, address, dataText);
    Require(line.size() == dataText.size() + RecordFrameLength, "a built record is its data plus 11 characters");

    const HexRecord record = ParseHexRecord(line);
    const std::size_t count = bytes.size() % 256;
    Require(record.Type == type && record.Address == address, "a built record reads back its type and address");
    Require(record.Count == count && record.Data == bytes.substr(0, count), "a built record reads back its data");

    unsigned sum = 0;
    for (std::size_t pos = 1; pos + 1 < line.size(); pos += 2)
        sum += HexValue(line[pos]) * 16 + HexValue(line[pos + 1]);
    Require(sum % 256 == 0, "the bytes of a built record, checksum included, sum to 0");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint16_t first = input.Word();
    const std::uint16_t last = input.Word();
    const std::uint8_t type = input.Byte();
    const std::uint16_t address = input.Word();
    const std::string text = input.All();

    const std::vector<std::string> lines = SplitTextLines(text);
    CheckRecordLines(lines);
    CheckImageSum(lines, first, last);
    CheckBuiltRecord(type, address, text.substr(0, 300));
    return 0;
}
