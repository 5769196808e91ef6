// What a complete run of an update leaves on the card: the main script
// "script.ini" of a program folder with its component scripts, every line
// carried out (none skipped by Auto or Manual mode or by a card that does not
// answer), and the extended boot image the run ends with.
#pragma once

#include "HexImage.h"

#include <map>
#include <optional>
#include <string>

struct ExpectedImage {
    std::string File;  // relative to the program folder
    bool Readable = false;
    HexImage Image;
};

struct ExpectedUpdate {
    std::string AppDir;  // ending with "/"
    std::optional<ExpectedImage> Boot;
    std::map<int, ExpectedImage> Banks;  // by bank number, the last upload of each
    std::string EffectFile;              // of the last JTAG play, relative; empty when none
    std::map<char, std::string> Versions;
    std::optional<std::string> UserVersion;
};

// False, with the reason in error, when the main script cannot be read.
bool ReadExpectedUpdate(const std::string& appDir, ExpectedUpdate& update, std::string& error);
