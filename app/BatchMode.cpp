#include "BatchMode.h"

#include "constante.h"
#include "textutil.h"

#include <QCoreApplication>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int SilenceCheckMs = 100;
constexpr int ProgressRedrawMs = 200;
constexpr char EraseLine[] = "\r\x1B[K";

int Percent(const TUpdateSession::TBarValue& bar) { return bar.Maximum <= 0 ? 0 : bar.Value * 100 / bar.Maximum; }

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

TBatchMode::TBatchMode(std::string appDir, const TUpdaterCommandLine& line, int signalFd)
    : AppDir(std::move(appDir)), Line(line), SignalFd(signalFd), ProgressOnTerminal(::isatty(STDERR_FILENO) == 1)
{
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
    Session.reset();
    SignalNotifier.reset();
    if (SignalFd >= 0)
        ::close(SignalFd);
}

std::string TBatchMode::SettingsPath() const { return TSettingsFile::PathFor(AppDir); }

int TBatchMode::Run()
{
    Choice = Settings.Load(TSettingsFile::LoadPathFor(AppDir), [this](const std::string& text) { PrintError(text); });
    Session = std::make_unique<TUpdateSession>(AppDir, Line.Script);
    TUpdateSession& session = *Session;
    session.OnStatusLine = [this](const std::string& text) { PrintStatus(text); };
    session.OnBox = [this](TBoxKind, const std::string& text) { PrintError(text); };
    session.OnRunEnd = [this](TUpdateSession::TRunResult result, const std::string&, const std::string&) {
        RunEnded(result);
    };
    session.OnCardText = [this] { Silence.restart(); };
    session.SetLink(Settings.LinkFor(Choice));
    if (Line.Manual) {
        session.SetManual(true);
        session.SetSelection({Line.Manual->Motherboard, Line.Manual->Mcu, Line.Manual->Prom1});
    }
    // The first idle step shows the prompt and gives the engines their folder.
    session.Timer1Timer();
    if (Line.ReadId)
        session.ReadId();
    else
        session.Start();
    // The run begins at the next tick; nobody is there to be shown the idle
    // prompt for another idle interval first.
    session.Timer1Timer();
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

void TBatchMode::RunEnded(TUpdateSession::TRunResult result)
{
    const int exitCode = result == TUpdateSession::TRunResult::Completed ? 0 : 1;
    // The step that ended the run is still on its way out: leave after it.
    QTimer::singleShot(0, &SilenceCheck, [this, exitCode] { Finish(exitCode); });
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
    if (!Session->WaitsOnCard()) {
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
        ProgressLineText(Percent(Session->GetBar(TUpdateSession::TRunBar::Whole)),
                         Percent(Session->GetBar(TUpdateSession::TRunBar::Operation)));
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
    Session->Stop();
    Session->Close();
    std::string message;
    if (!Settings.Save(SettingsPath(), Choice, message))
        PrintError(message);
    QCoreApplication::exit(exitCode);
}
