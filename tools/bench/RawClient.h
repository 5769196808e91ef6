// The raw limit of a link: what an update exchanges with the card, sent
// straight from a prepared list, each line waiting for its answer, with nothing
// else in the loop (no engines, no event loop, no window). The exchanges are
// the updater's own, in its order: the first HEX line of an upload goes twice,
// every upload ends with its checksum record, a streamed scan sends its data
// once the card accepts its record, captured data are acknowledged with ".".
#pragma once

#include "RawLink.h"

#include <cstdint>
#include <string>
#include <vector>

// One effect-file statement as the card receives it.
struct PlayRecord {
    std::string Record;  // without its line end
    std::string Stream;  // scan data sent after the card accepts the record; empty when none
    bool Capture = false;  // the card answers with captured bits, which are acknowledged
};

// The records of an effect file, translated as the JTAG engine translates it.
// False, with the line number in error, when a line cannot be played.
bool TranslateEffectFile(const std::string& path, std::vector<PlayRecord>& records, std::string& error);

class RawClient {
public:
    explicit RawClient(RawLink& link) : Link(link) {}

    // The firmware's device query and the hand-over to the boot loader.
    bool HandOver();
    // "%" until the boot loader answers, then the device type; the reply
    // carries the boot checksum and the device identifier.
    bool Synchronise();
    // Erase, the HEX lines and the checksum record over first..last: "P0".."P7" or "PB".
    bool Upload(const std::string& command, const std::vector<std::string>& lines, std::uint16_t first,
                std::uint16_t last);
    // A command whose four-character text follows its acknowledgement ("OP", "0000").
    bool WriteText(const std::string& command, const std::string& text);
    // A command acknowledged by "." ("FI").
    bool Command(const std::string& command);
    // "P8", the records, and the end record.
    bool Play(const std::vector<PlayRecord>& records);

    // Commands, lines, records, streams and acknowledgements of captured data
    // sent so far: what the card counts as commands received.
    std::uint64_t Exchanges() const { return Sent; }
    const std::string& Failure() const { return Error; }

private:
    bool Exchange(const std::string& text);
    // Waits for the card's "." (or the given two-character acceptance); any other answer fails.
    bool Accepted(const std::string& acceptance);
    bool Fail(const std::string& what);

    RawLink& Link;
    std::uint64_t Sent = 0;
    std::string Error;
};
