// corvane-screens OUTDIR: pictures of the updater's windows, drawn on Qt's
// offscreen platform: the idle main window with and without "readid.ini", the
// About box, the Component Selection dialog, the LAN setup dialog, and the
// window of several cards after the bundled example has run on three simulated
// cards, one of which refuses the erase of bank 1.
#include "CardsWindow.h"
#include "PtyLink.h"
#include "TcpLink.h"
#include "UdpLink.h"
#include "UpdaterWindows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableWidget>
#include <QPixmap>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

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

constexpr int RunDeadlineMs = 60000;
constexpr int RunCheckMs = 20;
// Tall enough for the three rows and the buttons, with little empty table.
constexpr int ScreenHeight = 230;

std::uint64_t MonotonicMs()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

// The bundled example on a pseudo-terminal, a TCP and a UDP card at once.
bool SaveSeveralCards(const QString& folder)
{
    QTemporaryDir appDir;
    std::error_code error;
    std::filesystem::copy(CORVANE_EXAMPLES_DIR, appDir.path().toStdString(), std::filesystem::copy_options::recursive, error);
    if (error) {
        std::fprintf(stderr, "corvane-screens: cannot copy the example: %s\n", error.message().c_str());
        return false;
    }
    CardOptions refusing;
    refusing.Faults.Refused = {"P1"};
    SimulatedCard ptyCard({}, MonotonicMs), tcpCard({}, MonotonicMs), udpCard(refusing, MonotonicMs);
    PtyLink pty(ptyCard, false);
    TcpLink tcp(tcpCard, 0);
    UdpLink udp(udpCard, 0);
    std::string failure;
    for (CardLink* link : std::vector<CardLink*>{&pty, &tcp, &udp})
        if (!link->Start(failure)) {
            std::fprintf(stderr, "corvane-screens: a simulated card cannot start: %s\n", failure.c_str());
            return false;
        }

    TSettingsFile settings;
    TCardsSetup setup;
    setup.AppDir = appDir.path().toStdString();
    setup.Choice = settings.Load(TSettingsFile::LoadPathFor(setup.AppDir), {});
    setup.KeepCards = false;
    TCardsWindow window(setup, settings);
    window.ShowBox = [](TBoxKind, const QString&) { return true; };
    window.ShowDialog = [](QDialog&) { return 0; };
    for (const std::string& port : {pty.Address(), "tcp://127.0.0.1:" + tcp.Address(), "udp://127.0.0.1:" + udp.Address() + "?local=0"})
        window.AddPort(port);
    for (std::size_t card = 0; card < window.GetCards().Count(); ++card)
        window.GetCards().Session(card).GetProgJtag().PlayOpenPause = std::chrono::milliseconds(0);
    window.show();
    window.StartClick();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    while (window.GetCards().AnyRunning() && clock.elapsed() < RunDeadlineMs)
        loop.processEvents(QEventLoop::WaitForMoreEvents, RunCheckMs);
    window.CardTable->setCurrentCell(-1, -1);
    window.resize(window.width(), ScreenHeight);
    return Save(window, folder, "several-cards.png");
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
    saved &= SaveSeveralCards(folder);
    return saved ? 0 : 1;
}
