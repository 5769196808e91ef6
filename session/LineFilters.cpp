#include "LineFilters.h"

#include "constante.h"
#include "hex.h"
#include "textutil.h"

#include <algorithm>

void RemarkLines(std::vector<std::string>& lines, std::initializer_list<std::string_view> prefixes)
{
    for (std::string& line : lines) {
        const std::string trimmed = Trim(line);
        for (std::string_view prefix : prefixes)
            if (StartsWith(trimmed, prefix)) {
                line = constante::Remark;
                break;
            }
    }
}

void RemarkComponentLines(std::vector<std::string>& lines, unsigned component)
{
    const char digit = HexDigit(component);
    const std::string program = constante::PrefixProgram + std::string(1, digit);
    const std::string version = constante::PrefixVersion + std::string(1, digit);
    RemarkLines(lines, {program, version});
}

int CountNonEmptyLines(const std::vector<std::string>& lines)
{
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return !line.empty(); }));
}
