#include "RawLink.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace {

bool SpeedOf(std::uint32_t baud, speed_t& speed)
{
    switch (baud) {
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    default: return false;
    }
}

}  // namespace

RawLink::~RawLink()
{
    if (Fd >= 0)
        ::close(Fd);
}

bool RawLink::ConnectTcp(std::uint16_t port, std::string& error)
{
    Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (Fd < 0 || ::connect(Fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = std::string("cannot connect to 127.0.0.1:") + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    // One short request at a time: nothing may wait for more data to fill a segment.
    const int on = 1;
    ::setsockopt(Fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
}

bool RawLink::OpenSerial(const std::string& device, std::uint32_t baud, std::string& error)
{
    Fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0) {
        error = "cannot open " + device + ": " + std::strerror(errno);
        return false;
    }
    if (!SetBaud(baud)) {
        error = "cannot set " + device + " to " + std::to_string(baud) + " baud";
        return false;
    }
    return true;
}

bool RawLink::SetBaud(std::uint32_t baud)
{
    speed_t speed;
    termios settings{};
    if (!SpeedOf(baud, speed) || ::tcgetattr(Fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&settings, speed);
    return ::tcsetattr(Fd, TCSANOW, &settings) == 0;
}

bool RawLink::Send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(Fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool RawLink::Receive(const ReplyLength& complete, std::string& reply)
{
    const auto deadline = std::chrono::steady_clock::now() + ReplyTimeout;
    for (;;) {
        const std::size_t length = complete(Received);
        if (length > 0) {
            reply.assign(Received, 0, length);
            Received.erase(0, length);
            return true;
        }
        if (!ReadMore(deadline))
            return false;
    }
}

bool RawLink::ReceiveThrough(char end, std::string& reply)
{
    return Receive(
        [end](std::string_view received) {
            const std::size_t at = received.find(end);
            return at == std::string_view::npos ? 0 : at + 1;
        },
        reply);
}

bool RawLink::ReadMore(std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wait{Fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        std::array<char, 8192> buffer;
        const ssize_t n = ::read(Fd, buffer.data(), buffer.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        Received.append(buffer.data(), static_cast<std::size_t>(n));
        return true;
    }
}
