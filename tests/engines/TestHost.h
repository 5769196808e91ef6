// Plays the host of one engine: the shared receive buffer, and a record of
// every event the engine raises, in order. A scripted card feeds replies either
// as answers to what the engine sends or one at a time as the engine polls.
#pragma once

#include "gestionnaire.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class TestHost {
public:
    explicit TestHost(TGestionnaire& engine);

    // Text that has arrived from the card and that no engine has consumed yet.
    std::string Received;
    // Every command given to Send, in order.
    std::vector<std::string> Sent;
    // Events as "send:TEXT", "info:TEXT", "error:TEXT", "busy:0|1", "max:N",
    // "step", "deviceid:N", "speedup".
    std::vector<std::string> Events;
    // The exchange as the card sees it, in order: "> " and each command sent,
    // "< " and each reply that arrived.
    std::vector<std::string> Transcript;
    // Progress steps since the last "max" event.
    int Progress = 0;
    // Bytes of line noise the engine dropped.
    std::size_t Noise = 0;

    // Replies handed out one per poll of the engine (an empty entry: nothing this poll).
    std::deque<std::string> PollReplies;
    // The card's answer to each command; what it returns arrives at once.
    std::function<std::string(const std::string& sent)> Card;

    // The recorded events of one kind, without their "kind:" prefix.
    std::vector<std::string> EventsOf(const std::string& kind) const;

private:
    void Arrive(const std::string& reply);

    TGestionnaire& Engine;
};

// A card that gives each command the answer the table holds for it, every time
// it comes; commands missing from the table get no answer.
std::function<std::string(const std::string& sent)> AnswerTable(std::map<std::string, std::string> answers);

// Steps the engine until it is no longer busy, at most maxSteps times; returns
// the number of steps made.
template <typename Engine>
int StepWhileBusy(Engine& engine, int maxSteps = 100000)
{
    int steps = 0;
    do {
        engine.Step();
        ++steps;
    } while (engine.IsBusy() && steps < maxSteps);
    return steps;
}

// Offers a line as the sequencer does (SetCommandLine, then Step) and steps the
// engine until it is idle again.
template <typename Engine>
int RunLine(Engine& engine, const std::string& line, int maxSteps = 100000)
{
    engine.SetCommandLine(line);
    return StepWhileBusy(engine, maxSteps);
}
