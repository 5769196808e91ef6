#include "UpdatePlan.h"

#include "UpdatePlanner.h"

namespace {

constexpr double MillisecondsPerSecond = 1000.0;

}  // namespace

std::uint64_t TUpdatePlan::BytesToCard() const
{
    std::uint64_t bytes = 0;
    for (const TPlanStep& step : Steps)
        bytes += step.BytesToCard;
    return bytes;
}

std::uint64_t TUpdatePlan::BytesFromCard() const
{
    std::uint64_t bytes = 0;
    for (const TPlanStep& step : Steps)
        bytes += step.BytesFromCard;
    return bytes;
}

double TUpdatePlan::WireSeconds() const
{
    double seconds = 0.0;
    for (const TPlanStep& step : Steps)
        seconds += step.WireSeconds();
    return seconds;
}

double TUpdatePlan::PauseSeconds() const
{
    double seconds = 0.0;
    for (const TPlanStep& step : Steps)
        seconds += step.PauseMs / MillisecondsPerSecond;
    return seconds;
}

TUpdatePlan PlanUpdate(const std::string& appDir, const std::string& scriptPath, const TPlanSettings& settings)
{
    TUpdatePlan plan;
    TUpdatePlanner(appDir, scriptPath, settings, plan).Walk();
    return plan;
}
