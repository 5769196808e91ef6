// Batch mode: update sessions driven from the command line, on a
// QCoreApplication: no window, no widget, no display.
//
// One card is the link of "Updater.prm", or one --port; several --port options
// update several cards at once, one session each, in this one process. Each run
// starts as if START (or Read Id) were pressed once the first idle step has run.
// Every status message goes to stdout as one line, message boxes go to stderr;
// with several cards each line begins with the card's port in brackets, and a
// summary table ends the output. The exit code is 0 when every card completed,
// 1 when any failed or timed out, and 128 + the signal number after SIGINT or
// SIGTERM, which stop every run as STOP does. "Updater.prm" is saved as at close,
// unless the links came from --port. Each run leaves its report in
// --report-dir, or in "reports" in the program's folder. With --json, stdout
// holds JSON objects instead (TBatchJson) and boxes go there too.
#pragma once

#include "Bundle.h"
#include "CommandLine.h"
#include "PortArgument.h"
#include "RunReport.h"
#include "RunSummary.h"
#include "SettingsFile.h"
#include "StopSignals.h"
#include "UpdateSession.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>


// The self-updating progress line of one card: the whole run, the current
// operation and, when it is known (not negative), the time left.
std::string ProgressLineText(int overallPercent, int operationPercent, std::int64_t secondsLeft = -1);

class TBatchJson;

class TBatchMode {
public:
    // One card's run and what the summary tells of it.
    struct TCard {
        // As given to --port; empty for the link of "Updater.prm".
        std::string Port;
        std::unique_ptr<TUpdateSession> Session;
        // Goes before the session it observes.
        std::unique_ptr<TRunReport> Report;
        QElapsedTimer Silence;
        QElapsedTimer Clock;
        std::int64_t DurationMs = 0;
        std::int32_t DeviceId = 0;
        bool DeviceKnown = false;
        bool Ended = false;
        TUpdateSession::TRunResult Result = TUpdateSession::TRunResult::Stopped;
        std::string Message;
    };

    // appDir: the program's folder without a trailing delimiter.
    TBatchMode(std::string appDir, const TUpdaterCommandLine& line, int signalFd);
    ~TBatchMode();
    TBatchMode(const TBatchMode&) = delete;
    TBatchMode& operator=(const TBatchMode&) = delete;

    // The update comes from this bundle: each card's status list says who signed it.
    void SetBundle(const TBundleSummary& bundle) { Bundle = bundle; }

    // Runs the updates in the application's event loop; the exit code (2 when
    // the --port values cannot run, before anything is opened).
    int Run();

private:
    // The links of the run, from --port or "Updater.prm"; false, with the
    // reason, when they cannot run.
    bool ChooseLinks(std::vector<TPortArgument>& ports, std::string& error);
    void AddCard(const TPortArgument& port);
    // The card's text with its port in front when several cards run.
    std::string Tagged(const TCard& card, const std::string& text) const;
    void PrintStatus(const std::string& line);
    void PrintError(const std::string& text);
    void RunEnded(TCard& card, TUpdateSession::TRunResult result, const std::string& message);
    void SignalArrived(int signal);
    void CheckSilence();
    void DrawProgress();
    void ClearProgress();
    TSummaryRow SummaryRow(const TCard& card) const;
    std::vector<TSummaryRow> SummaryRows() const;
    void PrintSummary();
    // Stops every run that is on, saves the settings and leaves the event loop.
    void Finish(int exitCode);
    std::string SettingsPath() const;

    std::string AppDir;
    TUpdaterCommandLine Line;
    std::optional<TBundleSummary> Bundle;
    TSettingsFile Settings;
    TPortChoice Choice;
    std::vector<std::unique_ptr<TCard>> Cards;
    TStopSignalWatch StopSignals;
    QTimer SilenceCheck;
    QTimer ProgressTimer;
    bool ProgressOnTerminal = false;
    std::string ProgressDrawn;
    std::unique_ptr<TBatchJson> Json;
    bool Finished = false;
};
