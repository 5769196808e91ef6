#include "textutil.h"

#include <limits>

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool AsciiIEquals(char a, char b) { return (a | 0x20) == (b | 0x20); }

struct ParsedInteger {
    bool Negative = false;
    bool Hexadecimal = false;
    std::uint64_t Magnitude = 0;
};

bool ParseInteger(std::string_view text, ParsedInteger& out)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        out.Negative = text[i++] == '-';
    if (i < text.size() && (text[i] == '$' || AsciiIEquals(text[i], 'x'))) {
        out.Hexadecimal = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && AsciiIEquals(text[i + 1], 'x')) {
        out.Hexadecimal = true;
        i += 2;
    }
    if (i == text.size())
        return false;

    const std::uint64_t base = out.Hexadecimal ? 16 : 10;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (out.Hexadecimal && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else if (out.Hexadecimal && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else
            return false;
        if (out.Magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / base)
            return false;
        out.Magnitude = out.Magnitude * base + digit;
    }
    return true;
}

}  // namespace

std::string TrimLeft(std::string_view text)
{
    std::size_t begin = 0;
    while (begin < text.size() && IsBlankOrControl(text[begin]))
        ++begin;
    return std::string(text.substr(begin));
}

std::string TrimRight(std::string_view text)
{
    std::size_t end = text.size();
    while (end > 0 && IsBlankOrControl(text[end - 1]))
        --end;
    return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args)
{
    constexpr std::string_view Placeholder = "%s";
    std::string result;
    const std::string_view* arg = args.begin();
    for (;;) {
        const std::size_t at = pattern.find(Placeholder);
        if (at == std::string_view::npos || arg == args.end()) {
            result += pattern;
            return result;
        }
        result += pattern.substr(0, at);
        result += *arg++;
        pattern.remove_prefix(at + Placeholder.size());
    }
}

bool StrToInt64(std::string_view text, std::int64_t& value)
{
    ParsedInteger parsed;
    if (!ParseInteger(text, parsed))
        return false;
    constexpr std::uint64_t signedLimit = std::uint64_t{1} << 63;
    if (!parsed.Hexadecimal && parsed.Magnitude > signedLimit - (parsed.Negative ? 0 : 1))
        return false;
    const std::uint64_t bits = parsed.Negative ? 0 - parsed.Magnitude : parsed.Magnitude;
    value = static_cast<std::int64_t>(bits);
    return true;
}

bool StrToInt32(std::string_view text, std::int32_t& value)
{
    ParsedInteger parsed;
    if (!ParseInteger(text, parsed))
        return false;
    constexpr std::uint64_t signedLimit = std::uint64_t{1} << 31;
    const std::uint64_t limit = parsed.Hexadecimal ? 0xFFFFFFFFu : signedLimit - (parsed.Negative ? 0 : 1);
    if (parsed.Magnitude > limit)
        return false;
    const std::uint32_t bits = static_cast<std::uint32_t>(parsed.Negative ? 0 - parsed.Magnitude : parsed.Magnitude);
    value = static_cast<std::int32_t>(bits);
    return true;
}

std::string ControlsEscaped(std::string_view text)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n') || byte == 0x7F) {
            escaped += "\\x";
            escaped += Digits[byte >> 4];
            escaped += Digits[byte & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}
