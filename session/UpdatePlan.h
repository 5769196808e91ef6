// What a run of an update will do, found before it touches a card: every problem
// that would stop the run part-way (a missing file, a line no engine takes, a
// damaged HEX record, an effect-file line the card cannot take ...), and each
// operation that talks to the card, with the bytes it exchanges and the time
// they take on a serial line.
//
// Scripts and files are looked up as a run looks them up, and every line is
// taken to run: nothing is skipped by Auto or Manual mode or by a failed ping.
// The card is taken to answer as it does when all goes well: the first device
// type accepted, no retransmission, one device on the JTAG chain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TPlanProblem {
    std::string File;
    std::int32_t Line = 0;  // 1-based; 0 when the problem is about the file as a whole
    std::string Message;
};

// "FILE:LINE: message", or "FILE: message" without a line.
std::string ProblemText(const TPlanProblem& problem);

// One operation that talks to the card.
struct TPlanStep {
    std::string File;
    std::int32_t Line = 0;  // 0: an operation the run adds itself (the probe, SYN, the closing lines)
    std::string Operation;  // the line as the engines receive it

    std::uint32_t Commands = 0;         // commands and the texts that follow them
    std::uint64_t HexLines = 0;         // transmissions of HEX file lines (the first line goes twice)
    std::uint32_t ChecksumRecords = 0;  // the record that has the card verify an upload
    std::uint64_t Records = 0;          // effect-file records, the end record included
    std::uint64_t Streams = 0;          // scan data sent after the record that announces it

    std::uint64_t BytesToCard = 0;
    std::uint64_t BytesFromCard = 0;
    std::uint32_t Baud = 0;      // of the serial line in this phase of a run
    std::uint32_t PauseMs = 0;   // waits that are not on the wire ("wait", the opening of a play)

    // Both directions, 10 bits a byte (start bit, 8 data bits, stop bit).
    double WireSeconds() const;
};

struct TUpdatePlan {
    std::string ScriptPath;
    std::vector<TPlanProblem> Problems;
    std::vector<TPlanStep> Steps;

    bool IsClean() const { return Problems.empty(); }
    std::uint64_t BytesToCard() const;
    std::uint64_t BytesFromCard() const;
    double WireSeconds() const;
    double PauseSeconds() const;
};

// appDir: the program's folder (component scripts and the boot image are found
// below it); scriptPath: the main script, "script.ini" of appDir when empty.
TUpdatePlan PlanUpdate(const std::string& appDir, const std::string& scriptPath = {});
