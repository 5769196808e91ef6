// corvane-tool hexsum FILE FIRST LAST: the 16-bit image sum the card verifies.
#include "commands.h"

#include "TextLineReader.h"
#include "hex.h"

#include <charconv>
#include <ostream>

namespace {

bool ParseAddress(const std::string& text, std::uint16_t& address)
{
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 16);
    if (text.empty() || ec != std::errc() || ptr != end || value > 0xFFFF)
        return false;
    address = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

int RunHexSum(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::uint16_t first = 0;
    std::uint16_t last = 0;
    if (args.size() != 3 || !ParseAddress(args[1], first) || !ParseAddress(args[2], last)) {
        err << "usage: corvane-tool hexsum FILE FIRST LAST   (addresses in hexadecimal, 0-FFFF)\n";
        return ExitUsage;
    }
    std::vector<std::string> lines;
    if (!LoadTextLines(args[0], lines)) {
        err << "corvane-tool: cannot read " << args[0] << "\n";
        return ExitFailure;
    }
    out << WordToHex(HexImageChecksum(lines, first, last)) << "\n";
    return ExitSuccess;
}
