// What a run of an update will do, found before it touches a card: every problem
// that would stop the run part-way (a missing file, a line no engine takes, a
// damaged HEX record, an effect-file line the card cannot take ...), and each
// operation that talks to the card, with the bytes it exchanges and the time
// they take on a serial line.
//
// Scripts and files are looked up as a run looks them up, and every line is
// taken to run: nothing is skipped by Auto or Manual mode or by a failed ping.
// Each operation line is offered to the engines in the run's order; the engine
// that takes it says what it will do.
#pragma once

#include "FileSource.h"
#include "OperationPlan.h"
#include "progjtag.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// One operation that talks to the card or pauses.
struct TPlanStep : TOperationPlan {
    std::string File;
    std::int32_t Line = 0;  // 0: an operation the run adds itself (the probe, SYN, the closing lines)
    std::string Operation;  // the line as the engines receive it
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

// How the engines of the run are set up, where the plan's own engines must match them.
struct TPlanSettings {
    // Where the scripts and the files they name are read.
    const TFileSource* Files = &DiskFiles();
    // The JTAG engine's pause before a play.
    std::chrono::milliseconds PlayOpenPause = TProgJtag::DefaultPlayOpenPause;
};

// appDir: the program's folder (component scripts and the boot image are found
// below it); scriptPath: the main script, "script.ini" of appDir when empty.
TUpdatePlan PlanUpdate(const std::string& appDir, const std::string& scriptPath = {},
                       const TPlanSettings& settings = {});
