// The --port values of batch mode: the link of each card, given on the command
// line instead of "Updater.prm".
//
//   COM1 .. COM9              serial, the device the Port menu maps it to
//   /dev/ttyUSB0              serial, that device
//   tcp://HOST:PORT           TCP to the card
//   udp://HOST:PORT[?local=N] UDP to the card from local port N
//
// HOST is an IPv4 address as the LAN Setup dialog takes it; ports are 0 to 65535.
#pragma once

#include "LinkSettings.h"
#include "SettingsList.h"

#include <cstdint>
#include <string>
#include <vector>

struct TPortArgument {
    // As given: shown in front of every line of this card.
    std::string Text;
    TLinkSettings Link;
};

// False, with the reason, when text names no link. A UDP link without
// "?local=" binds defaultLocalPort; a COM port opens the device its key of
// settings names, else the standard one.
bool ParsePortArgument(const std::string& text, const TSettingsList& settings, std::int32_t defaultLocalPort,
                       TPortArgument& port, std::string& error);

// The reason the ports cannot run together (the same card twice, two UDP cards
// on one local port), or empty.
std::string PortConflict(const std::vector<TPortArgument>& ports);
