// What an effect file leaves in the memory of the simulated JTAG device, as far
// as the file itself decides it: ERASE makes every word FF, each WRITE scan
// stores one word at the address register and moves it on, READ moves it on.
// Words that the file neither erases nor writes keep whatever the device held,
// so they are not known here.
//
// The file is read through the same translator as a play, so a line the card
// would reject makes the file unusable here too. One device on the chain.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class PromImage {
public:
    PromImage();

    // False when the file cannot be read or a line does not translate;
    // Problem() then says which.
    bool Play(const std::string& path);

    const std::vector<std::uint8_t>& Bytes() const { return Memory; }
    // The first word the file decides that memory (the whole device memory)
    // holds differently; none when they agree.
    std::optional<std::size_t> FirstDifferentWord(const std::vector<std::uint8_t>& memory) const;
    std::size_t WordsWritten() const { return Writes; }
    const std::string& Problem() const { return Failure; }

private:
    void Scan(bool instruction, std::uint32_t bits, const std::string& shifted, bool update);

    std::vector<std::uint8_t> Memory;
    std::vector<bool> Known;
    std::uint8_t Instruction;
    std::uint16_t Address = 0;
    std::size_t Writes = 0;
    std::string Failure;
};
