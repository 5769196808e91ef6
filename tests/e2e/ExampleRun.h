// The bundled example update run by the real programs, each as a process: the
// simulated card on one link, the updater in batch mode on a copy of examples/,
// and corvane-tool check on what the card holds afterwards.
#pragma once

#include "ChildProcess.h"
#include "RunProcess.h"
#include "TempDir.h"

#include <QJsonObject>

#include <map>
#include <ostream>
#include <string>
#include <vector>

enum class Link { Pty, Udp, Tcp };

const char* LinkName(Link link);
// Names the link in test output.
inline void PrintTo(Link link, std::ostream* out) { *out << LinkName(link); }

class ExampleRun {
public:
    // Copies the example into a fresh program folder and starts the card.
    explicit ExampleRun(Link link, const std::vector<std::string>& cardOptions = {});
    // Every run left a report in the program's "reports" folder that follows the documented schema.
    ~ExampleRun();
    ExampleRun(const ExampleRun&) = delete;
    ExampleRun& operator=(const ExampleRun&) = delete;

    bool CardStarted() const { return Started; }
    // corvane-updater --batch on the program folder, bounded by --timeout.
    ProcessResult Update(const std::vector<std::string>& options = {});
    // The same, started beside the test; a later --timeout in options wins.
    bool StartUpdate(ChildProcess& updater, const std::vector<std::string>& options);
    // Stops the card (SIGTERM) and reads its state file.
    QJsonObject CardState();
    // corvane-tool check on the state file; CardState() first.
    ProcessResult Check() const;

    const std::string& AppDir() const { return App; }
    // The run reports in the program's "reports" folder, in the order of their names.
    std::vector<QJsonObject> Reports() const;

private:
    TempDir Dir;
    std::string App;
    std::string StatePath;
    ChildProcess Card;
    bool Started = false;
    int Runs = 0;
};


// The verdict ("match", or "MISMATCH" and its detail) of each line of a check
// report, by its label ("boot", "bank 0", "PROM 1", "versions" ...).
std::map<std::string, std::string> CheckVerdicts(const std::string& report);
