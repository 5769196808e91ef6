// corvane-tool convert-svf [--frequency HZ] IN OUT: a vendor SVF file written
// as an effect file the card takes. The output appears only when every
// statement converted; an error names the input line and why.
#include "commands.h"

#include "SvfConverter.h"
#include "TextLineReader.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <ostream>

namespace {

constexpr char Usage[] = "usage: corvane-tool convert-svf [--frequency HZ] IN OUT\n";
constexpr char FrequencyOption[] = "--frequency";
// Written beside the output and renamed to it once the conversion is complete.
constexpr char PartialSuffix[] = ".part";

bool ParseFrequency(const std::string& text, double& frequency)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, frequency);
    return !text.empty() && ec == std::errc() && ptr == end && frequency > 0.0;
}

}  // namespace

int RunConvertSvf(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    double frequency = 0.0;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != FrequencyOption) {
            paths.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size() || !ParseFrequency(args[i + 1], frequency)) {
            err << Usage;
            return ExitUsage;
        }
        ++i;
    }
    if (paths.size() != 2 || paths[0].empty() || paths[1].empty() || paths[0][0] == '-' || paths[1][0] == '-') {
        err << Usage;
        return ExitUsage;
    }
    const std::string& input = paths[0];
    const std::string& output = paths[1];

    TextLineReader reader;
    if (!reader.Open(input)) {
        err << "corvane-tool: cannot read " << input << "\n";
        return ExitFailure;
    }
    const std::string partial = output + PartialSuffix;
    std::ofstream file(partial, std::ios::binary | std::ios::trunc);
    if (!file) {
        err << "corvane-tool: cannot write " << output << "\n";
        return ExitFailure;
    }
    SvfConverter converter([&file](const std::string& line) { file << line << '\n'; }, frequency);
    std::string line;
    bool converted = true;
    while (converted && reader.ReadLine(line))
        converted = converter.AddLine(line);
    const bool readFailed = reader.Failed();
    converted = converted && !readFailed && converter.Finish();
    file.close();
    const bool written = converted && file && std::rename(partial.c_str(), output.c_str()) == 0;
    if (!written)
        std::remove(partial.c_str());
    if (readFailed) {
        err << "corvane-tool: cannot read " << input << "\n";
        return ExitFailure;
    }
    if (!converted) {
        err << "corvane-tool: " << input << ':' << converter.ErrorLine() << ": " << converter.Error() << "\n";
        return ExitFailure;
    }
    if (!written) {
        err << "corvane-tool: cannot write " << output << "\n";
        return ExitFailure;
    }
    const std::uint64_t lines = converter.LinesWritten();
    out << lines << (lines == 1 ? " line" : " lines") << " written to " << output << "\n";
    return ExitSuccess;
}
