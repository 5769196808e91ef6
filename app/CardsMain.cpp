#include "CardsMain.h"

#include "CardsWindow.h"
#include "DecodedText.h"
#include "PortArgument.h"
#include "StopSignals.h"
#include "constante.h"
#include "textutil.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

constexpr int UsageExitCode = 2;

}  // namespace

int RunCardsWindow(const std::string& appDir, const TUpdaterCommandLine& line, int signalFd,
                   const std::optional<TReportBundle>& bundle)
{
    TSettingsFile settings;
    std::vector<std::string> warnings;
    TCardsSetup setup;
    setup.AppDir = appDir;
    setup.Bundle = bundle;
    setup.Script = line.Script;
    setup.KeepCards = false;
    setup.Choice = settings.Load(TSettingsFile::LoadPathFor(appDir), [&warnings](const std::string& text) { warnings.push_back(text); });
    std::vector<TPortArgument> ports;
    std::string error;
    for (const std::string& text : line.Ports) {
        TPortArgument port;
        if (!ParsePortArgument(text, settings.List(), setup.Choice.LocalPort, port, error))
            break;
        ports.push_back(port);
    }
    if (error.empty())
        error = PortConflict(ports);
    if (!error.empty()) {
        std::fputs((FormatText(constante::UsageErrorFormat, error) + constante::UpdaterUsage).c_str(), stderr);
        return UsageExitCode;
    }
    TCardsWindow window(setup, settings);
    const TStopSignalWatch stopSignals(signalFd, [&window](int signal) {
        window.GetCards().StopAll();
        window.GetCards().Close();
        QApplication::exit(128 + signal);
    });
    window.show();
    for (const std::string& warning : warnings)
        window.ShowBox(TBoxKind::Warning, DecodedText(warning));
    for (const TPortArgument& port : ports)
        window.AddPort(port.Text);
    if (line.Start)
        QTimer::singleShot(0, &window, [&window] { window.StartClick(); });
    return QApplication::exec();
}
