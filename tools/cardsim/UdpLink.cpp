#include "UdpLink.h"

#include <QNetworkDatagram>

#include <utility>

UdpLink::UdpLink(SimulatedCard& card, quint16 port, QHostAddress address)
    : CardLink(card), Port(port), Served(std::move(address))
{
    QObject::connect(&Socket, &QUdpSocket::readyRead, &Socket, [this] { Read(); });
}

bool UdpLink::Start(std::string& error)
{
    if (Socket.bind(Served, Port))
        return true;
    error = Socket.errorString().toStdString();
    return false;
}

std::string UdpLink::Address() const { return std::to_string(Socket.localPort()); }

void UdpLink::Read()
{
    while (Socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = Socket.receiveDatagram();
        PeerAddress = datagram.senderAddress();
        PeerPort = static_cast<quint16>(datagram.senderPort());
        FromPc(datagram.data().toStdString());
    }
}

void UdpLink::ToPc(const std::string& bytes)
{
    if (PeerPort != 0)
        Socket.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()), PeerAddress, PeerPort);
}
