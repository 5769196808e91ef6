// What the simulated card wrote to its state file (--state), as tests read it.
#pragma once

#include <string>

// Every byte the card's link carried from the PC, at every baud rate.
long long BytesFromPcInState(const std::string& statePath);
