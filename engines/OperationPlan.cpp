#include "OperationPlan.h"

#include "textutil.h"

namespace {

constexpr double BitsPerByte = 10.0;  // start bit, 8 data bits, stop bit

// As the run reads it: upper-case only, anything else counts as 0.
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

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

std::string DigitProblem(std::string_view line)
{
    if (StartsWith(line, constante::PrefixMotherboard))
        return {};
    for (const std::string_view letter : constante::DigitCommandLetters) {
        if (!StartsWith(line, letter))
            continue;
        const std::string rest = Trim(line.substr(letter.size()));
        if (rest.empty() || IsHexDigit(rest.front()))
            return {};
        return FormatText(constante::PlanNotHexDigit, {letter, rest.substr(0, 1)});
    }
    return {};
}

std::string SyntaxProblem(std::int32_t lineNumber, std::string_view line)
{
    const std::string error = constante::SyntaxErrorLine + std::to_string(lineNumber);
    const std::string text = line.size() <= constante::PlanQuoteMaxChars
                                 ? std::string(line)
                                 : std::string(line.substr(0, constante::PlanQuoteMaxChars)) + constante::PlanQuoteCut;
    const std::string digit = DigitProblem(line);
    return digit.empty() ? FormatText(constante::PlanSyntaxErrorQuote, {error, text})
                         : FormatText(constante::PlanSyntaxErrorWhy, {error, text, digit});
}
