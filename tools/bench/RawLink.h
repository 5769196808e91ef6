// The raw client's connection to the card: a TCP connection or a serial device
// (a pseudo-terminal), written without buffering and read with bounded waits.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class RawLink {
public:
    // Given the text received so far, the length of the complete reply at its
    // front, or 0 while the reply is still incomplete.
    using ReplyLength = std::function<std::size_t(std::string_view received)>;

    RawLink() = default;
    ~RawLink();
    RawLink(const RawLink&) = delete;
    RawLink& operator=(const RawLink&) = delete;

    bool ConnectTcp(std::uint16_t port, std::string& error);
    bool OpenSerial(const std::string& device, std::uint32_t baud, std::string& error);
    // Serial only: the line speed from now on.
    bool SetBaud(std::uint32_t baud);

    bool Send(std::string_view bytes);
    // Waits until a complete reply stands at the front of what was received,
    // then takes it. False when none came before the deadline or the link ended.
    bool Receive(const ReplyLength& complete, std::string& reply);
    // The same for a reply that ends with the character end.
    bool ReceiveThrough(char end, std::string& reply);

    std::chrono::milliseconds ReplyTimeout{10000};

private:
    bool ReadMore(std::chrono::steady_clock::time_point deadline);

    int Fd = -1;
    std::string Received;
};
