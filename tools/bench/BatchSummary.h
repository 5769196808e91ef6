// The summary table batch mode prints last when it updates several cards: a
// heading line of column names, then one row per card. The columns are read at
// the heading's positions, so that a duration or a message with blanks stays whole.
#pragma once

#include <string>
#include <vector>

struct BatchSummaryRow {
    std::string Port;
    std::string Device;  // 4 hex digits, or "-" when the card never told it
    std::string Result;  // completed, failed or stopped
    std::string Duration;
    std::string LinesSent;
    std::string Retransmissions;
    std::string NoiseDropped;
    std::string Message;
};

// The rows after the last heading in lines; false when no heading is there.
bool ParseBatchSummary(const std::vector<std::string>& lines, std::vector<BatchSummaryRow>& rows);
