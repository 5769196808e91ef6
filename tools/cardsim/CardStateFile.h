// Writes what the simulated card holds as a JSON document, so that tests and
// the demo can compare it with the images that were meant to be programmed.
#pragma once

#include "CardLink.h"
#include "SimulatedCard.h"

#include <cstdint>
#include <map>
#include <string>

class QJsonObject;

using CardTraffic = std::map<std::uint32_t, CardLink::Traffic>;

// traffic: what the card's link carried, by baud rate.
QJsonObject CardStateJson(const SimulatedCard& card, const CardTraffic& traffic = {});
// Replaces the file atomically (temporary file, then rename); false on failure.
bool WriteCardState(const SimulatedCard& card, const CardTraffic& traffic, const std::string& path);
