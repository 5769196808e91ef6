#include "UpdatePlan.h"

#include "UpdatePlanner.h"

namespace {

constexpr double BitsPerByte = 10.0;  // start bit, 8 data bits, stop bit
constexpr double MillisecondsPerSecond = 1000.0;

}  // namespace

std::string ProblemText(const TPlanProblem& problem)
{
    const std::string where = problem.Line > 0 ? problem.File + ':' + std::to_string(problem.Line) : problem.File;
    return where + ": " + problem.Message;
}

double TPlanStep::WireSeconds() const
{
    if (Baud == 0)
        return 0.0;
    return static_cast<double>(BytesToCard + BytesFromCard) * BitsPerByte / Baud;
}

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

TUpdatePlan PlanUpdate(const std::string& appDir, const std::string& scriptPath)
{
    TUpdatePlan plan;
    TUpdatePlanner(appDir, scriptPath, plan).Walk();
    return plan;
}
