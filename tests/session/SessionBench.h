// A session over a program folder of its own, with everything it tells
// recorded: status lines, boxes, progress and the end of each run.
#pragma once

#include "CardBench.h"
#include "EventLoopWait.h"
#include "TempDir.h"
#include "UpdateSession.h"

#include <memory>
#include <string>
#include <vector>

class SessionBench {
public:
    // Creates the session over the folder; write the files a run reads first.
    // The JTAG engine's pause before a play is left out unless keepPlayPause.
    void Open(const std::string& scriptArgument = {}, bool keepPlayPause = false);
    TUpdateSession& Session() { return *Sess; }
    // START (or Read Id) with an immediate first tick, then the event loop
    // until the run has ended; false when it did not end in time.
    bool Run(bool readId = false, int timeoutMs = 20000);
    // Starts a run without waiting for its end.
    void Begin(bool readId = false);
    // The status lines of the last run, from the one after START on.
    std::vector<std::string> RunLines() const;
    bool HasLine(const std::string& line) const;

    TempDir Dir;
    std::unique_ptr<TUpdateSession> Sess;
    TLinkSettings Link;
    // Off for the runs that are to meet a broken update part-way.
    bool CheckUpdate = true;
    std::vector<std::string> StatusLines;
    std::vector<std::string> Boxes;
    std::vector<TUpdateSession::TRunResult> RunEnds;
    std::vector<std::string> EndMessages;

private:
    std::size_t RunStart = 0;
};

// A session and a simulated card that it reaches.
struct RunBench {
    explicit RunBench(Transport transport = Transport::Tcp, CardOptions options = {});
    void Open(const std::string& scriptArgument = {});
    std::string Path(const std::string& name) const { return Bench.Dir.Path() + name; }
    const SimulatedCard& Sim() const { return Card.Card; }

    CardBench Card;
    SessionBench Bench;
};
