#include "RunSummary.h"

#include "constante.h"
#include "hex.h"

#include <algorithm>
#include <cstdio>

const char* SummaryResultText(TUpdateSession::TRunResult result)
{
    switch (result) {
    case TUpdateSession::TRunResult::Completed: return constante::SummaryCompleted;
    case TUpdateSession::TRunResult::Failed: return constante::SummaryFailed;
    case TUpdateSession::TRunResult::Stopped: return constante::SummaryStopped;
    }
    return constante::SummaryFailed;
}

std::string DeviceIdText(bool known, std::int32_t id)
{
    return known ? WordToHex(static_cast<std::uint32_t>(id) & 0xFFFF) : constante::NoDeviceId;
}

std::string SummaryDurationText(std::int64_t ms)
{
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1f s", static_cast<double>(ms) / 1000.0);
    return duration;
}

std::vector<std::string> SummaryLines(const std::vector<TSummaryRow>& rows)
{
    const std::vector<std::string> heading = {constante::SummaryPort,  constante::SummaryDevice,
                                              constante::SummaryResult, constante::SummaryDuration,
                                              constante::SummaryLines, constante::SummaryRetries,
                                              constante::SummaryNoise, constante::SummaryMessage};
    std::vector<std::vector<std::string>> cells = {heading};
    for (const TSummaryRow& row : rows)
        cells.push_back({row.Port, SummaryDeviceText(row), SummaryResultText(row.Result), SummaryDurationText(row.DurationMs),
                         std::to_string(row.LinesSent), std::to_string(row.Retransmissions),
                         std::to_string(row.NoiseDropped), row.Message});
    std::vector<std::size_t> widths(heading.size(), 0);
    for (const std::vector<std::string>& line : cells)
        for (std::size_t column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], line[column].size());
    std::vector<std::string> lines;
    for (const std::vector<std::string>& line : cells) {
        std::string text;
        for (std::size_t column = 0; column < line.size(); ++column) {
            text += line[column];
            if (column + 1 < line.size())
                text += std::string(widths[column] - line[column].size() + 2, ' ');
        }
        lines.push_back(text);
    }
    return lines;
}
