// The output of batch mode for a station's own software (--json): one JSON
// object per line on stdout, and nothing else there.
//
//   {"event":"start",    "port":P, "time":T}
//   {"event":"status",   "port":P, "time":T, "text":"Erase Bank0"}
//   {"event":"device",   "port":P, "time":T, "device_id":"AAAA"}
//   {"event":"progress", "port":P, "time":T, "operation":42, "component":10, "update":59, "seconds_left":41}
//   {"event":"box",      "port":P, "time":T, "kind":"error", "text":"..."}
//   {"event":"end",      "port":P, "time":T, "result":"failed", "message":"...", "device_id":"AAAA",
//                        "duration_seconds":1.2, "lines_sent":212, "retransmissions":0}
//   {"event":"summary",  "time":T, "exit_code":1, "cards":[{"port":P, "device_id":..., "result":..., ...}]}
//
// P is the card's port as given to --port (the link of "Updater.prm" when
// there is none); T the UTC time with milliseconds. Progress values are whole
// percents, seconds_left null while there is nothing to go on; a card's
// progress comes at most every ProgressIntervalMs, and only when it changed.
// Texts from scripts, paths and the card are decoded as everywhere else
// (DecodedText), so every line is valid JSON whatever bytes they hold.
#pragma once

#include "BatchMode.h"
#include "RunSummary.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QJsonObject;

class TBatchJson {
public:
    static constexpr int ProgressIntervalMs = 250;
    using TWrite = std::function<void(const std::string& line)>;

    // cards: batch mode's, read at each event; write: one line, without its end.
    TBatchJson(const std::vector<std::unique_ptr<TBatchMode::TCard>>& cards, TWrite write);

    // The port a card's objects carry.
    static std::string PortName(const TBatchMode::TCard& card);

    void Started(const TBatchMode::TCard& card);
    void StatusLine(const TBatchMode::TCard& card, const std::string& line);
    void DeviceId(const TBatchMode::TCard& card);
    void Box(const TBatchMode::TCard& card, TBoxKind kind, const std::string& text);
    // The card's end, from what batch mode recorded of it.
    void Ended(const TBatchMode::TCard& card, const TSummaryRow& row);
    void Summary(const std::vector<TSummaryRow>& rows, int exitCode);
    // No more progress.
    void Stop() { ProgressTimer.stop(); }

private:
    struct TShown {
        std::string Values;
        QElapsedTimer Since;
    };

    QJsonObject Event(const char* name, const TBatchMode::TCard* card) const;
    void Write(const QJsonObject& object);
    void Progress();

    const std::vector<std::unique_ptr<TBatchMode::TCard>>& Cards;
    TWrite WriteLine;
    QTimer ProgressTimer;
    std::map<const TBatchMode::TCard*, TShown> Shown;
};
