#include "CommandLine.h"

#include "constante.h"
#include "textutil.h"

namespace {

constexpr char OptionPrefix[] = "--";
constexpr char OptionAppDir[] = "--app-dir";
constexpr char OptionBatch[] = "--batch";
constexpr char OptionReadId[] = "--read-id";
constexpr char OptionManual[] = "--manual";
constexpr char OptionTimeout[] = "--timeout";
constexpr char OptionPort[] = "--port";
constexpr char OptionNoCheck[] = "--no-check";
constexpr char OptionReportDir[] = "--report-dir";
constexpr char OptionHelp[] = "--help";
constexpr char OptionVersion[] = "--version";
constexpr char OptionTrustedKey[] = "--trusted-key";
constexpr char OptionListPorts[] = "--list-ports";
constexpr char OptionStart[] = "--start";
constexpr char OptionJson[] = "--json";
constexpr char OptionFind[] = "--find";
constexpr char OptionFindPort[] = "--find-port";

bool ParseManual(const std::string& list, TManualSelection& selection)
{
    selection = {};
    if (list.empty())
        return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item == constante::ManualMotherboard)
            selection.Motherboard = true;
        else if (item == constante::ManualMcu)
            selection.Mcu = true;
        else if (item == constante::ManualProm1)
            selection.Prom1 = true;
        else
            return false;
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

}  // namespace

bool ParseUpdaterCommandLine(const std::vector<std::string>& arguments, TUpdaterCommandLine& line, std::string& error)
{
    line = {};
    bool scriptSeen = false;
    bool timeoutSeen = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const auto value = [&](std::string& out) {
            if (index + 1 >= arguments.size()) {
                error = FormatText(constante::UsageMissingValue, argument);
                return false;
            }
            out = arguments[++index];
            return true;
        };
        if (!StartsWith(argument, OptionPrefix)) {
            if (scriptSeen) {
                error = FormatText(constante::UsageTwoScripts, argument);
                return false;
            }
            scriptSeen = true;
            line.Script = argument;
        } else if (argument == OptionAppDir) {
            if (!value(line.AppDir))
                return false;
        } else if (argument == OptionBatch) {
            line.Batch = true;
        } else if (argument == OptionHelp) {
            line.Help = true;
        } else if (argument == OptionVersion) {
            line.Version = true;
        } else if (argument == OptionTrustedKey) {
            std::string key;
            if (!value(key))
                return false;
            line.TrustedKeys.push_back(key);
        } else if (argument == OptionListPorts) {
            line.ListPorts = true;
        } else if (argument == OptionReadId) {
            line.ReadId = true;
        } else if (argument == OptionManual) {
            std::string list;
            if (!value(list))
                return false;
            TManualSelection selection;
            if (!ParseManual(list, selection)) {
                error = FormatText(constante::UsageBadManual, list);
                return false;
            }
            line.Manual = selection;
        } else if (argument == OptionTimeout) {
            std::string seconds;
            if (!value(seconds))
                return false;
            std::int32_t number = 0;
            if (!StrToInt32(seconds, number) || number < 0) {
                error = FormatText(constante::UsageBadTimeout, seconds);
                return false;
            }
            line.TimeoutSeconds = number;
            timeoutSeen = true;
        } else if (argument == OptionNoCheck) {
            line.NoCheck = true;
        } else if (argument == OptionPort) {
            std::string port;
            if (!value(port))
                return false;
            line.Ports.push_back(port);
        } else if (argument == OptionReportDir) {
            if (!value(line.ReportDir))
                return false;
        } else if (argument == OptionStart) {
            line.Start = true;
        } else if (argument == OptionJson) {
            line.Json = true;
        } else if (argument == OptionFind) {
            if (!value(line.Find))
                return false;
        } else if (argument == OptionFindPort) {
            if (!value(line.FindPort))
                return false;
        } else {
            error = FormatText(constante::UsageUnknownOption, argument);
            return false;
        }
    }
    if (!line.Batch) {
        for (const auto& [used, option] : {std::pair{line.ReadId, OptionReadId}, std::pair{line.Manual.has_value(), OptionManual},
                                           std::pair{timeoutSeen, OptionTimeout},
                                           std::pair{line.NoCheck, OptionNoCheck},
                                           std::pair{!line.ReportDir.empty(), OptionReportDir},
                                           std::pair{line.Json, OptionJson}})
            if (used) {
                error = FormatText(constante::UsageBatchOnly, option);
                return false;
            }
    } else if (line.Start) {
        error = FormatText(constante::UsageWindowOnly, OptionStart);
        return false;
    }
    if (line.Start && line.Ports.empty()) {
        error = constante::UsageStartNeedsPort;
        return false;
    }
    if (!line.FindPort.empty() && line.Find.empty()) {
        error = constante::UsageFindPortAlone;
        return false;
    }
    return true;
}
