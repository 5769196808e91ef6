// TInstCrt: the short card instructions of an update script.
//
// Prompts, pauses, card pings, version numbers, the option code, reset and the
// start and end markers of an update. Each operation exchanges one or two
// commands with the card and ends by clearing Busy; a version or ping result
// that the host acts on is raised as one of the three events below.
#pragma once

#include "TickClock.h"
#include "gestionnaire.h"

#include <cstdint>
#include <functional>

// The card holds the version that the script names for the component.
using TVersionNotifyEvent = std::function<void(TGestionnaire& Sender, std::int32_t component)>;
// A pinged card refused the ping.
using TCardErrorNotifyEvent = std::function<void(TGestionnaire& Sender, std::int32_t card)>;
// A pinged card acknowledged the ping.
using TCardReadyNotifyEvent = std::function<void(TGestionnaire& Sender, std::int32_t card)>;

class TInstCrt : public TGestionnaire {
public:
    void ReportError(std::string_view msg) override;
    void Reset() override;
    void Step();

    std::uint8_t GetState() const { return State; }

    TVersionNotifyEvent OnVersionSame;
    TCardErrorNotifyEvent OnCardError;
    TCardReadyNotifyEvent OnCardReady;

    // Clock of the "wait" pause.
    TTickSource TickCount = SteadyTickCount;

private:
    void TakeLine();
    // One poll for the card's "."; true when it came and was consumed. The
    // refusal letter, when it comes instead, is consumed and reported.
    bool Acknowledged(char refusal, std::string_view message);
    void AwaitAcknowledgement(char refusal, std::string_view message, std::uint8_t next);
    // The last acknowledgement of a two-command exchange.
    void StepOnAcknowledgement(char refusal, std::string_view message);
    void Done();

    void ShowPrompt();
    void StartWait();
    void ContinueWait();

    // False, after reporting it, when nothing follows the keyword.
    bool HasNumberCharacter(std::string_view missingMessage);
    // Removes the component or card character and the blanks behind it.
    void DropNumberCharacter();
    void SendVersionComponent();
    void SendVersionText();
    void SendTestComponent();
    void StartVersionComparison();
    void CompareVersion();
    void SendUserVersionText();
    void SendOptionText();
    void SendPing();
    void AwaitPingReply();

    static constexpr std::uint8_t Idle = 0;
    static constexpr std::uint8_t Finished = 8;
    static constexpr std::uint8_t Halted = 9;
    // Version and option exchanges: the first command, then the data text.
    static constexpr std::int32_t TwoCommandProgress = 2;

    std::uint8_t State = Idle;
    std::int32_t WaitDuration = 0;
    std::uint32_t WaitStart = 0;
    std::int32_t Component = 0;
    std::int32_t Card = 0;
};
