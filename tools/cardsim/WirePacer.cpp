#include "WirePacer.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

WirePacer::WirePacer(Deliver toCard, Deliver toPc)
{
    ToCardLine.Out = std::move(toCard);
    ToPcLine.Out = std::move(toPc);
    TimerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (TimerFd >= 0) {
        Notifier = std::make_unique<QSocketNotifier>(TimerFd, QSocketNotifier::Read);
        QObject::connect(Notifier.get(), &QSocketNotifier::activated, Notifier.get(), [this] { Fire(); });
    }
}

WirePacer::~WirePacer()
{
    Notifier.reset();
    if (TimerFd >= 0)
        ::close(TimerFd);
}

std::uint64_t WirePacer::NowUs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

void WirePacer::Queue(Line& line, const std::string& bytes, std::uint32_t baud)
{
    const std::uint64_t wireUs = bytes.size() * BitsPerByte * 1000000u / std::max<std::uint32_t>(baud, 1);
    // An answer the card gives while taking delivery leaves when the bytes it
    // answers arrived, not when this process happened to wake up for them.
    const std::uint64_t start = &line == &ToPcLine && DeliveringUs != 0 ? DeliveringUs : NowUs();
    line.FreeAtUs = std::max(line.FreeAtUs, start) + wireUs;
    line.Pending.push_back({line.FreeAtUs, bytes});
    Arm();
}

void WirePacer::Fire()
{
    std::uint64_t expirations = 0;
    (void)!::read(TimerFd, &expirations, sizeof expirations);
    const std::uint64_t now = NowUs();
    for (Line* line : {&ToCardLine, &ToPcLine}) {
        while (!line->Pending.empty() && line->Pending.front().DueUs <= now) {
            const std::string bytes = std::move(line->Pending.front().Bytes);
            DeliveringUs = line == &ToCardLine ? line->Pending.front().DueUs : 0;
            line->Pending.pop_front();
            line->Out(bytes);
            DeliveringUs = 0;
        }
    }
    Arm();
}

void WirePacer::Arm()
{
    std::uint64_t due = 0;
    for (const Line* line : {&ToCardLine, &ToPcLine})
        if (!line->Pending.empty() && (due == 0 || line->Pending.front().DueUs < due))
            due = line->Pending.front().DueUs;
    itimerspec expiry{};
    if (due != 0) {
        expiry.it_value.tv_sec = static_cast<time_t>(due / 1000000u);
        expiry.it_value.tv_nsec = static_cast<long>(due % 1000000u * 1000u);
    }
    ::timerfd_settime(TimerFd, TFD_TIMER_ABSTIME, &expiry, nullptr);
}
