// The link a run opens: what the Port menu, the LAN Setup dialog, "Updater.prm"
// or a batch command line chose. Plain data, filled in by whoever chooses the
// link; the session reads it at START.
#pragma once

#include "ComDriver.h"

#include <cstdint>
#include <string>

struct TLinkSettings {
    // CON_RS232, CON_UDP or CON_TCP.
    tConnectionType ConType = CON_RS232;
    // The port name the operator chose ("COM3"), named in messages.
    std::string ComPort;
    // The device that port opens ("/dev/ttyS2").
    std::string SerialDevice;
    std::string RemoteAddress;
    std::int32_t RemotePort = 0;
    std::int32_t LocalPort = 0;

    bool IsLan() const { return ConType == CON_UDP || ConType == CON_TCP; }
};

// The link as the operator is shown it, in the status list, the reports and
// the summaries: "COM1 (/dev/ttyS0)", a device named on its own once
// ("/dev/ttyUSB0"), "tcp://10.0.0.5:10500", "udp://10.0.0.5:10500".
std::string LinkName(const TLinkSettings& link);
