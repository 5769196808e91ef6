// TTcpClient: the link driver's TCP connection to the card.
//
// Open starts a connection that completes later (OnConnect). Every notification
// arrives on the thread of the event loop. The connection is unbuffered: what is
// sent goes to the system at once, and OnRead is raised again, turn after turn of
// the event loop, for as long as received data is waiting to be taken. OnError is always delivered from the
// event loop, never from inside Open, so a handler may start a new attempt at
// once; a failure of an attempt that has been closed since is not delivered.
// The card closing the connection is not an error: the client is then simply no
// longer connected.
#pragma once

#include <QTcpSocket>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TTcpClient {
public:
    using TNotify = std::function<void()>;

    TTcpClient();
    TTcpClient(const TTcpClient&) = delete;
    TTcpClient& operator=(const TTcpClient&) = delete;

    // An IP address in text form; no name lookup is made.
    void SetAddress(std::string_view address) { Address = address; }
    const std::string& GetAddress() const { return Address; }
    // Used as a 16-bit port number.
    void SetPort(std::int32_t port) { Port = port; }
    std::int32_t GetPort() const { return Port; }

    // Starts connecting; false when the address is not an IP address.
    bool Open();
    // Ends the connection or the attempt.
    void Close();
    bool IsConnected() const;
    // Neither connected nor connecting.
    bool IsIdle() const;
    // The system's message for the last failed attempt; empty once connected.
    const std::string& LastFailure() const { return Failure; }

    // Written to the system at once; what it does not take yet is kept and sent
    // as the connection allows.
    void Send(std::string_view data);
    // Up to max bytes of what has arrived; 0 when nothing is waiting.
    std::int64_t Receive(char* buffer, std::int64_t max);

    TNotify OnConnect;
    TNotify OnRead;
    TNotify OnError;

private:
    void Failed(QAbstractSocket::SocketError error);
    static void Raise(const TNotify& event);

    std::string Address;
    std::int32_t Port = 0;
    // Tells a failure of the current attempt from one of an attempt already closed.
    std::uint32_t Attempt = 0;
    std::string Failure;
    QTcpSocket Socket;
};
