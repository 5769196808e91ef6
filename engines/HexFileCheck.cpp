#include "HexFileCheck.h"

#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <string_view>

using namespace constante;

namespace {

constexpr std::size_t RecordDataPos = 9;
constexpr std::size_t RecordFrameLength = 11;  // ":", count, address, type, checksum
constexpr std::size_t ChecksumDigits = 2;
constexpr char UpperHexDigits[] = "0123456789ABCDEF";

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
    std::string DataProblem(const HexRecord& record, std::int32_t number);

    std::uint32_t First;
    std::uint32_t Last;
    struct Written {
        std::uint32_t Last;
        std::int32_t Line;
    };
    // The addresses each record wrote, from the first to the last, by the first:
    // they never overlap, since a record that would overlap is not written.
    std::map<std::uint32_t, Written> WrittenBy;
    bool Ended = false;
};

std::string RecordChecker::Check(std::string_view line, std::int32_t number)
{
    if (line.find_first_not_of(UpperHexDigits, 1) != std::string_view::npos)
        return PlanHexNotHex;
    const HexRecord record = ParseHexRecord(line);
    const std::size_t dataDigits = 2 * std::size_t{record.Count};
    if (line.size() != RecordFrameLength + dataDigits)
        return FormatText(PlanHexLength, std::to_string(record.Count));
    const std::string rebuilt = BuildHexRecord(record.Type, record.Address, line.substr(RecordDataPos, dataDigits));
    if (rebuilt != line)
        return FormatText(PlanHexChecksum, rebuilt.substr(rebuilt.size() - ChecksumDigits));
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

std::string RecordChecker::DataProblem(const HexRecord& record, std::int32_t number)
{
    if (record.Data.empty())
        return {};
    const std::uint32_t start = record.Address;
    const std::uint32_t end = start + static_cast<std::uint32_t>(record.Data.size()) - 1;
    if (start < First || end > Last) {
        const std::uint32_t outside = start < First ? start : std::max(start, Last + 1);
        return FormatText(PlanHexOutside, {AddressText(outside), WordToHex(First) + "-" + WordToHex(Last)});
    }
    // The earliest range that ends at or after start is the first one it could overlap.
    auto next = WrittenBy.upper_bound(start);
    if (next != WrittenBy.begin() && std::prev(next)->second.Last >= start)
        --next;
    if (next != WrittenBy.end() && next->first <= end)
        return FormatText(PlanHexOverlap, {WordToHex(std::max(start, next->first)), std::to_string(next->second.Line)});
    WrittenBy.emplace(start, Written{end, number});
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
