// Peers and waits for the link tests: a pseudo-terminal standing for the card's
// serial line, UDP and TCP peers on 127.0.0.1, and a log of the driver's events.
#pragma once

#include "ComDriver.h"
#include "EventLoopWait.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <termios.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>


// A pseudo-terminal pair: the port under test opens SlaveName(); the test plays
// the card on the master side.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlaveName() const { return Name; }
    void Write(const std::string& bytes) const;
    // Hangs up the line, as a device that disappears.
    void CloseMaster();
    termios Line() const;

    std::string Received;

private:
    int Master = -1;
    int Slave = -1;
    std::string Name;
    std::unique_ptr<QSocketNotifier> Notifier;
};

class UdpPeer {
public:
    explicit UdpPeer(const char* address = "127.0.0.1", std::uint16_t port = 0);
    std::uint16_t Port() const { return Socket.localPort(); }
    void SendTo(std::uint16_t port, const std::string& bytes);

    std::vector<std::string> Datagrams;
    std::vector<std::uint16_t> SenderPorts;

private:
    QUdpSocket Socket;
};

// Accepts one connection at a time and keeps what arrives on it.
class TcpPeer {
public:
    TcpPeer();
    bool Listen(std::uint16_t port = 0);
    std::uint16_t Port() const { return Server.serverPort(); }
    void Stop() { Server.close(); }
    void Write(const std::string& bytes) { Client->write(bytes.data(), static_cast<qint64>(bytes.size())); }

    QTcpSocket* Client = nullptr;
    int Connections = 0;
    std::string Received;

private:
    QTcpServer Server;
};

// Every driver event as a line of text, checking that each carries the driver's Tag.
// In MODE_RAW an OnRecString takes the received text with ReadRaw into Raw.
class DriverLog {
public:
    explicit DriverLog(TComDriver& driver);

    std::vector<std::string> Events;
    std::string Raw;
    std::vector<std::string> SocketErrors;
};

std::uint16_t FreeTcpPort();
std::uint16_t FreeUdpPort();
