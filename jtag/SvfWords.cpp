#include "SvfWords.h"

#include "hex.h"

namespace svf {

std::string UpperCase(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

std::size_t SignificantBits(std::string_view digits)
{
    constexpr std::size_t BitsPerDigit = 4;
    for (std::size_t at = 0; at < digits.size(); ++at) {
        unsigned value = HexValue(digits[at]);
        if (value == 0)
            continue;
        std::size_t bits = 0;
        for (; value != 0; value >>= 1)
            ++bits;
        return bits + BitsPerDigit * (digits.size() - at - 1);
    }
    return 0;
}

}  // namespace svf
