#include "BatchSummary.h"

#include "constante.h"
#include "textutil.h"

#include <array>

namespace {

constexpr std::size_t ColumnCount = 8;
constexpr char Blanks[] = " \t";

// Where each column begins in the heading; false when the line is no heading.
bool HeadingColumns(const std::string& line, std::array<std::size_t, ColumnCount>& starts)
{
    using namespace constante;
    const std::array<const char*, ColumnCount> names = {SummaryPort,  SummaryDevice,  SummaryResult, SummaryDuration,
                                                        SummaryLines, SummaryRetries, SummaryNoise,  SummaryMessage};
    if (!StartsWith(line, std::string(SummaryPort) + ' '))
        return false;
    std::size_t from = 0;
    for (std::size_t column = 0; column < ColumnCount; ++column) {
        const std::size_t at = line.find(names[column], from);
        if (at == std::string::npos)
            return false;
        starts[column] = at;
        from = at + std::char_traits<char>::length(names[column]);
    }
    return true;
}

std::string Field(const std::string& line, std::size_t from, std::size_t to)
{
    if (from >= line.size())
        return {};
    std::string field = line.substr(from, to - from);
    const std::size_t first = field.find_first_not_of(Blanks);
    if (first == std::string::npos)
        return {};
    return field.substr(first, field.find_last_not_of(Blanks) - first + 1);
}

}  // namespace

bool ParseBatchSummary(const std::vector<std::string>& lines, std::vector<BatchSummaryRow>& rows)
{
    rows.clear();
    std::array<std::size_t, ColumnCount> starts{};
    std::size_t heading = lines.size();
    for (std::size_t index = lines.size(); index-- > 0;)
        if (HeadingColumns(lines[index], starts)) {
            heading = index;
            break;
        }
    if (heading == lines.size())
        return false;
    for (std::size_t index = heading + 1; index < lines.size(); ++index) {
        const std::string& line = lines[index];
        // What each run did follows the rows, each line after its card's "[port]".
        if (line.starts_with('['))
            break;
        std::array<std::string, ColumnCount> fields;
        for (std::size_t column = 0; column < ColumnCount; ++column)
            fields[column] = Field(line, starts[column], column + 1 < ColumnCount ? starts[column + 1] : std::string::npos);
        rows.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]});
    }
    return true;
}
