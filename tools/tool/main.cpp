// corvane-tool: operator checks on update files, away from any card.
#include "commands.h"

#include <functional>
#include <iostream>
#include <map>

namespace {

using Command = std::function<int(const std::vector<std::string>&, std::ostream&, std::ostream&)>;

void PrintUsage(std::ostream& err)
{
    err << "usage: corvane-tool COMMAND [ARGS]\n"
           "       corvane-tool --version\n"
           "commands:\n"
           "  bundle DIR OUT.zip [--sign SECRET_KEY_FILE]\n"
           "                           the update in DIR as one file with its manifest, signed with a\n"
           "                           minisign secret key, once plan finds no problem in it\n"
           "  check STATE.json APPDIR  does the simulated card hold what the update in APPDIR writes?\n"
           "  convert-svf [--frequency HZ] IN OUT\n"
           "                           a vendor SVF file as an effect file the card takes\n"
           "  hexsum FILE FIRST LAST   16-bit sum of the HEX image bytes FIRST..LAST (hex addresses)\n"
           "  plan [--read-id] [--json] APPDIR [SCRIPT]\n"
           "                           the problems that would stop a run of the update, and its wire time\n"
           "  translate FILE           the card record of each effect-file line (exit 1 on any Error)\n"
           "  verify BUNDLE [--trusted-key PUBLIC_KEY_FILE]...\n"
           "                           checks a bundle as the updater does: its files, name, signer and verdict\n";
}

}  // namespace

int main(int argc, char* argv[])
{
    const std::map<std::string, Command> commands = {
        {"bundle", RunBundle},
        {"check", RunCheck},
        {"convert-svf", RunConvertSvf},
        {"hexsum", RunHexSum},
        {"plan", RunPlan},
        {"translate", RunTranslate},
        {"verify", RunVerify},
    };
    if (argc < 2) {
        PrintUsage(std::cerr);
        return ExitUsage;
    }
    if (std::string(argv[1]) == "--version") {
        std::cout << "corvane-tool " << CORVANE_PACKAGE_VERSION << '\n';
        return ExitSuccess;
    }
    const auto command = commands.find(argv[1]);
    if (command == commands.end()) {
        std::cerr << "corvane-tool: unknown command " << argv[1] << "\n";
        PrintUsage(std::cerr);
        return ExitUsage;
    }
    return command->second(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
}
