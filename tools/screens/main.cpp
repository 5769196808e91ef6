// corvane-screens OUTDIR: pictures of the updater's windows, drawn on Qt's
// offscreen platform: the idle main window with and without "readid.ini", the
// About box, the Component Selection dialog and the LAN setup dialog.
#include "UpdaterWindows.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// The window as the operator first sees it: settings loaded, one idle step taken.
TMainFich& IdleWindow(TUpdaterWindows& windows)
{
    TMainFich& window = windows.MainFich;
    window.ShowBox = [](TBoxKind, const QString&) { return true; };
    window.show();
    window.Timer1Timer();
    return window;
}

bool Save(QWidget& widget, const QString& folder, const char* name)
{
    widget.show();
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (widget.grab().save(path))
        return true;
    std::fprintf(stderr, "corvane-screens: cannot write %s\n", path.toLocal8Bit().constData());
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: corvane-screens OUTDIR\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "corvane-screens: cannot create %s\n", argv[1]);
        return 1;
    }

    bool saved = true;
    {
        // A folder of its own, so "readid.ini" and "Updater.prm" are the ones laid out here.
        QTemporaryDir appDir;
        TUpdaterWindows windows(appDir.path().toStdString(), {});
        saved &= Save(IdleWindow(windows), folder, "main-window.png");
        saved &= Save(windows.AboutBox, folder, "about-box.png");
        saved &= Save(windows.MainFich.GetCompSel(), folder, "component-selection.png");
        saved &= Save(windows.IPConfigDlg, folder, "lan-setup.png");
    }
    {
        QTemporaryDir appDir;
        std::ofstream(QDir(appDir.path()).filePath("readid.ini").toStdString()) << "D8\r\n";
        TUpdaterWindows windows(appDir.path().toStdString(), {});
        saved &= Save(IdleWindow(windows), folder, "main-window-readid.png");
    }
    return saved ? 0 : 1;
}
