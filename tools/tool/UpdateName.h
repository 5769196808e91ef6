// The name of an update, as a bundle's manifest keeps it.
#pragma once

#include <string>

// The text of the main script's first prompt line, as the card check engine
// shows it in the status list; empty when the script shows none.
std::string UpdateName(const std::string& scriptPath);
