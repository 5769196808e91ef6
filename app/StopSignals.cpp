#include "StopSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

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

int ReadStopSignal(int signalFd)
{
    signalfd_siginfo info{};
    if (::read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
        return 0;
    return static_cast<int>(info.ssi_signo);
}

TStopSignalWatch::TStopSignalWatch(int signalFd, std::function<void(int signal)> onSignal) : SignalFd(signalFd)
{
    if (SignalFd < 0)
        return;
    Notifier = std::make_unique<QSocketNotifier>(SignalFd, QSocketNotifier::Read);
    QObject::connect(Notifier.get(), &QSocketNotifier::activated, Notifier.get(),
                     [this, handler = std::move(onSignal)] {
                         if (const int signal = ReadStopSignal(SignalFd); signal != 0)
                             handler(signal);
                     });
}

TStopSignalWatch::~TStopSignalWatch()
{
    Notifier.reset();
    if (SignalFd >= 0)
        ::close(SignalFd);
}
