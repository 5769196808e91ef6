// A simulated card on the test's own event loop, and small update bundles whose
// images the card's memory is compared with after a run. Shared by the session
// and the window tests.
#pragma once

#include "CardLink.h"
#include "LinkSettings.h"
#include "SimulatedCard.h"
#include "TempDir.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class Transport { Tcp, Udp, Pty };
const char* TransportName(Transport transport);

// A simulated card on 127.0.0.1 or behind a pseudo-terminal.
class CardBench {
public:
    explicit CardBench(Transport transport, CardOptions options = {});
    // The "Updater.prm" lines that lead the updater to this card.
    std::string SettingsText() const;
    // The link a session opens to reach this card.
    TLinkSettings SessionLink() const;

    Transport Via;
    SimulatedCard Card;
    std::unique_ptr<CardLink> Link;
    // The local UDP port the updater binds for this card: the system chooses one.
    std::uint16_t LocalUdpPort = 0;
};

// A complete update: "script.ini" with "CM" and "C0", two PSD banks, an effect
// file that erases, writes and reads back the JTAG device's memory, versions,
// and the boot option file.
struct UpdateBundle {
    std::vector<std::string> Boot;
    std::vector<std::string> Bank0;
    std::vector<std::string> Bank1;
    std::vector<std::uint8_t> JtagMemory;  // the first words of the device memory after the play
};
UpdateBundle WriteUpdateBundle(const TempDir& dir);

// Intel HEX lines of data records (16 bytes each, from base on) and the end record.
std::vector<std::string> HexLines(std::uint16_t base, int records, std::uint8_t seed);
// The bytes of area's window in the image that the lines describe (unwritten: FF).
bool HoldsImage(const SimulatedCard::FlashArea& area, const std::vector<std::string>& lines);
// Everything the bundle writes is on the card, and "FI" came last.
bool HoldsBundle(const SimulatedCard& card, const UpdateBundle& bundle);
std::string JoinLines(const std::vector<std::string>& lines);
