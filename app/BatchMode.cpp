#include "BatchMode.h"

#include "CompDlg.h"
#include "UpdaterWindows.h"
#include "constante.h"
#include "textutil.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QProgressBar>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int SilenceCheckMs = 100;
constexpr int ProgressRedrawMs = 200;
constexpr char EraseLine[] = "\r\x1B[K";

int Percent(const QProgressBar* bar)
{
    const int span = bar->maximum() - bar->minimum();
    return span <= 0 ? 0 : (bar->value() - bar->minimum()) * 100 / span;
}

void WriteAll(std::FILE* stream, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

int BlockStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0)
        return -1;
    return ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
}

std::string ProgressLineText(int overallPercent, int operationPercent)
{
    return constante::ProgressOverall + std::to_string(overallPercent) + "%  " + constante::ProgressOperation +
           std::to_string(operationPercent) + '%';
}

TBatchMode::TBatchMode(TUpdaterWindows& windows, const TUpdaterCommandLine& line, int signalFd)
    : Windows(windows), Line(line), SignalFd(signalFd), ProgressOnTerminal(::isatty(STDERR_FILENO) == 1)
{
    TMainFich& window = Windows.MainFich;
    window.ShowBox = [this](TBoxKind, const QString& text) { PrintError(Bytes(text)); };
    window.ShowDialog = [](QDialog&) { return static_cast<int>(QDialog::Rejected); };
    window.OnStatusLine = [this](const std::string& text) { PrintStatus(text); };
    window.OnRunEnd = [this](bool completed) { RunEnded(completed); };
    window.OnCardText = [this] { Silence.restart(); };

    if (SignalFd >= 0) {
        SignalNotifier = std::make_unique<QSocketNotifier>(SignalFd, QSocketNotifier::Read);
        QObject::connect(SignalNotifier.get(), &QSocketNotifier::activated, SignalNotifier.get(), [this] { SignalArrived(); });
    }
    SilenceCheck.setInterval(SilenceCheckMs);
    QObject::connect(&SilenceCheck, &QTimer::timeout, &SilenceCheck, [this] { CheckSilence(); });
    ProgressTimer.setInterval(ProgressRedrawMs);
    QObject::connect(&ProgressTimer, &QTimer::timeout, &ProgressTimer, [this] { DrawProgress(); });
}

TBatchMode::~TBatchMode()
{
    SignalNotifier.reset();
    if (SignalFd >= 0)
        ::close(SignalFd);
}

int TBatchMode::Run()
{
    TMainFich& window = Windows.MainFich;
    window.FormActivate();
    if (Line.Manual) {
        window.MManual->setChecked(true);
        TCompSelDlg& selection = window.GetCompSel();
        selection.CBMB->setChecked(Line.Manual->Motherboard);
        selection.CBMBMCU->setChecked(Line.Manual->Mcu);
        selection.CBMBPROM1->setChecked(Line.Manual->Prom1);
    }
    // The first idle step shows the prompt and gives the engines their folder.
    window.Timer1Timer();
    if (Line.ReadId)
        window.ReadIdClick();
    else
        window.StartClick();
    // The run begins at the next tick; nobody is there to be shown the idle
    // window for another idle interval first.
    window.Timer1Timer();
    Silence.start();
    if (Line.TimeoutSeconds > 0)
        SilenceCheck.start();
    if (ProgressOnTerminal)
        ProgressTimer.start();
    return QCoreApplication::exec();
}

void TBatchMode::PrintStatus(const std::string& line)
{
    ClearProgress();
    WriteAll(stdout, line + '\n');
}

void TBatchMode::PrintError(const std::string& text)
{
    ClearProgress();
    WriteAll(stderr, text + '\n');
}

void TBatchMode::RunEnded(bool completed)
{
    // The step that ended the run is still on its way out: leave after it.
    QTimer::singleShot(0, &SilenceCheck, [this, completed] { Finish(completed ? 0 : 1); });
}

void TBatchMode::SignalArrived()
{
    signalfd_siginfo info{};
    if (::read(SignalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
        return;
    const int signal = static_cast<int>(info.ssi_signo);
    PrintError(FormatText(constante::BatchStopped, std::to_string(signal)));
    Finish(128 + signal);
}

void TBatchMode::CheckSilence()
{
    if (!Windows.MainFich.WaitsOnCard()) {
        Silence.restart();
        return;
    }
    if (Silence.elapsed() < static_cast<qint64>(Line.TimeoutSeconds) * 1000)
        return;
    PrintError(FormatText(constante::BatchTimedOut, std::to_string(Line.TimeoutSeconds)));
    Finish(1);
}

void TBatchMode::DrawProgress()
{
    const std::string text =
        ProgressLineText(Percent(Windows.MainFich.ProgressBar3), Percent(Windows.MainFich.ProgressBar1));
    if (text == ProgressDrawn)
        return;
    ProgressDrawn = text;
    WriteAll(stderr, EraseLine + text);
}

void TBatchMode::ClearProgress()
{
    if (ProgressDrawn.empty())
        return;
    ProgressDrawn.clear();
    WriteAll(stderr, EraseLine);
}

void TBatchMode::Finish(int exitCode)
{
    if (Finished)
        return;
    Finished = true;
    SilenceCheck.stop();
    ProgressTimer.stop();
    ClearProgress();
    TMainFich& window = Windows.MainFich;
    if (window.GetSeqState() != 0)
        window.StartClick();
    window.FormClose();
    QCoreApplication::exit(exitCode);
}
