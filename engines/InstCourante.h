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
#include <iosfwd>
#include <string>

// The card holds the version that the script names for the component.
using TVersionNotifyEvent = std::function<void(TGestionnaire& Sender, std::int32_t component)>;
// A pinged card refused the ping.
using TCardErrorNotifyEvent = std::function<void(TGestionnaire& Sender, std::int32_t card)>;
// A pinged card acknowledged the ping.
using TCardReadyNotifyEvent = std::function<void(TGestionnaire& Sender, std::int32_t card)>;

// A version or option text as the card gave or took it.
struct TCardText {
    std::string Command;    // the operation: "T", "V", "UV" or "OP"
    std::string Component;  // the component character of "T" and "V", as the line gives it; empty otherwise
    std::string Expected;   // "T": the version the line names
    std::string Text;       // read from the card ("T") or written to it
};
using TCardTextEvent = std::function<void(TGestionnaire& Sender, const TCardText& text)>;

class TInstCrt : public TGestionnaire {
public:
    enum class InstState : std::uint8_t {
        Idle = 0,
        ShowPrompt = 1,
        StartWait = 2,
        Waiting = 3,
        SendReset = 4,
        AwaitResetAcknowledgement = 5,
        SendNp = 6,
        AwaitNpAcknowledgement = 7,
        Done = 8,
        Halted = 9,
        SendFinish = 10,
        AwaitFinishAcknowledgement = 11,
        // "V": the component, then the version text written to it.
        SendVersionComponent = 12,
        AwaitVersionComponentAcknowledgement = 13,
        AwaitVersionTextAcknowledgement = 14,
        // "T": the component, then the card's version compared with the line's.
        SendTestComponent = 15,
        AwaitTestComponentAcknowledgement = 16,
        CompareVersion = 17,
        // "UV": the command, then the version text.
        SendUserVersion = 18,
        AwaitUserVersionAcknowledgement = 19,
        AwaitUserVersionTextAcknowledgement = 20,
        // "FY": the start marker of an update.
        SendStart = 21,
        AwaitStartAcknowledgement = 22,
        SendPing = 23,
        AwaitPingReply = 24,
        // "OP": the command, then the option code.
        SendOption = 25,
        AwaitOptionAcknowledgement = 26,
        AwaitOptionTextAcknowledgement = 27,
    };

    void ReportError(std::string_view msg) override;
    void Reset() override;
    void Step();
    bool PlanLine(std::string_view line, TOperationPlan& plan) const override;
    bool IsPausing() const override { return State == InstState::StartWait || State == InstState::Waiting; }

    InstState GetState() const { return State; }

    TVersionNotifyEvent OnVersionSame;
    TCardErrorNotifyEvent OnCardError;
    TCardReadyNotifyEvent OnCardReady;
    // The card's version of a component, read by "T".
    TCardTextEvent OnVersionRead;
    // The card accepted a version ("V", "UV") or its option code ("OP").
    TCardTextEvent OnVersionWritten;
    TCardTextEvent OnOptionWritten;

    // Clock of the "wait" pause.
    TTickSource TickCount = SteadyTickCount;

private:
    struct TKeyword {
        const char* Text;
        bool RemovedAtOnce;  // the keyword and the blanks behind it leave the line when it is taken
        InstState FirstState;
    };
    static const TKeyword* Match(std::string_view line);
    // The line as the keyword's first working state finds it.
    static std::string AsTaken(const TKeyword& keyword, std::string_view line);
    // Why the line cannot go to the card, found before anything is sent; empty
    // when nothing stands in the way. rest: the line as the first working state finds it.
    static std::string Refusal(InstState first, std::string_view rest);
    // Reports the refusal of the line in the first working state; true when there is one.
    bool Refused();

    void TakeLine();
    void AwaitAcknowledgement(char refusal, std::string_view message, InstState next);
    // The last acknowledgement of a two-command exchange: the text was written.
    void StepOnAcknowledgement(char refusal, std::string_view message, const TCardTextEvent& written,
                               std::string_view command);
    void Done();

    void ShowPrompt();
    void StartWait();
    void ContinueWait();

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

    // Version and option exchanges: the first command, then the data text.
    static constexpr std::int32_t TwoCommandProgress = 2;

    InstState State = InstState::Idle;
    std::int32_t WaitDuration = 0;
    std::uint32_t WaitStart = 0;
    std::int32_t Component = 0;
    // The component character as the line gives it.
    std::string ComponentText;
    std::int32_t Card = 0;
};

std::string StateName(TInstCrt::InstState state);
std::ostream& operator<<(std::ostream& out, TInstCrt::InstState state);
