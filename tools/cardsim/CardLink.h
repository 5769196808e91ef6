// Connects the simulated card to the PC over one transport.
#pragma once

#include "SimulatedCard.h"

#include <functional>
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

protected:
    void FromPc(const std::string& bytes);
    virtual void ToPc(const std::string& bytes) = 0;
    virtual void Disconnect() {}

private:
    SimulatedCard& Card;
};
