// TCardFinder: finds the cards on the LAN that answer the device query.
//
// The query "?" goes once, over UDP, to the card port of every address of a
// range, paced by TProbePacer; answers are gathered until GatherMs after the
// last query has left. An answer counts when it comes from a queried address
// and the queried port (as the link driver takes a card's datagrams) and holds
// a "DEV" reply, read by the link driver's own reply grammar. Nothing else is
// ever sent to a card. The queries leave from a port the system chooses, so a
// search never takes the local port of a run that is going on.
#pragma once

#include "ProbePacer.h"
#include "UdpEndpoint.h"

#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class TCardFinder {
public:
    static constexpr std::uint16_t DefaultCardPort = 10500;
    static constexpr std::size_t DefaultPerSecond = 256;
    static constexpr int DefaultGatherMs = 1000;
    // How often queries are sent while the pacing lets them go.
    static constexpr int PaceTickMs = 20;

    struct TFoundCard {
        std::uint32_t Address = 0;
        std::uint16_t Port = 0;
        std::uint32_t DeviceType = 0;
    };

    TCardFinder();
    TCardFinder(const TCardFinder&) = delete;
    TCardFinder& operator=(const TCardFinder&) = delete;

    // Takes effect at the next Start.
    void SetPace(std::size_t perSecond, int gatherMs);
    // The monotonic clock, in milliseconds, that paces the queries.
    std::function<std::int64_t()> ClockMs;

    // Starts a search; false, with the reason, when no socket could be opened.
    bool Start(const std::vector<std::uint32_t>& addresses, std::uint16_t cardPort, std::string& error);
    // Ends a search at once; OnFinished is not called.
    void Stop();
    bool IsRunning() const { return Running; }

    std::size_t Queried() const { return Next; }
    std::size_t Total() const { return Addresses.size(); }
    // The cards found so far, in order of their answers.
    const std::vector<TFoundCard>& Found() const { return Cards; }
    // The reason of the last query the system refused; empty when none was.
    const std::string& SendError() const { return LastSendError; }
    std::size_t SendFailures() const { return Failures; }

    // "udp://192.168.0.12:10500", the link that reaches the card.
    static std::string PortText(const TFoundCard& card);

    std::function<void(const TFoundCard& card)> OnFound;
    // Queries went out.
    std::function<void()> OnProgress;
    // The answers of the last query have had their time.
    std::function<void()> OnFinished;

private:
    void Pace();
    void Finish();
    void Read(std::string_view data, const std::string& sender, std::uint16_t senderPort);

    TUdpEndpoint Udp;
    TProbePacer Pacer{DefaultPerSecond};
    int GatherMs = DefaultGatherMs;
    QTimer PaceTimer;
    QTimer GatherTimer;
    std::vector<std::uint32_t> Addresses;
    // The addresses queried so far, and those that have answered.
    std::set<std::uint32_t> Asked;
    std::set<std::uint32_t> Answered;
    std::uint16_t CardPort = DefaultCardPort;
    std::size_t Next = 0;
    std::vector<TFoundCard> Cards;
    std::string LastSendError;
    std::size_t Failures = 0;
    bool Running = false;
};
