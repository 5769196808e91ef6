#include "TcpClient.h"

#include <QHostAddress>

#include <algorithm>

TTcpClient::TTcpClient()
{
    QObject::connect(&Socket, &QTcpSocket::connected, &Socket, [this] {
        // Every command is a short request that waits for its answer: it goes
        // out at once, never held back to be joined with the next.
        Socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Failure.clear();
        Raise(OnConnect);
    });
    QObject::connect(&Socket, &QTcpSocket::readyRead, &Socket, [this] { Raise(OnRead); });
    QObject::connect(&Socket, &QTcpSocket::errorOccurred, &Socket,
                     [this](QAbstractSocket::SocketError error) { Failed(error); });
}

bool TTcpClient::Open()
{
    QHostAddress target;
    if (!target.setAddress(QString::fromLatin1(Address.data(), static_cast<qsizetype>(Address.size()))))
        return false;
    Socket.abort();
    ++Attempt;
    // Unbuffered: a command goes to the system at once instead of one turn of the
    // event loop later, and OnRead comes again for as long as data is waiting.
    Socket.connectToHost(target, static_cast<quint16>(Port), QIODevice::ReadWrite | QIODevice::Unbuffered);
    return true;
}

void TTcpClient::Close()
{
    ++Attempt;
    Socket.abort();
}

bool TTcpClient::IsConnected() const { return Socket.state() == QAbstractSocket::ConnectedState; }

bool TTcpClient::IsIdle() const { return Socket.state() == QAbstractSocket::UnconnectedState; }

void TTcpClient::Send(std::string_view data)
{
    Socket.write(data.data(), static_cast<qint64>(data.size()));
}

// Unbuffered, it is the read that finds the connection closed by the card.
std::int64_t TTcpClient::Receive(char* buffer, std::int64_t max)
{
    if (!Socket.isReadable())
        return 0;
    return std::max<std::int64_t>(Socket.read(buffer, max), 0);
}

// QTcpSocket reports some failures from inside connectToHost; delivering them
// from the event loop keeps a handler that reconnects from recursing.
void TTcpClient::Failed(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    Failure = Socket.errorString().toLocal8Bit().toStdString();
    QMetaObject::invokeMethod(
        &Socket,
        [this, attempt = Attempt] {
            if (attempt == Attempt)
                Raise(OnError);
        },
        Qt::QueuedConnection);
}

void TTcpClient::Raise(const TNotify& event)
{
    if (!event)
        return;
    const TNotify handler = event;
    handler();
}
