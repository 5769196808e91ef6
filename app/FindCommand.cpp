#include "FindCommand.h"

#include "AddressRange.h"
#include "constante.h"
#include "textutil.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int UsageExitCode = 2;
constexpr std::int32_t MaxPort = 65535;

}  // namespace

bool ParseFindArguments(const std::string& range, const std::string& port, std::vector<std::uint32_t>& addresses,
                        std::uint16_t& cardPort, std::string& error)
{
    if (!AddressRange::Parse(range, addresses)) {
        error = FormatText(constante::FindBadRange, range);
        return false;
    }
    cardPort = TCardFinder::DefaultCardPort;
    if (port.empty())
        return true;
    std::int32_t number = 0;
    if (port.find_first_not_of("0123456789") != std::string::npos || !StrToInt32(port, number) || number < 1 ||
        number > MaxPort) {
        error = FormatText(constante::FindBadPort, port);
        return false;
    }
    cardPort = static_cast<std::uint16_t>(number);
    return true;
}

std::string FoundCardText(const TCardFinder::TFoundCard& card)
{
    return FormatText(constante::FoundCardFormat, {TCardFinder::PortText(card), std::to_string(card.DeviceType)});
}

int RunFind(const std::string& range, const std::string& port)
{
    std::vector<std::uint32_t> addresses;
    std::uint16_t cardPort = 0;
    std::string error;
    if (!ParseFindArguments(range, port, addresses, cardPort, error)) {
        std::fputs((FormatText(constante::UsageErrorFormat, error) + constante::UpdaterUsage).c_str(), stderr);
        return UsageExitCode;
    }
    TCardFinder finder;
    finder.OnFinished = [] { QCoreApplication::exit(0); };
    if (!finder.Start(addresses, cardPort, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    QCoreApplication::exec();
    if (finder.SendFailures() > 0)
        std::fprintf(stderr, "%s\n", FormatText(constante::FindSendFailed, finder.SendError()).c_str());
    std::vector<TCardFinder::TFoundCard> cards = finder.Found();
    std::sort(cards.begin(), cards.end(), [](const auto& a, const auto& b) { return a.Address < b.Address; });
    for (const TCardFinder::TFoundCard& card : cards)
        std::printf("%s\n", FoundCardText(card).c_str());
    if (cards.empty())
        std::fprintf(stderr, "%s\n", FormatText(constante::FindNoCard, std::to_string(addresses.size())).c_str());
    return cards.empty() ? 1 : 0;
}
