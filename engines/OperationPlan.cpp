#include "OperationPlan.h"

namespace {

constexpr double BitsPerByte = 10.0;  // start bit, 8 data bits, stop bit

}  // namespace

std::string ProblemText(const TPlanProblem& problem)
{
    const std::string where = problem.Line > 0 ? problem.File + ':' + std::to_string(problem.Line) : problem.File;
    return where + ": " + problem.Message;
}

void TOperationPlan::Exchange(std::size_t sent, std::size_t answer)
{
    ++Commands;
    BytesToCard += sent;
    BytesFromCard += answer;
}

double TOperationPlan::WireSeconds() const
{
    if (Baud == 0)
        return 0.0;
    return static_cast<double>(BytesToCard + BytesFromCard) * BitsPerByte / Baud;
}
