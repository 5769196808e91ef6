// corvane-cardsim as a process beside a test of corvane-updater as a process,
// and what a test reads of the two.
#pragma once

#include "CardBench.h"
#include "ChildProcess.h"
#include "RunProcess.h"
#include "TempDir.h"

#include <QJsonObject>

#include <cstdint>
#include <string>
#include <vector>


// A UDP port of 127.0.0.1 that was free a moment ago.
std::uint16_t UnusedUdpPort();

// The card program on one link, its state written when it is stopped.
class CardProcess {
public:
    // address: the local address a network card serves on (empty: 127.0.0.1);
    // port: its port (0: a free one).
    CardProcess(Transport transport, const TempDir& dir, const std::vector<std::string>& options = {},
                const std::string& address = {}, std::uint16_t port = 0);
    // The "Updater.prm" lines that lead the updater to this card.
    std::string SettingsText() const;
    // Stops the card and reads what it holds.
    QJsonObject State();

    std::string StatePath;
    Transport Via;
    ChildProcess Card;
    bool Started = false;
    // The pseudo-terminal, or the port number.
    std::string Address;
};

// A flash area of a card's state.
SimulatedCard::FlashArea AreaOf(const QJsonObject& json);
