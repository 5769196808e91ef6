// SIGINT and SIGTERM, read in the event loop: a run stops as STOP stops it, and
// what the program made on its way (an unpacked bundle) is removed on the way out.
#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

// Blocks SIGINT and SIGTERM for the whole process (before any thread starts)
// and returns a signalfd that reads them; -1 on failure.
int BlockStopSignals();
// The signal that arrived on the signalfd; 0 when none could be read.
int ReadStopSignal(int signalFd);

// Calls its handler in the event loop with each stop signal the signalfd reads;
// owns the signalfd and closes it when it goes. A signalfd of -1 watches nothing.
class TStopSignalWatch {
public:
    TStopSignalWatch(int signalFd, std::function<void(int signal)> onSignal);
    ~TStopSignalWatch();
    TStopSignalWatch(const TStopSignalWatch&) = delete;
    TStopSignalWatch& operator=(const TStopSignalWatch&) = delete;

private:
    int SignalFd;
    std::unique_ptr<QSocketNotifier> Notifier;
};
