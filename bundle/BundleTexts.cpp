#include "BundleTexts.h"

std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> args)
{
    constexpr std::string_view Slot = "%s";
    std::string text;
    const std::string_view* next = args.begin();
    for (std::size_t at = 0;;) {
        const std::size_t slot = pattern.find(Slot, at);
        if (slot == std::string_view::npos || next == args.end()) {
            text += pattern.substr(at);
            return text;
        }
        text += pattern.substr(at, slot - at);
        text += *next++;
        at = slot + Slot.size();
    }
}
