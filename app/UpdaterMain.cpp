// corvane-updater: the firmware updater, as a window or in batch mode.
#include "BatchMode.h"
#include "BundleOpening.h"
#include "CardsMain.h"
#include "CommandLine.h"
#include "FindCommand.h"
#include "SerialDeviceList.h"
#include "SettingsFile.h"
#include "StopSignals.h"
#include "UpdaterWindows.h"
#include "Utils.h"
#include "constante.h"
#include "textutil.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// The program's folder is kept without its delimiter; the root folder becomes empty.
std::string ProgramFolder(const std::string& path)
{
    std::string folder = QDir::cleanPath(QFileInfo(QString::fromStdString(path)).absoluteFilePath()).toStdString();
    if (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    return folder;
}

}  // namespace

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
    if (line.Version) {
        std::printf("corvane-updater %s\n", CORVANE_PACKAGE_VERSION);
        return 0;
    }
    // SIGINT and SIGTERM are read in the event loop, so that a run stops as STOP
    // stops it and an unpacked bundle is removed on the way out; they must be
    // blocked before the application starts any thread.
    const bool windowless = line.Batch || line.ListPorts || !line.Find.empty();
    const int signalFd = line.ListPorts || !line.Find.empty() ? -1 : BlockStopSignals();
    // Without a window nothing needs GLib's main loop, and Qt's own event
    // dispatcher costs less on each of a run's tens of thousands of exchanges.
    if (windowless)
        qputenv("QT_NO_GLIB", "1");
    const std::unique_ptr<QCoreApplication> application =
        windowless ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    if (!line.Find.empty())
        return RunFind(line.Find, line.FindPort);
    const bool bundle = IsUpdateBundle(line.AppDir);
    std::string appDir = line.AppDir.empty() || bundle ? ProgramFolder(GetAppDir()) : ProgramFolder(line.AppDir);
    if (line.ListPorts) {
        // A bundle's settings are the user's.
        TSettingsList settings;
        settings.Load(bundle ? TSettingsFile::UserPath() : TSettingsFile::LoadPathFor(appDir));
        std::fputs(TSerialDeviceList::Listing(TSerialDeviceList().Read(), settings).c_str(), stdout);
        return 0;
    }
    if (line.Batch || !line.Ports.empty()) {
        // Declared first, so the unpacked update goes last.
        std::unique_ptr<TOpenedBundle> opened;
        std::string script = line.Script;
        if (bundle) {
            opened = OpenUpdateBundle(line.AppDir, line.Script, line.TrustedKeys, script, error);
            if (!opened) {
                std::fputs((error + '\n').c_str(), stderr);
                return 1;
            }
            appDir = opened->Folder();
        }
        TUpdaterCommandLine runLine = line;
        runLine.Script = script;
        if (!line.Batch)
            return RunCardsWindow(appDir, runLine, signalFd,
                                  opened ? std::optional(ReportBundle(opened->Summary())) : std::nullopt);
        TBatchMode batch(appDir, runLine, signalFd);
        if (opened)
            batch.SetBundle(opened->Summary());
        return batch.Run();
    }
    // An installed updater has no scripts beside it: the window opens the update
    // the operator chose last time.
    const std::string update = line.AppDir.empty() ? TSettingsFile::WindowFolder(appDir) : line.AppDir;
    const bool startsWithBundle = IsUpdateBundle(update);
    TUpdaterWindows windows(startsWithBundle ? appDir : ProgramFolder(update), startsWithBundle ? std::string() : line.Script);
    TMainFich& window = windows.MainFich;
    window.SetTrustedKeyFiles(line.TrustedKeys);
    const TStopSignalWatch stopSignals(signalFd, [&window](int signal) {
        window.GetSession().Stop();
        window.GetSession().Close();
        QApplication::exit(128 + signal);
    });
    window.show();
    // A bundle that is refused leaves the window on the executable's folder.
    if (startsWithBundle)
        window.OpenUpdatePath(update, line.Script);
    return QApplication::exec();
}
