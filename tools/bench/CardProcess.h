// corvane-cardsim as a child process for one measured run, and what it
// reports in its state file when it is stopped.
#pragma once

#include "MeasuredProcess.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct CardReport {
    std::uint64_t Commands = 0;
    // Bytes each way by the baud rate they travelled at (0: a network link).
    struct Bytes {
        std::uint64_t FromPc = 0;
        std::uint64_t ToPc = 0;
    };
    std::map<std::uint32_t, Bytes> Traffic;
    // Seconds the bytes take on the wire, both ways, 10 bits per byte; network traffic counts nothing.
    double WireSeconds() const;
};

class CardProcess {
public:
    // options: the link ("--tcp", "0" or "--pty" ...) and any other card options.
    bool Start(const std::string& program, const std::vector<std::string>& options, const std::string& stateFile,
               std::string& error);
    // The pseudo-terminal or the TCP port, as the card printed it.
    const std::string& Address() const { return Where; }
    // SIGTERM, then the state file.
    bool Stop(CardReport& report, std::string& error);

private:
    MeasuredProcess Process;
    std::string StateFile;
    std::string Where;
};
