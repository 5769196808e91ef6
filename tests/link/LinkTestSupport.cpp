#include "LinkTestSupport.h"

#include <QEventLoop>
#include <QNetworkDatagram>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <stdexcept>

Pty::Pty()
{
    char name[256] = {};
    if (openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    Name = name;
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    // The slave stays open here as well, so the master never sees a hang-up while
    // the port under test is closed.
    Notifier = std::make_unique<QSocketNotifier>(Master, QSocketNotifier::Read);
    QObject::connect(Notifier.get(), &QSocketNotifier::activated, Notifier.get(), [this] {
        char buffer[4096];
        for (ssize_t n; (n = read(Master, buffer, sizeof buffer)) > 0;)
            Received.append(buffer, static_cast<std::size_t>(n));
    });
}

Pty::~Pty()
{
    CloseMaster();
    close(Slave);
}

void Pty::Write(const std::string& bytes) const
{
    if (write(Master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("pty write failed");
}

void Pty::CloseMaster()
{
    Notifier.reset();
    if (Master >= 0)
        close(Master);
    Master = -1;
}

termios Pty::Line() const
{
    termios line{};
    tcgetattr(Slave, &line);
    return line;
}

UdpPeer::UdpPeer(const char* address, std::uint16_t port)
{
    if (!Socket.bind(QHostAddress(QString::fromLatin1(address)), port))
        throw std::runtime_error("UDP peer cannot bind");
    QObject::connect(&Socket, &QUdpSocket::readyRead, &Socket, [this] {
        while (Socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = Socket.receiveDatagram();
            Datagrams.push_back(datagram.data().toStdString());
            SenderPorts.push_back(static_cast<std::uint16_t>(datagram.senderPort()));
        }
    });
}

void UdpPeer::SendTo(std::uint16_t port, const std::string& bytes)
{
    Socket.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()), QHostAddress::LocalHost, port);
}

TcpPeer::TcpPeer()
{
    QObject::connect(&Server, &QTcpServer::newConnection, &Server, [this] {
        Client = Server.nextPendingConnection();
        ++Connections;
        QObject::connect(Client, &QTcpSocket::readyRead, Client, [this, client = Client] {
            Received += client->readAll().toStdString();
        });
    });
}

bool TcpPeer::Listen(std::uint16_t port) { return Server.listen(QHostAddress::LocalHost, port); }

DriverLog::DriverLog(TComDriver& driver)
{
    const auto log = [this](std::function<std::string(TComDriver&)> text) {
        return [this, text](TComDriver& sender, std::int32_t nro) {
            EXPECT_EQ(nro, sender.GetTag());
            Events.push_back(text(sender));
        };
    };
    driver.OnRecString = [this, log](TComDriver& sender, std::int32_t nro) {
        if (sender.GetConMode() == MODE_RAW)
            Raw += sender.ReadRaw();
        const auto text = [](TComDriver& d) {
            return d.GetConMode() == MODE_RAW ? "rec" : "rec:" + d.GetreceivedString();
        };
        log(text)(sender, nro);
    };
    driver.OnADDRDBGchange = log([](TComDriver& d) { return "ADBG:" + std::to_string(d.GetADDRDBG()); });
    driver.OnDATADBGchange = log([](TComDriver& d) { return "DDBG:" + std::to_string(d.GetDATADBG()); });
    driver.OnDEVchange = log([](TComDriver& d) { return "DEV:" + std::to_string(d.GetDEV()); });
    driver.OnUPDATERchange = log([](TComDriver& d) { return "UPD:" + std::to_string(d.GetUPDATER()); });
    driver.OnDOLLARSchange = log([](TComDriver&) { return std::string("DOLLARS"); });
    driver.OnQUERYALLchange = log([](TComDriver&) { return std::string("QUERYALL"); });
    driver.OnSentString = log([](TComDriver& d) { return "sent:" + d.GetsentString(); });
    driver.OnConTypechange = log([](TComDriver& d) { return "contype:" + std::to_string(d.GetConType()); });
    driver.OnConModechange = log([](TComDriver& d) { return "conmode:" + std::to_string(d.GetConMode()); });
    driver.OnIpLocalPortchange = log([](TComDriver& d) { return "localport:" + std::to_string(d.GetIpLocalPort()); });
    driver.OnIpRemotePortchange =
        log([](TComDriver& d) { return "remoteport:" + std::to_string(d.GetIpRemotePort()); });
    driver.OnIpRemoteAddresschange = log([](TComDriver& d) { return "remoteaddress:" + d.GetIpRemoteAddress(); });
    driver.ShowSocketError = [this](const std::string& text) { SocketErrors.push_back(text); };
}

std::uint16_t FreeTcpPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

std::uint16_t FreeUdpPort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress::AnyIPv4, 0);
    return socket.localPort();
}
