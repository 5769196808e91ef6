// What one operation line will do, said by the engine that takes it, without
// a card: the commands and texts it sends, the card's answers it waits for,
// the files it reads, its pauses, and the problems that would stop it.
//
// The card is taken to answer as it does when all goes well: the first device
// type accepted, no retransmission, one device on the JTAG chain.
#pragma once

#include "constante.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The card's acknowledgement, ".".
inline constexpr std::size_t AcknowledgementBytes = 1;

struct TPlanProblem {
    std::string File;
    std::int32_t Line = 0;  // 1-based; 0 when the problem is about the file as a whole
    std::string Message;
    // A name that leaves the update's folder: refused even when the check is off.
    bool Outside = false;
};

// "FILE:LINE: message", or "FILE: message" without a line.
std::string ProblemText(const TPlanProblem& problem);

// The run reads a component, bank or card character that is not a hexadecimal
// digit as 0 (VO, TO, Vx, CX) or not at all (PZ). The check says so, with the
// character: "V followed by 'O', not a hexadecimal digit"; empty when the line
// does not start with such a letter or its character is a digit.
std::string DigitProblem(std::string_view line);
// The problem of a line no engine takes: the run's syntax error, the line's
// text, and what is wrong with its character when that is known.
std::string SyntaxProblem(std::int32_t lineNumber, std::string_view line);

struct TOperationPlan {
    std::uint32_t Commands = 0;         // commands and the texts that follow them
    std::uint64_t HexLines = 0;         // transmissions of HEX file lines (the first line goes twice)
    std::uint32_t ChecksumRecords = 0;  // the record that has the card verify an upload
    std::uint64_t Records = 0;          // effect-file records, the end record included
    std::uint64_t Streams = 0;          // scan data sent after the record that announces it

    std::uint64_t BytesToCard = 0;
    std::uint64_t BytesFromCard = 0;
    std::uint32_t Baud = constante::RawPhaseBaud;  // of the serial line in this phase of a run
    std::uint32_t PauseMs = 0;                     // waits that are not on the wire

    // The data files the operation reads, as it opens them.
    std::vector<std::string> Files;
    // A problem with no File is one of the operation line itself.
    std::vector<TPlanProblem> Problems;

    // One command (or text) of sent bytes, and the card's answer of answer bytes.
    void Exchange(std::size_t sent, std::size_t answer);
    // The engine would refuse the line with this message.
    void Refuse(std::string message) { Problems.push_back({{}, 0, std::move(message), false}); }
    // The line names a file outside the update's folder (TConfinedFiles).
    void RefuseOutside(std::string message) { Problems.push_back({{}, 0, std::move(message), true}); }
    void Problem(const std::string& file, std::int32_t line, std::string message)
    {
        Problems.push_back({file, line, std::move(message), false});
    }

    // Both directions, 10 bits a byte (start bit, 8 data bits, stop bit).
    double WireSeconds() const;
};
