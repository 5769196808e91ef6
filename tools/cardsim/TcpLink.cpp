#include "TcpLink.h"

#include <utility>

TcpLink::TcpLink(SimulatedCard& card, quint16 port, QHostAddress address)
    : CardLink(card), Port(port), Served(std::move(address))
{
    QObject::connect(&Server, &QTcpServer::newConnection, &Server, [this] { Accept(); });
}

bool TcpLink::Start(std::string& error)
{
    if (Server.listen(Served, Port))
        return true;
    error = Server.errorString().toStdString();
    return false;
}

std::string TcpLink::Address() const { return std::to_string(Server.serverPort()); }

void TcpLink::Accept()
{
    while (QTcpSocket* socket = Server.nextPendingConnection()) {
        if (Peer)
            Peer->abort();
        Peer = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray bytes = socket->readAll();
            FromPc(bytes.toStdString());
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TcpLink::ToPc(const std::string& bytes)
{
    if (Peer)
        Peer->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void TcpLink::Disconnect()
{
    if (Peer)
        Peer->disconnectFromHost();
}
