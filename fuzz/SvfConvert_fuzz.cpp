// SVF files of any content through the converter: what it writes, the card
// takes, and converting it again changes nothing.
//
// Input: one byte for the frequency of the caller (0: none, else that many
// kHz), then the text of the file.
#include "FuzzSupport.h"

#include "SvfConverter.h"

#include <string>
#include <vector>

namespace {

constexpr double Kilohertz = 1000.0;

struct Conversion {
    std::vector<std::string> Lines;
    bool Done = false;
};

Conversion Convert(const std::vector<std::string>& input, double frequency)
{
    Conversion result;
    SvfConverter converter([&result](const std::string& line) { result.Lines.push_back(line); }, frequency);
    std::size_t read = 0;
    bool going = true;
    for (const std::string& line : input) {
        if (!(going = converter.AddLine(line)))
            break;
        ++read;
    }
    result.Done = going && converter.Finish();
    if (!result.Done) {
        Require(!converter.Error().empty(), "a failed conversion says why");
        Require(converter.ErrorLine() >= 1 && converter.ErrorLine() <= read + 1,
                "a failed conversion names a line it read");
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const double frequency = input.Byte() * Kilohertz;
    const Conversion first = Convert(SplitTextLines(input.All()), frequency);
    SvfTranslator translator;
    for (const std::string& line : first.Lines) {
        Require(!line.empty() && line.find_first_of("\r\n") == std::string::npos, "every line written holds text");
        std::string record;
        translator.TranslateLine(line, record);
        Require(record != TranslateError, "the card takes every line written");
    }
    if (!first.Done)
        return 0;
    const Conversion second = Convert(first.Lines, 0.0);
    Require(second.Done && second.Lines == first.Lines, "converting the output again changes nothing");
    return 0;
}
