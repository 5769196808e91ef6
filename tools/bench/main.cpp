// corvane-bench: the updater's throughput next to the link's own limit, its
// CPU time, memory and idle cost, printed as one table (run by ./bench.sh).
#include "Benchmarks.h"
#include "ParallelFigures.h"

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

constexpr char Usage[] =
    "usage: corvane-bench --bin DIR --examples DIR [--repeat N] [--statements N] [--no-paced] [--big-file BYTES]\n"
    "                     [--idle-seconds N] [--parallel LIST | --no-parallel | --parallel-only]\n"
    "  --bin DIR         the folder of corvane-updater, corvane-cardsim and corvane-tool\n"
    "  --examples DIR    the bundled example (MB/bank0.hex ... bank7.hex, BOOT_EXT_OPTION.HEX)\n"
    "  --repeat N        runs of each TCP measurement, the median is shown (default 5)\n"
    "  --statements N    statements of the effect file played over TCP (default 20000)\n"
    "  --no-paced        leave out the runs at the real baud rates (three pairs of runs), several cards\n"
    "                    at once included\n"
    "  --big-file BYTES  size of the big effect file whose peak memory is measured (default\n"
    "                    100000000; 0 leaves it out)\n"
    "  --idle-seconds N  how long the idle window's CPU use is sampled (default 10)\n"
    "  --parallel LIST   the numbers of cards updated at once, one run each (default 1,4,16,64; one card\n"
    "                    runs first and last as the reference; about 30 s a run)\n"
    "  --no-parallel     leave out the runs of several cards at once\n"
    "  --parallel-only   only the runs of several cards at once\n";

bool Count(const char* text, std::uint64_t& value)
{
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char* argv[])
{
    BenchOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        std::uint64_t number = 0;
        if (option == "--no-paced") {
            options.Paced = false;
            continue;
        }
        if (option == "--no-parallel") {
            options.ParallelCards.clear();
            continue;
        }
        if (option == "--parallel-only") {
            options.ParallelOnly = true;
            continue;
        }
        if (value == nullptr) {
            std::cerr << Usage;
            return ExitUsage;
        }
        ++i;
        if (option == "--bin")
            options.BinDir = value;
        else if (option == "--examples")
            options.ExamplesDir = value;
        else if (option == "--repeat" && Count(value, number) && number > 0 && number < 100)
            options.Repeat = static_cast<int>(number);
        else if (option == "--statements" && Count(value, number) && number > 0)
            options.PlayStatements = number;
        else if (option == "--big-file" && Count(value, number))
            options.BigFileBytes = number;
        else if (option == "--idle-seconds" && Count(value, number) && number > 0 && number <= 3600)
            options.IdleSeconds = static_cast<int>(number);
        else if (option == "--parallel" && ParseCardCounts(value, options.ParallelCards))
            continue;
        else {
            std::cerr << "corvane-bench: bad option " << option << ' ' << value << '\n' << Usage;
            return ExitUsage;
        }
    }
    if (options.BinDir.empty() || options.ExamplesDir.empty()) {
        std::cerr << Usage;
        return ExitUsage;
    }
    std::string error;
    if (!RunBenchmarks(options, std::cout, error)) {
        std::cout.flush();
        std::cerr << "corvane-bench: " << error << '\n';
        return ExitFailed;
    }
    return 0;
}
