#include "CardProcess.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <signal.h>

#include <sstream>

std::uint16_t UnusedUdpPort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress::LocalHost, 0);
    return socket.localPort();
}

CardProcess::CardProcess(Transport transport, const TempDir& dir, const std::vector<std::string>& options,
                         const std::string& address, std::uint16_t port)
    : StatePath(dir.Path() + "card.json"), Via(transport)
{
    std::vector<std::string> argv = {CORVANE_CARDSIM, "--state", StatePath};
    switch (transport) {
    case Transport::Tcp: argv.insert(argv.end(), {"--tcp", std::to_string(port)}); break;
    case Transport::Udp: argv.insert(argv.end(), {"--udp", std::to_string(port)}); break;
    case Transport::Pty: argv.push_back("--pty"); break;
    }
    if (!address.empty())
        argv.insert(argv.end(), {"--address", address});
    argv.insert(argv.end(), options.begin(), options.end());
    Started = Card.Start(argv);
    Address = Card.ReadLine();
    Started = Started && !Address.empty();
}

std::string CardProcess::SettingsText() const
{
    switch (Via) {
    case Transport::Tcp: return "CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + Address + "\n";
    case Transport::Udp:
        return "CON_TYPE=UDP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=" + Address + "\nLOCAL_PORT=0\n";
    case Transport::Pty: return "CON_TYPE=RS232\nCOM_PORT=COM4\nCOM4=" + Address + "\n";
    }
    return {};
}

QJsonObject CardProcess::State()
{
    EXPECT_EQ(Card.Stop(SIGTERM), 0);
    return QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(StatePath))).object();
}

SimulatedCard::FlashArea AreaOf(const QJsonObject& json)
{
    SimulatedCard::FlashArea area;
    area.First = static_cast<std::uint16_t>(json["first"].toString().toUInt(nullptr, 16));
    area.Last = static_cast<std::uint16_t>(json["last"].toString().toUInt(nullptr, 16));
    const QByteArray bytes = QByteArray::fromHex(json["bytes"].toString().toLatin1());
    std::copy(bytes.begin(), bytes.end(), area.Image.begin() + area.First);
    return area;
}
