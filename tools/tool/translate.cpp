// corvane-tool translate FILE: what the card receives for each line of an effect
// file, so that the operator can check the file before a run.
#include "commands.h"

#include "SvfTranslator.h"
#include "TextLineReader.h"

#include <ostream>

namespace {

constexpr char SkippedLine[] = "-";

}  // namespace

int RunTranslate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1) {
        err << "usage: corvane-tool translate FILE\n";
        return ExitUsage;
    }
    TextLineReader reader;
    if (!reader.Open(args[0])) {
        err << "corvane-tool: cannot read " << args[0] << "\n";
        return ExitFailure;
    }
    SvfTranslator translator;
    std::string line;
    std::string record;
    bool rejected = false;
    for (std::uint64_t number = 1; reader.ReadLine(line); ++number) {
        record.clear();
        translator.TranslateLine(line, record);
        out << number << ": " << (record.empty() ? SkippedLine : record);
        if (translator.IsStreamPending())
            out << " stream=" << translator.GetTdi();
        out << '\n';
        rejected = rejected || record == TranslateError;
    }
    if (reader.Failed()) {
        err << "corvane-tool: cannot read " << args[0] << "\n";
        return ExitFailure;
    }
    return rejected ? ExitFailure : ExitSuccess;
}
