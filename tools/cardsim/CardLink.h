// Connects the simulated card to the PC over one transport.
#pragma once

#include "SimulatedCard.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

class CardLink {
public:
    explicit CardLink(SimulatedCard& card);
    virtual ~CardLink();
    CardLink(const CardLink&) = delete;
    CardLink& operator=(const CardLink&) = delete;

    // Starts serving; false with a reason when the transport cannot be set up.
    virtual bool Start(std::string& error) = 0;
    // Where the PC finds the card: a device path or a port number.
    virtual std::string Address() const = 0;

    // Every transmission, as "PC" or "CARD" and its bytes.
    std::function<void(const char* from, const std::string& bytes)> OnTrace;

    // Bytes carried each way, by the baud rate of the line when they entered it
    // (0 on a network link): what the wire time of a run is made of.
    struct Traffic {
        std::uint64_t FromPc = 0;
        std::uint64_t ToPc = 0;
        // Of ToPc, what the firmware sent: its late answers can still be on
        // their way when the updater has set the boot loader's rate.
        std::uint64_t FirmwareToPc = 0;
    };
    const std::map<std::uint32_t, Traffic>& Carried() const { return CarriedByBaud; }

protected:
    // Bytes from the PC: counted, then handed to the card.
    void FromPc(const std::string& bytes);
    // For a line that holds bytes back: CountFromPc as they enter it, ToCard when they arrive.
    void CountFromPc(std::size_t bytes, std::uint32_t baud) { CarriedByBaud[baud].FromPc += bytes; }
    void ToCard(const std::string& bytes);
    virtual void ToPc(const std::string& bytes) = 0;
    virtual void Disconnect() {}
    // The line's speed right now; 0 on a network link.
    virtual std::uint32_t LineBaud() const { return 0; }

private:
    SimulatedCard& Card;
    std::map<std::uint32_t, Traffic> CarriedByBaud;
};
