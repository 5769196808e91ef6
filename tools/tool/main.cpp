// corvane-tool: operator checks on update files, away from any card.
#include "commands.h"

#include <functional>
#include <iostream>
#include <string_view>
#include <vector>

namespace {

using Command = std::function<int(const std::vector<std::string>&, std::ostream&, std::ostream&)>;

struct ToolCommand {
    const char* Name;
    Command Run;
    const char* Arguments;
    // What it does, for the list of commands and for "help COMMAND".
    const char* Summary;
    const char* ExitStatus;
};

const std::vector<ToolCommand>& Commands()
{
    static const std::vector<ToolCommand> commands = {
        {"bundle", RunBundle, "DIR OUT.zip [--sign SECRET_KEY_FILE]",
         "the update in DIR as one file with its manifest, signed with a\n"
         "minisign secret key, once plan finds no problem in it",
         "0 the bundle was written; 1 the folder has a problem, or the bundle could not be written"},
        {"check", RunCheck, "STATE.json APPDIR", "does the simulated card hold what the update in APPDIR writes?",
         "0 every area matches; 1 an area does not match, or a file cannot be read"},
        {"convert-svf", RunConvertSvf, "[--frequency HZ] IN OUT", "a vendor SVF file as an effect file the card takes",
         "0 the effect file was written; 1 a line cannot be converted (nothing is written), or a file\n"
         "cannot be read or written"},
        {"hexsum", RunHexSum, "FILE FIRST LAST", "16-bit sum of the HEX image bytes FIRST..LAST (hex addresses)",
         "0 the sum was printed; 1 the file cannot be read"},
        {"plan", RunPlan, "[--read-id] [--json] APPDIR [SCRIPT]",
         "the problems that would stop a run of the update, and its wire time",
         "0 no problem; 1 the update has a problem"},
        {"translate", RunTranslate, "FILE", "the card record of each effect-file line",
         "0 no line is in error; 1 a line is in error, or the file cannot be read"},
        {"verify", RunVerify, "BUNDLE [--trusted-key PUBLIC_KEY_FILE]...",
         "checks a bundle as the updater does: its files, name, signer and verdict",
         "0 the bundle is valid; 1 the bundle is refused"},
    };
    return commands;
}

const ToolCommand* Find(std::string_view name)
{
    for (const ToolCommand& command : Commands())
        if (name == command.Name)
            return &command;
    return nullptr;
}

// The summary's lines, each indented as the list of commands shows them.
std::string Indented(const char* text, const char* indent)
{
    std::string lines = indent;
    for (const char* c = text; *c != '\0'; ++c) {
        lines += *c;
        if (*c == '\n')
            lines += indent;
    }
    return lines;
}

void PrintUsage(std::ostream& out)
{
    out << "usage: corvane-tool COMMAND [ARGS]\n"
           "       corvane-tool help COMMAND\n"
           "       corvane-tool --help | --version\n"
           "commands:\n";
    for (const ToolCommand& command : Commands())
        out << "  " << command.Name << ' ' << command.Arguments << '\n' << Indented(command.Summary, "      ") << '\n';
    out << "Every command exits 2 on wrong usage; \"corvane-tool help COMMAND\" gives its other exit statuses.\n";
}

void PrintCommandHelp(const ToolCommand& command, std::ostream& out)
{
    out << "usage: corvane-tool " << command.Name << ' ' << command.Arguments << "\n\n"
        << command.Summary << "\n\nexit status:\n"
        << Indented(command.ExitStatus, "  ") << "\n  2 wrong usage\n";
}

bool AsksForHelp(std::string_view argument) { return argument == "--help" || argument == "-h"; }

}  // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintUsage(std::cerr);
        return ExitUsage;
    }
    if (args[0] == "--version") {
        std::cout << "corvane-tool " << CORVANE_PACKAGE_VERSION << '\n';
        return ExitSuccess;
    }
    if (AsksForHelp(args[0]) || (args[0] == "help" && args.size() == 1)) {
        PrintUsage(std::cout);
        return ExitSuccess;
    }
    if (args[0] == "help" || (args.size() == 2 && AsksForHelp(args[1]))) {
        const ToolCommand* command = Find(args[0] == "help" ? args[1] : args[0]);
        if (command == nullptr || args.size() > 2) {
            std::cerr << "corvane-tool: no help for " << args.back() << "\n";
            PrintUsage(std::cerr);
            return ExitUsage;
        }
        PrintCommandHelp(*command, std::cout);
        return ExitSuccess;
    }
    const ToolCommand* command = Find(args[0]);
    if (command == nullptr) {
        std::cerr << "corvane-tool: unknown command " << args[0] << "\n";
        PrintUsage(std::cerr);
        return ExitUsage;
    }
    return command->Run(std::vector<std::string>(args.begin() + 1, args.end()), std::cout, std::cerr);
}
