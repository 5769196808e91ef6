// corvane-updater --find RANGE [--find-port PORT]: the cards of the LAN that
// answer the device query, one a line on stdout, sorted by address:
//
//   udp://192.168.0.12:10500  DEV 57
//
// The exit code is 0 when a card answered, 1 when none did (or the query could
// not be sent at all), 2 on a range or port that cannot be searched.
#pragma once

#include "CardFinder.h"

#include <cstdint>
#include <string>
#include <vector>

// The range and the card port of a search; false, with the reason, when they
// cannot be searched. An empty port text is the standard card port.
bool ParseFindArguments(const std::string& range, const std::string& port, std::vector<std::uint32_t>& addresses,
                        std::uint16_t& cardPort, std::string& error);

// One line for the card, as --find lists it.
std::string FoundCardText(const TCardFinder::TFoundCard& card);

// Runs the search in the application's event loop; the exit code.
int RunFind(const std::string& range, const std::string& port);
