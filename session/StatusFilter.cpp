#include "StatusFilter.h"

#include "constante.h"

#include <algorithm>
#include <cctype>

namespace {

bool ContainsIgnoringCase(std::string_view text, std::string_view part)
{
    const auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    return std::search(text.begin(), text.end(), part.begin(), part.end(), same) != text.end();
}

}  // namespace

bool IsRoutineStepName(std::string_view message)
{
    for (std::string_view name : constante::RoutineStepNames)
        if (message == name)
            return true;
    return ContainsIgnoringCase(message, constante::InfoPingCard);
}
