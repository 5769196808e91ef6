#include "CardProcess.h"

#include "WirePacer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <signal.h>

namespace {

constexpr std::chrono::seconds CardStartLimit{10};
constexpr std::chrono::seconds CardStopLimit{30};

}  // namespace

double CardReport::WireSeconds() const
{
    double seconds = 0.0;
    for (const auto& [baud, bytes] : Traffic)
        if (baud != 0)
            seconds += static_cast<double>((bytes.FromPc + bytes.ToPc) * WirePacer::BitsPerByte) / baud;
    return seconds;
}

bool CardProcess::Start(const std::string& program, const std::vector<std::string>& options,
                        const std::string& stateFile, std::string& error)
{
    StateFile = stateFile;
    std::vector<std::string> argv = {program, "--state", stateFile};
    argv.insert(argv.end(), options.begin(), options.end());
    if (!Process.Start(argv) || !Process.NextLine(Where, CardStartLimit) || Where.empty()) {
        error = "the simulated card did not start: " + Process.Errors();
        return false;
    }
    return true;
}

bool CardProcess::Stop(CardReport& report, std::string& error)
{
    Process.Signal(SIGTERM);
    if (!Process.Finish(CardStopLimit) || Process.ExitCode() != 0) {
        error = "the simulated card did not stop cleanly: " + Process.Errors();
        return false;
    }
    QFile file(QString::fromStdString(StateFile));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "the simulated card wrote no state file";
        return false;
    }
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    report.Commands = static_cast<std::uint64_t>(state["counts"].toObject()["commands"].toInteger());
    for (const QJsonValue& entry : state["traffic"].toArray()) {
        const QJsonObject line = entry.toObject();
        report.Traffic[static_cast<std::uint32_t>(line["baud"].toInteger())] = {
            static_cast<std::uint64_t>(line["from_pc"].toInteger()),
            static_cast<std::uint64_t>(line["to_pc"].toInteger())};
    }
    return true;
}
