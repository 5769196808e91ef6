// Writes what the simulated card holds as a JSON document, so that tests and
// the demo can compare it with the images that were meant to be programmed.
#pragma once

#include "SimulatedCard.h"

#include <string>

class QJsonObject;

QJsonObject CardStateJson(const SimulatedCard& card);
// Replaces the file atomically (temporary file, then rename); false on failure.
bool WriteCardState(const SimulatedCard& card, const std::string& path);
