#include "HexFileCheck.h"

#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

using namespace constante;

namespace {

constexpr std::size_t RecordFrameLength = 11;  // ":", count, address, type, checksum
constexpr std::size_t ChecksumDigits = 2;

// Upper-case hex digits by their code: the card takes no other character in a record.
constexpr std::array<bool, 256> UpperHexDigits = [] {
    std::array<bool, 256> digits{};
    for (const char c : std::string_view("0123456789ABCDEF"))
        digits[static_cast<unsigned char>(c)] = true;
    return digits;
}();

// The sum of the bytes of a record from its count on, its checksum included;
// false when a character is no upper-case hex digit.
bool RecordSum(std::string_view line, unsigned& sum)
{
    sum = 0;
    if (line.size() % 2 == 0)  // ":" and a whole number of bytes
        return std::all_of(line.begin() + 1, line.end(),
                           [](char c) { return UpperHexDigits[static_cast<unsigned char>(c)]; });
    for (std::size_t pos = 1; pos < line.size(); pos += 2) {
        const auto high = static_cast<unsigned char>(line[pos]);
        const auto low = static_cast<unsigned char>(line[pos + 1]);
        if (!UpperHexDigits[high] || !UpperHexDigits[low])
            return false;
        sum += HexValue(line[pos]) * 16 + HexValue(line[pos + 1]);
    }
    return true;
}

// A record that runs past FFFF names the address beyond it with five digits.
std::string AddressText(std::uint32_t address)
{
    return address > 0xFFFF ? HexDigit(address >> 16) + WordToHex(address) : WordToHex(address);
}

class RecordChecker {
public:
    RecordChecker(std::uint16_t first, std::uint16_t last) : First(first), Last(last) {}

    // The problem of one record line, or nothing.
    std::string Check(std::string_view line, std::int32_t number);

private:
    std::string DataProblem(const HexRecordHead& record, std::int32_t number);

    std::uint32_t First;
    std::uint32_t Last;
    struct Written {
        std::uint32_t First;
        std::uint32_t Last;
        std::int32_t Line;
    };
    // The addresses each record wrote, in their order: they never overlap, since
    // a record that would overlap is not written. Records mostly come in
    // ascending order, and are then added at the end.
    std::vector<Written> WrittenBy;
    bool Ended = false;
};

std::string RecordChecker::Check(std::string_view line, std::int32_t number)
{
    unsigned sum = 0;
    if (!RecordSum(line, sum))
        return PlanHexNotHex;
    const HexRecordHead record = ParseHexRecordHead(line);
    if (line.size() != RecordFrameLength + 2 * std::size_t{record.Count})
        return FormatText(PlanHexLength, std::to_string(record.Count));
    // The checksum makes the sum of all the record's bytes 0.
    if (sum % 256 != 0) {
        const unsigned written = HexByteAt(line, line.size() - ChecksumDigits);
        return FormatText(PlanHexChecksum, ByteToHex((256 - (sum - written) % 256) % 256));
    }
    if (record.Type == HexRecordEndOfFile) {
        Ended = true;
        return {};
    }
    if (record.Type != HexRecordData)
        return FormatText(PlanHexType, ByteToHex(record.Type));
    // The image sum stops at the end of file; a card that wrote on would fail the verification.
    if (Ended)
        return PlanHexAfterEnd;
    return DataProblem(record, number);
}

std::string RecordChecker::DataProblem(const HexRecordHead& record, std::int32_t number)
{
    if (record.Count == 0)
        return {};
    const std::uint32_t start = record.Address;
    const std::uint32_t end = start + record.Count - 1u;
    if (start < First || end > Last) {
        const std::uint32_t outside = start < First ? start : std::max(start, Last + 1);
        return FormatText(PlanHexOutside, {AddressText(outside), WordToHex(First) + "-" + WordToHex(Last)});
    }
    // The first range that ends at or after start is the first one the record could overlap.
    const auto next = WrittenBy.empty() || WrittenBy.back().Last < start
                          ? WrittenBy.end()
                          : std::lower_bound(WrittenBy.begin(), WrittenBy.end(), start,
                                             [](const Written& written, std::uint32_t at) { return written.Last < at; });
    if (next != WrittenBy.end() && next->First <= end)
        return FormatText(PlanHexOverlap, {WordToHex(std::max(start, next->First)), std::to_string(next->Line)});
    WrittenBy.insert(next, {start, end, number});
    return {};
}

}  // namespace

void CheckHexFile(const std::string& path, const std::vector<std::string>& lines, std::uint16_t first,
                  std::uint16_t last, TOperationPlan& plan)
{
    RecordChecker checker(first, last);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::string& line = lines[index];
        if (line.empty() || line[0] != ':')
            continue;
        const auto number = static_cast<std::int32_t>(index + 1);
        std::string problem = checker.Check(line, number);
        if (!problem.empty())
            plan.Problem(path, number, std::move(problem));
    }
}
