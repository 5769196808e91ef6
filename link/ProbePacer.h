// TProbePacer: how many probes may leave now, so that a search of the LAN
// never floods it.
//
// Probes are spread evenly at the rate (at most the first one plus one per
// 1/rate s since the search began), and no window of one second ever holds
// more than the rate, also when the timer that sends them comes late and
// would catch up in a burst. Times are milliseconds of a monotonic clock the
// caller reads, so the pacing can be checked without waiting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

class TProbePacer {
public:
    static constexpr std::int64_t WindowMs = 1000;

    explicit TProbePacer(std::size_t perSecond);

    void Begin(std::int64_t nowMs);
    // Probes that may be sent at nowMs.
    std::size_t Allowance(std::int64_t nowMs);
    // count probes were sent at nowMs.
    void Sent(std::int64_t nowMs, std::size_t count);
    std::size_t PerSecond() const { return Rate; }

private:
    void Forget(std::int64_t nowMs);

    std::size_t Rate;
    std::int64_t StartMs = 0;
    std::size_t Total = 0;
    // When each probe of the last second left.
    std::deque<std::int64_t> Recent;
};
