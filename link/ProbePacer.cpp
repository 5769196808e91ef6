#include "ProbePacer.h"

#include <algorithm>

TProbePacer::TProbePacer(std::size_t perSecond) : Rate(std::max<std::size_t>(perSecond, 1)) {}

void TProbePacer::Begin(std::int64_t nowMs)
{
    StartMs = nowMs;
    Total = 0;
    Recent.clear();
}

void TProbePacer::Forget(std::int64_t nowMs)
{
    while (!Recent.empty() && Recent.front() <= nowMs - WindowMs)
        Recent.pop_front();
}

std::size_t TProbePacer::Allowance(std::int64_t nowMs)
{
    Forget(nowMs);
    const std::int64_t elapsed = std::max<std::int64_t>(nowMs - StartMs, 0);
    const auto scheduled = static_cast<std::size_t>(elapsed * static_cast<std::int64_t>(Rate) / WindowMs) + 1;
    const std::size_t bySchedule = scheduled > Total ? scheduled - Total : 0;
    const std::size_t byWindow = Rate > Recent.size() ? Rate - Recent.size() : 0;
    return std::min(bySchedule, byWindow);
}

void TProbePacer::Sent(std::int64_t nowMs, std::size_t count)
{
    Total += count;
    Recent.insert(Recent.end(), count, nowMs);
}
