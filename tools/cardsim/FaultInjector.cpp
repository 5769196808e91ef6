#include "FaultInjector.h"

#include <iterator>

namespace {
constexpr char HexDigits[] = "0123456789ABCDEF";
// NUL, ESC, DEL, 0xFF and the upper half but 0xFF: what a line in trouble makes.
constexpr unsigned char NoiseLow[] = {0x00, 0x1B, 0x7F, 0xFF};
constexpr unsigned char NoiseHighFirst = 0x80;
constexpr unsigned char NoiseHighLast = 0xFE;
}

FaultInjector::FaultInjector(const FaultOptions& options) : Options(options), Random(options.Seed) {}

bool FaultInjector::Chance(double rate)
{
    if (rate <= 0.0)
        return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(Random) < rate;
}

std::size_t FaultInjector::Pick(std::size_t size)
{
    return std::uniform_int_distribution<std::size_t>(0, size - 1)(Random);
}

char FaultInjector::OtherHexDigit(char digit)
{
    char other = digit;
    while (other == digit)
        other = HexDigits[Pick(16)];
    return other;
}

bool FaultInjector::DamageIncoming(std::string& message, bool canLose)
{
    // The record mark stays: a damaged record must still look like one, so the
    // card's record check (not chance) is what catches it.
    if (message.size() < 2)
        return false;
    if (Chance(Options.CorruptRate)) {
        const std::size_t at = 1 + Pick(message.size() - 1);
        message[at] = OtherHexDigit(message[at]);
        return true;
    }
    if (canLose && Chance(Options.DropRate)) {
        message.erase(1 + Pick(message.size() - 1), 1);
        return true;
    }
    return false;
}

bool FaultInjector::DamageCapture(std::string& hexText)
{
    if (hexText.empty() || !Chance(Options.CorruptCaptureRate))
        return false;
    const std::size_t at = Pick(hexText.size());
    hexText[at] = OtherHexDigit(hexText[at]);
    return true;
}

bool FaultInjector::AddNoise(std::string& reply)
{
    if (reply.empty() || !Chance(Options.NoiseRate))
        return false;
    reply.insert(reply.begin(), NoiseByte());
    return true;
}

char FaultInjector::NoiseByte()
{
    constexpr std::size_t choices = std::size(NoiseLow) + (NoiseHighLast - NoiseHighFirst + 1);
    const std::size_t pick = Pick(choices);
    const unsigned char noise =
        pick < std::size(NoiseLow) ? NoiseLow[pick] : static_cast<unsigned char>(NoiseHighFirst + (pick - std::size(NoiseLow)));
    return static_cast<char>(noise);
}

bool FaultInjector::SilentAfter(std::uint64_t commands) const
{
    return Options.SilentAfter != 0 && commands >= Options.SilentAfter;
}

bool FaultInjector::CloseAfter(std::uint64_t commands) const
{
    return Options.CloseAfter != 0 && commands == Options.CloseAfter;
}
