// Holds bytes back for the time a serial line would need to carry them.
//
// Each direction is a line of its own: a transmission starts when the line is
// free and arrives when its last bit has gone, 10 bit times per byte (start bit,
// 8 data bits, stop bit). Due times are kept in microseconds and a timerfd
// wakes the event loop for the earliest one, so rounding never accumulates.
#pragma once

#include <QSocketNotifier>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

class WirePacer {
public:
    using Deliver = std::function<void(const std::string&)>;

    WirePacer(Deliver toCard, Deliver toPc);
    ~WirePacer();
    WirePacer(const WirePacer&) = delete;
    WirePacer& operator=(const WirePacer&) = delete;

    bool IsValid() const { return TimerFd >= 0; }
    void FromPc(const std::string& bytes, std::uint32_t baud) { Queue(ToCardLine, bytes, baud); }
    void FromCard(const std::string& bytes, std::uint32_t baud) { Queue(ToPcLine, bytes, baud); }

    static constexpr std::uint64_t BitsPerByte = 10;

private:
    struct Transmission {
        std::uint64_t DueUs;
        std::string Bytes;
    };
    struct Line {
        Deliver Out;
        std::deque<Transmission> Pending;
        std::uint64_t FreeAtUs = 0;
    };

    void Queue(Line& line, const std::string& bytes, std::uint32_t baud);
    void Fire();
    void Arm();
    static std::uint64_t NowUs();

    Line ToCardLine;
    Line ToPcLine;
    // Due time of the transmission being handed to the card, while it is.
    std::uint64_t DeliveringUs = 0;
    int TimerFd = -1;
    std::unique_ptr<QSocketNotifier> Notifier;
};
