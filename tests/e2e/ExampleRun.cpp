#include "ExampleRun.h"
#include "ReportSchema.h"
#include "TempDir.h"

#include <QByteArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace {

constexpr char UpdaterTimeoutSeconds[] = "20";
constexpr auto UpdaterDeadline = std::chrono::seconds(90);
constexpr std::size_t CheckLabelWidth = 13;

std::string SettingsFor(Link link, const std::string& cardAddress)
{
    switch (link) {
    case Link::Pty: return "CON_TYPE=RS232\nCOM_PORT=COM1\nCOM1=" + cardAddress + "\n";
    case Link::Udp:
        // Local port 0: the system chooses the updater's port, and the card answers it.
        return "CON_TYPE=UDP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + cardAddress + "\nLOCAL_PORT=0\n";
    case Link::Tcp: return "CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + cardAddress + "\n";
    }
    return {};
}

}  // namespace

const char* LinkName(Link link)
{
    switch (link) {
    case Link::Pty: return "Pty";
    case Link::Udp: return "Udp";
    case Link::Tcp: return "Tcp";
    }
    return "";
}

ExampleRun::ExampleRun(Link link, const std::vector<std::string>& cardOptions)
    : App(Dir.Path() + "app/"), StatePath(Dir.Path() + "card.json")
{
    std::filesystem::copy(CORVANE_EXAMPLES_DIR, App, std::filesystem::copy_options::recursive);
    std::vector<std::string> argv = {CORVANE_CARDSIM, "--state", StatePath};
    switch (link) {
    case Link::Pty: argv.push_back("--pty"); break;
    case Link::Udp: argv.insert(argv.end(), {"--udp", "0"}); break;
    case Link::Tcp: argv.insert(argv.end(), {"--tcp", "0"}); break;
    }
    argv.insert(argv.end(), cardOptions.begin(), cardOptions.end());
    const std::string address = Card.Start(argv) ? Card.ReadLine() : std::string();
    Started = !address.empty();
    Dir.Write("app/Updater.prm", SettingsFor(link, address));
}

ExampleRun::~ExampleRun() { EXPECT_EQ(CheckReportsFollowTheSchema(App + "reports"), Runs); }

std::vector<QJsonObject> ExampleRun::Reports() const
{
    std::vector<std::string> paths;
    if (std::filesystem::is_directory(App + "reports"))
        for (const auto& entry : std::filesystem::directory_iterator(App + "reports"))
            if (entry.path().extension() == ".json")
                paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    std::vector<QJsonObject> reports;
    for (const std::string& path : paths)
        reports.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(path))).object());
    return reports;
}

ProcessResult ExampleRun::Update(const std::vector<std::string>& options)
{
    ++Runs;
    std::vector<std::string> argv = {CORVANE_UPDATER, "--batch", "--app-dir", App, "--timeout", UpdaterTimeoutSeconds};
    argv.insert(argv.end(), options.begin(), options.end());
    return RunProcess(argv, UpdaterDeadline);
}

bool ExampleRun::StartUpdate(ChildProcess& updater, const std::vector<std::string>& options)
{
    ++Runs;
    std::vector<std::string> argv = {CORVANE_UPDATER, "--batch", "--app-dir", App, "--timeout", UpdaterTimeoutSeconds};
    argv.insert(argv.end(), options.begin(), options.end());
    return updater.Start(argv);
}

QJsonObject ExampleRun::CardState()
{
    if (Card.Stop(SIGTERM) != 0)
        return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(StatePath))).object();
}

ProcessResult ExampleRun::Check() const { return RunProcess({CORVANE_TOOL, "check", StatePath, App}); }

std::map<std::string, std::string> CheckVerdicts(const std::string& report)
{
    std::map<std::string, std::string> verdicts;
    for (const std::string& line : SplitLines(report)) {
        std::string label = line.substr(0, CheckLabelWidth);
        label.erase(label.find_last_not_of(' ') + 1);
        const std::size_t mismatch = line.find("MISMATCH");
        verdicts[label] = mismatch != std::string::npos ? line.substr(mismatch) : line.substr(line.rfind(' ') + 1);
    }
    return verdicts;
}
