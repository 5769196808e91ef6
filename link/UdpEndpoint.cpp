#include "UdpEndpoint.h"

#include <QHostAddress>

TUdpEndpoint::TUdpEndpoint()
{
    // QUdpSocket allows sending to broadcast addresses on every socket it binds.
    QObject::connect(&Socket, &QUdpSocket::readyRead, &Socket, [this] { ReadPending(); });
}

bool TUdpEndpoint::Activate()
{
    if (IsActive())
        return true;
    // Not shared: a port another program holds must make the activation fail.
    if (Socket.bind(QHostAddress::AnyIPv4, static_cast<quint16>(LocalPort), QAbstractSocket::DontShareAddress))
        return true;
    Socket.abort();
    return false;
}

void TUdpEndpoint::Deactivate() { Socket.abort(); }

bool TUdpEndpoint::IsActive() const { return Socket.state() == QAbstractSocket::BoundState; }

std::uint16_t TUdpEndpoint::BoundPort() const { return IsActive() ? Socket.localPort() : 0; }

bool TUdpEndpoint::Send(std::string_view data, const std::string& address, std::int32_t port, std::string& error)
{
    QHostAddress target;
    if (!target.setAddress(QString::fromLatin1(address.data(), static_cast<qsizetype>(address.size())))) {
        error = InvalidAddressText + address;
        return false;
    }
    if (Socket.writeDatagram(data.data(), static_cast<qint64>(data.size()), target, static_cast<quint16>(port)) < 0) {
        error = Socket.errorString().toStdString();
        return false;
    }
    return true;
}

void TUdpEndpoint::ReadPending()
{
    // The handler may close the endpoint; what is still queued is then dropped with it.
    while (IsActive() && Socket.hasPendingDatagrams()) {
        const qint64 size = Socket.pendingDatagramSize();
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 read =
            Socket.readDatagram(Datagram.data(), static_cast<qint64>(Datagram.size()), &sender, &senderPort);
        if (read < 0)
            break;
        if (size > static_cast<qint64>(Datagram.size()) || !OnRead)
            continue;
        const TReadEvent handler = OnRead;
        handler(std::string_view(Datagram.data(), static_cast<std::size_t>(read)), sender.toString().toStdString(),
                senderPort);
    }
}
