// TUdpEndpoint: the link driver's UDP socket.
//
// Active means bound to the local port on all IPv4 addresses of the computer;
// every activation binds the local port current at that moment. Received
// datagrams reach OnRead on the thread of the event loop, in order of arrival.
#pragma once

#include <QUdpSocket>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TUdpEndpoint {
public:
    using TReadEvent = std::function<void(std::string_view data, const std::string& senderAddress,
                                          std::uint16_t senderPort)>;

    // A larger datagram is dropped whole.
    static constexpr std::size_t MaxDatagramSize = 8192;
    static constexpr char InvalidAddressText[] = "Invalid IP address : ";

    TUdpEndpoint();
    TUdpEndpoint(const TUdpEndpoint&) = delete;
    TUdpEndpoint& operator=(const TUdpEndpoint&) = delete;

    // Used as a 16-bit port number; 0 lets the system choose.
    void SetLocalPort(std::int32_t port) { LocalPort = port; }
    std::int32_t GetLocalPort() const { return LocalPort; }

    // False when the port cannot be bound (for example another program holds it);
    // the endpoint then stays inactive.
    bool Activate();
    void Deactivate();
    bool IsActive() const;
    // The port the socket is bound to, 0 while inactive.
    std::uint16_t BoundPort() const;

    // One datagram from the local port to address:port. False, with the reason in
    // error, when address is not an IP address or the system refuses the datagram.
    bool Send(std::string_view data, const std::string& address, std::int32_t port, std::string& error);

    TReadEvent OnRead;

private:
    void ReadPending();

    std::int32_t LocalPort = 0;
    QUdpSocket Socket;
    std::array<char, MaxDatagramSize> Datagram{};
};
