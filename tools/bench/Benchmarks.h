// The measurements behind ./bench.sh: the updater in batch mode against the
// simulated card, and the same exchanges sent by the raw client to the same
// card, side by side in one run so that the machine's load weighs on both.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct BenchOptions {
    std::string BinDir;       // corvane-updater, corvane-cardsim and corvane-tool
    std::string ExamplesDir;  // the bundled example: its bank images and boot image
    int Repeat = 5;           // runs of each measurement over TCP; the table shows medians
    std::uint64_t PlayStatements = 20000;
    bool Paced = true;        // the pseudo-terminal runs at the real baud rates (three pairs, a few minutes)
    std::uint64_t BigFileBytes = 100'000'000;  // 0 leaves the big effect file out
    int IdleSeconds = 10;     // how long the idle window's CPU use is sampled
    // Cards updated at once over paced pseudo-terminals, one run per count
    // (about 30 s each); empty leaves these runs out.
    std::vector<int> ParallelCards = {1, 4, 16, 64};
    bool ParallelOnly = false;  // only the runs of several cards at once
};

// Runs every measurement and prints the table; false, with the reason, when a
// run failed (a run that does not complete gives no figure worth printing).
bool RunBenchmarks(const BenchOptions& options, std::ostream& out, std::string& error);
