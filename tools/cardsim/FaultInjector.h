// Seeded, repeatable decisions about which messages the card damages or ignores.
#pragma once

#include "CardOptions.h"

#include <random>
#include <string>

class FaultInjector {
public:
    explicit FaultInjector(const FaultOptions& options);

    // Line noise on an incoming HEX line, JTAG record or scan stream: one
    // character changed, or lost when canLose (a message of announced length
    // cannot lose one without stalling both sides). True when damaged.
    bool DamageIncoming(std::string& message, bool canLose);
    bool RequestRepeat() { return Chance(Options.RepeatRate); }
    bool DropAck() { return Chance(Options.DropAckRate); }
    // A stray byte in front of an outgoing reply, as a moved cable or a glitch on
    // a long line makes: one that cannot begin any reply. True when added.
    bool AddNoise(std::string& reply);
    // One byte of line noise, never a byte that can begin a reply.
    char NoiseByte();
    // One hex digit of an outgoing captured-data text changed.
    bool DamageCapture(std::string& hexText);

    bool Refuses(const std::string& command) const { return Options.Refused.count(command) != 0; }
    bool SilentAfter(std::uint64_t commands) const;
    bool CloseAfter(std::uint64_t commands) const;

private:
    bool Chance(double rate);
    std::size_t Pick(std::size_t size);
    char OtherHexDigit(char digit);

    FaultOptions Options;
    std::mt19937_64 Random;
};
