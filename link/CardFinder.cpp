#include "CardFinder.h"

#include "AddressRange.h"
#include "ComDriver.h"
#include "constante.h"

#include <QElapsedTimer>
#include <QHostAddress>

#include <algorithm>
#include <memory>

TCardFinder::TCardFinder()
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    ClockMs = [clock] { return clock->elapsed(); };
    Udp.OnRead = [this](std::string_view data, const std::string& sender, std::uint16_t senderPort) {
        Read(data, sender, senderPort);
    };
    PaceTimer.setInterval(PaceTickMs);
    PaceTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&PaceTimer, &QTimer::timeout, &PaceTimer, [this] { Pace(); });
    GatherTimer.setSingleShot(true);
    QObject::connect(&GatherTimer, &QTimer::timeout, &GatherTimer, [this] { Finish(); });
}

void TCardFinder::SetPace(std::size_t perSecond, int gatherMs)
{
    Pacer = TProbePacer(perSecond);
    GatherMs = std::max(gatherMs, 0);
}

bool TCardFinder::Start(const std::vector<std::uint32_t>& addresses, std::uint16_t cardPort, std::string& error)
{
    Stop();
    Addresses = addresses;
    CardPort = cardPort;
    Next = 0;
    Asked.clear();
    Answered.clear();
    Cards.clear();
    LastSendError.clear();
    Failures = 0;
    Udp.SetLocalPort(0);
    if (!Udp.Activate()) {
        error = constante::FindNoSocket;
        return false;
    }
    Running = true;
    Pacer.Begin(ClockMs());
    PaceTimer.start();
    Pace();
    return true;
}

void TCardFinder::Stop()
{
    Running = false;
    PaceTimer.stop();
    GatherTimer.stop();
    Udp.Deactivate();
}

void TCardFinder::Pace()
{
    if (!Running)
        return;
    const std::int64_t now = ClockMs();
    const std::size_t count = std::min(Pacer.Allowance(now), Addresses.size() - Next);
    const std::string_view query = TComDriver::VarCommands[constante::VarQueryIndex];
    for (std::size_t sent = 0; sent < count; ++sent) {
        const std::uint32_t address = Addresses[Next++];
        Asked.insert(address);
        std::string reason;
        if (!Udp.Send(query, AddressRange::Text(address), CardPort, reason)) {
            LastSendError = reason;
            ++Failures;
        }
    }
    Pacer.Sent(now, count);
    if (count > 0 && OnProgress)
        OnProgress();
    if (Running && Next == Addresses.size()) {
        PaceTimer.stop();
        GatherTimer.start(GatherMs);
    }
}

void TCardFinder::Read(std::string_view data, const std::string& sender, std::uint16_t senderPort)
{
    bool isIpv4 = false;
    const std::uint32_t address = QHostAddress(QString::fromStdString(sender)).toIPv4Address(&isIpv4);
    if (!Running || !isIpv4 || senderPort != CardPort || Asked.count(address) == 0 || Answered.count(address) != 0)
        return;
    std::string text(data);
    std::string line;
    while (TComDriver::TakeVarLine(text, line)) {
        TComDriver::DropVarNoise(line);
        std::size_t index = 0;
        std::uint32_t value = 0;
        if (!TComDriver::ParseVarReply(line, index, value) || index != static_cast<std::size_t>(constante::VarQueryIndex))
            continue;
        Answered.insert(address);
        Cards.push_back({address, CardPort, value});
        if (OnFound)
            OnFound(Cards.back());
        return;
    }
}

void TCardFinder::Finish()
{
    Stop();
    if (OnFinished)
        OnFinished();
}

std::string TCardFinder::PortText(const TFoundCard& card)
{
    return constante::ReportUdpScheme + AddressRange::Text(card.Address) + ':' + std::to_string(card.Port);
}
