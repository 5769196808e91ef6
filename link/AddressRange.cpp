#include "AddressRange.h"

namespace AddressRange {

namespace {

constexpr int AddressBits = 32;
constexpr int PartCount = 4;
constexpr std::uint32_t MaxPart = 255;
// Networks this small have no network or broadcast address of their own.
constexpr int PointToPointPrefix = 31;

bool ParseNumber(std::string_view text, std::uint32_t max, std::uint32_t& value)
{
    if (text.empty() || text.size() > 3)
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value <= max;
}

bool ParseAddress(std::string_view text, std::uint32_t& address)
{
    address = 0;
    for (int part = 0; part < PartCount; ++part) {
        const bool lastPart = part + 1 == PartCount;
        const std::size_t end = lastPart ? text.size() : text.find('.');
        std::uint32_t value = 0;
        if (end == std::string_view::npos || !ParseNumber(text.substr(0, end), MaxPart, value))
            return false;
        address = address << 8 | value;
        if (!lastPart)
            text.remove_prefix(end + 1);
    }
    return true;
}

}  // namespace

bool Parse(std::string_view text, std::vector<std::uint32_t>& addresses)
{
    addresses.clear();
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    if (const std::size_t slash = text.find('/'); slash != std::string_view::npos) {
        std::uint32_t prefix = 0;
        if (!ParseAddress(text.substr(0, slash), first) || !ParseNumber(text.substr(slash + 1), AddressBits, prefix) ||
            prefix < ShortestPrefix)
            return false;
        const std::uint32_t hostMask = prefix == AddressBits ? 0 : (std::uint32_t{1} << (AddressBits - prefix)) - 1;
        first &= ~hostMask;
        last = first | hostMask;
        if (prefix < PointToPointPrefix) {
            ++first;
            --last;
        }
    } else if (const std::size_t dash = text.find('-'); dash != std::string_view::npos) {
        std::uint32_t end = 0;
        if (!ParseAddress(text.substr(0, dash), first) || !ParseNumber(text.substr(dash + 1), MaxPart, end) ||
            end < (first & MaxPart))
            return false;
        last = (first & ~MaxPart) | end;
    } else {
        return false;
    }
    if (last - first + 1 > MaxAddresses)
        return false;
    for (std::uint32_t address = first;; ++address) {
        addresses.push_back(address);
        if (address == last)
            break;
    }
    return true;
}

std::string Text(std::uint32_t address)
{
    return std::to_string(address >> 24) + '.' + std::to_string(address >> 16 & MaxPart) + '.' +
           std::to_string(address >> 8 & MaxPart) + '.' + std::to_string(address & MaxPart);
}

}  // namespace AddressRange
