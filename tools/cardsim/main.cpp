// corvane-cardsim: a simulated card for tests, demonstrations and training.
#include "CardSimOptions.h"
#include "CardStateFile.h"
#include "PtyLink.h"
#include "SimulatedCard.h"
#include "TcpLink.h"
#include "UdpLink.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

std::uint64_t MonotonicMs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Non-printing bytes as \r, \n, <ESC> or \xNN, so a trace stays one line each.
std::string Printable(const std::string& bytes)
{
    std::string text;
    for (unsigned char c : bytes) {
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == 0x1B)
            text += "<ESC>";
        else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        } else
            text += static_cast<char>(c);
    }
    return text;
}

std::unique_ptr<CardLink> MakeLink(const CardSimCommandLine& line, SimulatedCard& card)
{
    switch (line.Link) {
    case CardSimCommandLine::Transport::Pty: return std::make_unique<PtyLink>(card, line.BaudPacing);
    case CardSimCommandLine::Transport::Tcp: return std::make_unique<TcpLink>(card, line.Port, line.Address);
    case CardSimCommandLine::Transport::Udp: return std::make_unique<UdpLink>(card, line.Port, line.Address);
    case CardSimCommandLine::Transport::None: break;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char* argv[])
{
    // SIGTERM and SIGINT are read from a signalfd in the event loop, so the
    // state file is written by ordinary code, not inside a signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("corvane-cardsim");
    const CardSimCommandLine commandLine = ParseCardSimCommandLine(QCoreApplication::arguments());

    SimulatedCard card(commandLine.Card, MonotonicMs);
    std::unique_ptr<CardLink> link = MakeLink(commandLine, card);
    if (commandLine.Trace)
        link->OnTrace = [](const char* from, const std::string& bytes) {
            std::fprintf(stderr, "%-4s %s\n", from, Printable(bytes).c_str());
        };
    std::string error;
    if (!link->Start(error)) {
        std::fprintf(stderr, "corvane-cardsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", link->Address().c_str());
    std::fflush(stdout);

    const int signalFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    QSocketNotifier stopNotifier(signalFd, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &application, [signalFd] {
        signalfd_siginfo info{};
        (void)!::read(signalFd, &info, sizeof info);
        QCoreApplication::quit();
    });

    const int result = QCoreApplication::exec();
    const CardTraffic traffic = link->Carried();
    link.reset();
    if (!commandLine.StateFile.empty() && !WriteCardState(card, traffic, commandLine.StateFile)) {
        std::fprintf(stderr, "corvane-cardsim: cannot write %s\n", commandLine.StateFile.c_str());
        return 1;
    }
    ::close(signalFd);
    return result;
}
