#include "ParallelFigures.h"

#include <algorithm>
#include <sstream>

namespace {

constexpr int MostCards = 64;

}  // namespace

bool ParseCardCounts(const std::string& text, std::vector<int>& counts)
{
    counts.clear();
    std::istringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        if (item.empty() || item.size() > 2 || item.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const int count = std::stoi(item);
        if (count < 1 || count > MostCards)
            return false;
        counts.push_back(count);
    }
    return !counts.empty() && text.back() != ',';
}

std::vector<int> ParallelRunOrder(const std::vector<int>& counts)
{
    std::vector<int> order = {1};
    for (const int count : counts)
        if (count != 1)
            order.push_back(count);
    order.push_back(1);
    return order;
}

double OneCardWall(const std::vector<ParallelRun>& runs)
{
    double sum = 0.0;
    int count = 0;
    for (const ParallelRun& run : runs)
        if (run.Cards == 1) {
            sum += run.Wall;
            ++count;
        }
    return count > 0 ? sum / count : 0.0;
}

double ParallelRatio(const std::vector<ParallelRun>& runs, int cards)
{
    const double one = OneCardWall(runs);
    const auto run = std::find_if(runs.begin(), runs.end(), [cards](const ParallelRun& r) { return r.Cards == cards; });
    if (one <= 0.0 || run == runs.end())
        return 0.0;
    return run->Wall / one;
}
