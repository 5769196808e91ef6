// The summary of the runs of several cards: the table batch mode prints at
// its end, the window of several cards shows, and the JSON of batch mode holds.
#pragma once

#include "UpdateSession.h"

#include <cstdint>
#include <string>
#include <vector>

struct TSummaryRow {
    std::string Port;
    bool DeviceKnown = false;
    std::int32_t DeviceId = 0;
    TUpdateSession::TRunResult Result = TUpdateSession::TRunResult::Stopped;
    std::int64_t DurationMs = 0;
    std::int32_t LinesSent = 0;
    std::int32_t Retransmissions = 0;
    std::uint64_t NoiseDropped = 0;
    std::string Message;
    // What the run did (TRunReport::Account).
    std::vector<std::string> Account;
};

// "completed", "failed" or "stopped".
const char* SummaryResultText(TUpdateSession::TRunResult result);
// The device identifier as 4 hexadecimal digits; "-" while none was reported.
std::string DeviceIdText(bool known, std::int32_t id);
inline std::string SummaryDeviceText(const TSummaryRow& row) { return DeviceIdText(row.DeviceKnown, row.DeviceId); }
// "31.7 s".
std::string SummaryDurationText(std::int64_t ms);
// The heading, then one line per row; the columns are aligned with blanks.
std::vector<std::string> SummaryLines(const std::vector<TSummaryRow>& rows);
