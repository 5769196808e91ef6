// Batch mode: an update session driven from the command line, on a
// QCoreApplication: no window, no widget, no display.
//
// The run starts as if START (or Read Id) were pressed once the settings are
// loaded and the first idle step has run. Every status message goes to stdout
// as one line; message boxes go to stderr instead of waiting for a click. The
// exit code is 0 after a completed run, 1 after a failed or timed-out run, and
// 128 + the signal number after SIGINT or SIGTERM, which stop the run as STOP
// does. The settings are saved as at close in every case. Each run leaves its
// report in --report-dir, or in "reports" in the program's folder.
#pragma once

#include "CommandLine.h"
#include "RunReport.h"
#include "SettingsFile.h"
#include "UpdateSession.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>
#include <string>

// Blocks SIGINT and SIGTERM for the whole process (before any thread starts)
// and returns a signalfd that reads them; -1 on failure.
int BlockStopSignals();

// The self-updating progress line: the whole run and the current operation.
std::string ProgressLineText(int overallPercent, int operationPercent);

class TBatchMode {
public:
    // appDir: the program's folder without a trailing delimiter.
    TBatchMode(std::string appDir, const TUpdaterCommandLine& line, int signalFd);
    ~TBatchMode();
    TBatchMode(const TBatchMode&) = delete;
    TBatchMode& operator=(const TBatchMode&) = delete;

    // Runs the update in the application's event loop; the exit code.
    int Run();

private:
    void PrintStatus(const std::string& line);
    void PrintError(const std::string& text);
    void RunEnded(TUpdateSession::TRunResult result);
    void SignalArrived();
    void CheckSilence();
    void DrawProgress();
    void ClearProgress();
    // Stops the run if one is on, saves the settings and leaves the event loop.
    void Finish(int exitCode);

    std::string SettingsPath() const;

    std::string AppDir;
    TUpdaterCommandLine Line;
    TSettingsFile Settings;
    TPortChoice Choice;
    std::unique_ptr<TUpdateSession> Session;
    std::unique_ptr<TRunReport> Report;
    int SignalFd;
    std::unique_ptr<QSocketNotifier> SignalNotifier;
    QTimer SilenceCheck;
    QElapsedTimer Silence;
    QTimer ProgressTimer;
    bool ProgressOnTerminal = false;
    std::string ProgressDrawn;
    bool Finished = false;
};
