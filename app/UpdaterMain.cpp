// corvane-updater: the firmware updater, as a window or in batch mode.
#include "BatchMode.h"
#include "CardsMain.h"
#include "CommandLine.h"
#include "FindCommand.h"
#include "SerialDeviceList.h"
#include "SettingsFile.h"
#include "UpdaterWindows.h"
#include "Utils.h"
#include "constante.h"
#include "textutil.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    TUpdaterCommandLine line;
    std::string error;
    if (!ParseUpdaterCommandLine(std::vector<std::string>(argv + 1, argv + argc), line, error)) {
        std::fputs((FormatText(constante::UsageErrorFormat, error) + constante::UpdaterUsage).c_str(), stderr);
        return 2;
    }
    if (line.Help) {
        std::fputs(constante::UpdaterUsage, stdout);
        return 0;
    }
    // Batch mode reads SIGINT and SIGTERM in its event loop; they must be blocked
    // before the application starts any thread.
    const int signalFd = line.Batch ? BlockStopSignals() : -1;
    const bool windowless = line.Batch || line.ListPorts || !line.Find.empty();
    const std::unique_ptr<QCoreApplication> application =
        windowless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    std::string appDir = line.AppDir.empty()
                             ? GetAppDir()
                             : QDir::cleanPath(QFileInfo(QString::fromStdString(line.AppDir)).absoluteFilePath()).toStdString();
    // The program's folder is kept without its delimiter; the root folder becomes empty.
    if (!appDir.empty() && appDir.back() == '/')
        appDir.pop_back();
    if (!line.Find.empty())
        return RunFind(line.Find, line.FindPort);
    if (line.ListPorts) {
        TSettingsList settings;
        settings.Load(TSettingsFile::LoadPathFor(appDir));
        std::fputs(TSerialDeviceList::Listing(TSerialDeviceList().Read(), settings).c_str(), stdout);
        return 0;
    }
    if (line.Batch)
        return TBatchMode(appDir, line, signalFd).Run();
    if (!line.Ports.empty())
        return RunCardsWindow(appDir, line);
    // An installed updater has no scripts beside it: the window opens the update
    // folder the operator chose last time.
    if (line.AppDir.empty())
        appDir = TSettingsFile::WindowFolder(appDir);
    TUpdaterWindows windows(appDir, line.Script);
    windows.MainFich.show();
    return QApplication::exec();
}
