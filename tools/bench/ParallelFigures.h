// Several cards updated at once by one updater process: each run's wall time
// set against that of one card alone in the same benchmark.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ParallelRun {
    int Cards = 0;
    double Wall = 0.0;         // the updater's process start to exit
    double Cpu = 0.0;          // the updater's user + system CPU seconds
    double WireSeconds = 0.0;  // the busiest card's bytes on the wire
    std::size_t PeakMemory = 0;
    double CpuPerCard() const { return Cards > 0 ? Cpu / Cards : 0.0; }
};

// The card counts of "1,4,16": each from 1 to 64, in that order; false when the
// text is not such a list.
bool ParseCardCounts(const std::string& text, std::vector<int>& counts);

// The order of the runs: one card first and again last, so that a change of
// the machine's load in between weighs on the reference as on the others.
std::vector<int> ParallelRunOrder(const std::vector<int>& counts);

// The mean wall time of the one-card runs; 0 when there is none.
double OneCardWall(const std::vector<ParallelRun>& runs);

// The wall time of the run with that many cards over that of one card; 0 when
// either is missing.
double ParallelRatio(const std::vector<ParallelRun>& runs, int cards);
