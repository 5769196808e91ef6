// What the simulated card holds, as its state file (corvane-cardsim --state) tells.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct CardFlashArea {
    std::uint16_t First = 0;
    std::uint16_t Last = 0;
    std::vector<std::uint8_t> Bytes;  // First to Last
    std::uint32_t Erases = 0;
};

struct CardJtagDevice {
    std::string IdCode;
    std::vector<std::uint8_t> Memory;
};

struct CardState {
    std::uint16_t DeviceId = 0;
    CardFlashArea Boot;
    std::vector<CardFlashArea> Banks;
    std::map<char, std::string> Versions;
    std::string UserVersion;
    std::string OptionCode;
    std::vector<CardJtagDevice> JtagDevices;
};

// False, with the reason in error, when the file cannot be read or is not a card's state.
bool ReadCardState(const std::string& path, CardState& state, std::string& error);
