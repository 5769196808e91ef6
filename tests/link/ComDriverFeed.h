// Bytes for the link driver's receive path, handed over as its endpoints do.
#pragma once

#include "ComDriver.h"

#include <cstdint>
#include <string>
#include <string_view>

struct TComDriverFeed {
    // One arrival on the serial port (dropped unless ConType is CON_RS232).
    static void Serial(TComDriver& driver, std::string_view bytes) { driver.ComPortReceive(std::string(bytes)); }
    // One datagram from the card's own address and port (dropped unless ConType is CON_UDP).
    static void CardDatagram(TComDriver& driver, std::string_view bytes)
    {
        driver.UdpRead(bytes, driver.GetIpRemoteAddress(), static_cast<std::uint16_t>(driver.GetIpRemotePort()));
    }
};
