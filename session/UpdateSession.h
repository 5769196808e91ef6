// TUpdateSession: one run of one card, from START (or Read Id) to its final
// message, with no window.
//
// A session owns everything a run needs: the link driver, the four programming
// engines, the script line lists, the sequencer and its step timer. One
// sequencer step runs per timer tick and per arrival of text from the card; a
// step never waits for the card. Its inputs are plain data (the program's
// folder, the main script, the link, Auto or Manual with the chosen
// components); what it has to say leaves through its events, which a window
// turns into widgets, batch mode into lines of text, tests into recordings.
//
// Any number of sessions may live in one process, each with its own driver and
// engines. The implementation is split by concern: UpdateSession.cpp (inputs,
// status lines, progress, events), Sequencer.cpp (the state machine),
// EngineEvents.cpp, ScriptFilters.cpp and RunEvents.cpp (what a run report hears).
#pragma once

#include "BoxKind.h"
#include "ComDriver.h"
#include "InstCourante.h"
#include "LinkSettings.h"
#include "OperatorHints.h"
#include "SequencerState.h"
#include "UpdatePlan.h"
#include "SkipReason.h"
#include "progboot.h"
#include "progjtag.h"
#include "progpsd.h"

#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TRunObserver;

class TUpdateSession {
public:
    // The three progress values: the current operation, the current component
    // script (or the closing operations), the whole run.
    enum class TRunBar { Operation, Component, Whole };
    struct TBarValue {
        std::int32_t Value = 0;
        std::int32_t Maximum = 100;
    };
    enum class TRunResult { Completed, Failed, Stopped };
    // The components Manual mode programs.
    struct TComponentSelection {
        bool Motherboard = true;
        bool Mcu = true;
        bool Prom1 = true;
    };

    static constexpr std::uint32_t IdleIntervalMs = 500;
    static constexpr std::uint32_t RunIntervalMs = 10;
    // How many of the update's problems a failed check names; the count of the others follows.
    static constexpr std::size_t ProblemsShown = 5;
    // The time left is estimated once the run has gone on this long.
    static constexpr std::int64_t EstimateAfterMs = 2000;
    // A run that waits this long on a card that sends nothing says so, once per silence.
    static constexpr std::uint32_t CardSilenceMs = 30000;
    // Text from the card that no wait has taken yet; a card that sends more than
    // this without a reply the run can use ends the run.
    static constexpr std::size_t MaxReceivedText = 64 * 1024;

    // appDir: the program's folder without a trailing delimiter. scriptArgument:
    // the main script named on the command line, or empty for "script.ini".
    explicit TUpdateSession(std::string appDir, std::string scriptArgument = {});
    ~TUpdateSession();
    TUpdateSession(const TUpdateSession&) = delete;
    TUpdateSession& operator=(const TUpdateSession&) = delete;

    // ---- Inputs, read when a run starts.
    void SetLink(const TLinkSettings& link) { Link = link; }
    const TLinkSettings& GetLink() const { return Link; }
    // Manual mode programs the selection; Auto mode skips what is up to date.
    void SetManual(bool manual) { Manual = manual; }
    bool IsManual() const { return Manual; }
    void SetSelection(const TComponentSelection& selection) { Selection = selection; }
    const TComponentSelection& GetSelection() const { return Selection; }
    // The update is checked before the link opens: a run with a problem ends
    // at once and sends nothing to the card. On by default.
    void SetCheckUpdate(bool check) { CheckUpdate = check; }
    bool GetCheckUpdate() const { return CheckUpdate; }
    // The program's folder is an unpacked bundle: the files its lines name must
    // be inside it. A name that is absolute or leaves it through ".." is a
    // problem of the check, refused before the link opens even with the check
    // off, and an error of the engine that would read it. Off for a plain folder.
    void SetConfinedToFolder(bool confined);
    bool IsConfinedToFolder() const { return Confined != nullptr; }
    const std::string& GetAppDir() const { return AppDir; }
    // The main script named on the command line; empty for "script.ini".
    const std::string& GetScriptArgument() const { return ScriptArgument; }
    // How long the card may stay silent before the status list says so.
    void SetCardSilenceInterval(std::uint32_t ms) { CardSilenceIntervalMs = ms; }
    // Milliseconds of a monotonic clock: what the time left and the card's
    // silence are measured on; replaceable so that tests drive it.
    std::function<std::int64_t()> ClockMs = SteadyClockMs;
    static std::int64_t SteadyClockMs();
    // The view's words for what the operator can do; the window's by default.
    void SetOperatorHints(const TOperatorHints& hints) { Hints = hints; }

    // ---- Operations.
    // START: runs the main script. Only from idle; false otherwise. The run
    // starts clean (engines reset, the program's folder as the card folder,
    // the last run's identity cleared) also right after construction or STOP.
    bool Start();
    // Read Id: runs "readid.ini", likewise.
    bool ReadId();
    // STOP: the link is closed at once and the session is idle; the engines stay
    // where they are until the next START or idle step resets them.
    void Stop();
    // No step follows any more and the link is closed: the session's owner is going.
    void Close();
    // Ends the run under way as failed with this message, as an engine's error
    // does (a time-out of the view); nothing when idle or when the run is ending.
    void Fail(std::string_view message);

    // ---- The sequencer's drive: the timer's tick and the driver's arrivals.
    void Timer1Timer();
    void DriverRecString(TComDriver& Sender, std::int32_t nro);

    // ---- Status lines. ShowError also puts the sequencer into its error state.
    void ShowInfo(std::string_view text);
    void ShowError(std::string_view text);
    std::string DeviceIdText() const;

    const std::string& GetCurentCardDir() const { return CurentCardDir; }
    // Also hands the folder to every engine as its CurentDir.
    void SetCurentCardDir(const std::string& dir);

    // ---- Events. Each is called only when set.
    // A status line, exactly as the status list adds it (routine step names and
    // repeats of the last line never come).
    std::function<void(const std::string& line)> OnStatusLine;
    std::function<void(TRunBar bar, const TBarValue& value)> OnProgress;
    // An engine reported the card's device identifier.
    std::function<void(std::int32_t deviceId)> OnDeviceID;
    // Text arrived from the card.
    std::function<void()> OnCardText;
    // The card's reply was taken: the probe's answer, or a reply an engine took.
    // A card's silence counts from here; bytes of line noise do not end it.
    std::function<void()> OnReplyTaken;
    // A modal message box: the call returns once the operator has seen it.
    std::function<void(TBoxKind kind, const std::string& text)> OnBox;
    // An idle step ran: the run's controls can be offered again.
    std::function<void()> OnIdle;
    // The script is loaded and the link is being opened.
    std::function<void()> OnRunStart;
    // A run failed or completed and its link is closed; for a failure, the box
    // and the end of the run follow.
    std::function<void()> OnRunEnding;
    // A run ended. message: the error (failed) or the last status line; script:
    // the script that was running when it failed.
    std::function<void(TRunResult result, const std::string& message, const std::string& script)> OnRunEnd;

    // ---- The record of each run (RunEvents.cpp): the observer is told what a
    // run report keeps. One observer at a time; nullptr tells nobody.
    void SetRunObserver(TRunObserver* observer) { RunObserver = observer; }

    // ---- What views and tests observe.
    TSeqState GetSeqState() const { return SeqState; }
    bool IsIdle() const { return SeqState == TSeqState::Idle; }
    // A run is on and waits for the card (not in an engine's pause: a "wait" line, the opening of a play).
    bool WaitsOnCard() const;
    const TBarValue& GetBar(TRunBar bar) const { return Bars[static_cast<std::size_t>(bar)]; }
    std::int32_t GetCardDeviceID() const { return CardDeviceID; }
    const std::string& GetOptionCode() const { return OptionCode; }
    const std::vector<std::string>& GetScriptLines() const { return ScriptLines; }
    const std::string& GetScriptPath() const { return ScriptPath; }
    // Of the last run: the commands and lines the engines sent, and the
    // retransmissions the card asked for.
    std::int32_t GetLinesSent() const { return LinesSent; }
    std::int32_t GetRetransmissions() const { return Retransmissions; }
    // Bytes of line noise dropped in the last run (the probe's and the engines' waits).
    std::uint64_t GetNoiseDropped() const;
    // What the run is planned to do, as found when it started.
    const TUpdatePlan& GetPlan() const { return Plan; }
    // Seconds the run still needs, from the bytes the plan counts and the rate
    // the run has had so far; -1 while there is nothing to go on.
    std::int64_t SecondsLeft() const;
    QTimer& GetTimer() { return Timer1; }
    TComDriver& GetDriver() { return *Driver; }
    TProgBoot& GetProgBoot() { return *ProgBoot; }
    TInstCrt& GetInstCrt() { return *InstCrt; }
    TProgPsd& GetProgPsd() { return *ProgPsd; }
    TProgJtag& GetProgJtag() { return *ProgJtag; }

private:
    std::string AppFolder() const;
    void ResetForRun();
    void AddStatusLine(std::string_view text);
    void EndRun(TRunResult result, const std::string& message, const std::string& script);

    // ---- Progress values (UpdateSession.cpp).
    TBarValue& Bar(TRunBar bar) { return Bars[static_cast<std::size_t>(bar)]; }
    void ToMinimum(TRunBar bar);
    void ToMaximum(TRunBar bar);
    void StepBar(TRunBar bar);
    void SetBarMaximum(TRunBar bar, std::int32_t maximum);
    void SetBarValue(TRunBar bar, std::int32_t value);

    // ---- Sequencer (Sequencer.cpp).
    void SequencerStep();
    // One step; an exception that escapes it ends the run like an error.
    void GuardedStep();
    // A step that moved the run on (text taken, an operation started or ended,
    // the state changed) without leaving it waiting for the card has another
    // step follow as soon as the event loop has turned, instead of at the next
    // tick: the next script line, or a second reply that came in the same
    // arrival, would otherwise cost a timer interval each.
    void StepAgainIfMovedOn(TSeqState stateBefore);
    void StepAgain();
    static bool StepsWithoutCard(TSeqState state);
    void StepIdle();
    void StepLoadScript();
    // False, after reporting the problems, when the update would stop part-way.
    bool CheckedUpdate();
    void OpenLink();
    void StepQueryCard();
    void StepAwaitCardType();
    void StepStartSync();
    void StepAwaitSync();
    void StepFailed();
    void StepErrorBox();
    void StepStartClosing();
    void StepAwaitClosing();
    void StepCompleted();
    void StepNextMainLine();
    void StartComponent(const std::string& folder);
    void StepAwaitMainLine();
    void StepNextComponentLine();
    void StepAwaitComponentLine();
    void StepStartBootOption();
    void StepAwaitBootOption();
    void StepAwaitOptionCode();
    // Offers CurrentLine to the engines; true when one took it.
    bool Dispatch();
    void StepBusyEngines();
    void SyntaxError(std::int32_t lineNumber);
    std::vector<TGestionnaire*> Engines() const;
    std::string SerialOpenError() const;
    void ShowSerialOpenFailure();
    // Which link the probe asked the card on, and how, once it has run out.
    std::string UnansweredLinkText() const;
    void WatchCardSilence();

    // ---- Engine events (EngineEvents.cpp).
    void WireEngine(TGestionnaire& engine);
    void EngineSend(TGestionnaire& Sender);
    void EngineReceive(TGestionnaire& Sender);
    void EngineChangeBufIn(TGestionnaire& Sender);
    void EngineChangeBusy(TGestionnaire& Sender);
    void EngineStepProgress(TGestionnaire& Sender);
    void EngineChangeMaxProgress(TGestionnaire& Sender);
    void EngineInfo(TGestionnaire& Sender);
    void EngineError(TGestionnaire& Sender);
    void EngineChangeDeviceID(TGestionnaire& Sender);
    void EngineRetransmission();
    void EngineNoise(TGestionnaire& Sender);
    void ReplyTaken();
    void LookUpOptionCode();

    // ---- What the run observer is told (RunEvents.cpp).
    void TellRunStarted();
    void TellStatusLine();
    void TellLineStarted(const std::string& script, std::int32_t lineNumber, const std::string& line);
    void TellSent(const std::string& text);
    void TellRetransmission();
    void TellProgrammed(const std::string& part);
    void TellEngineBusy(TGestionnaire& Sender);
    void TellEngineError(TGestionnaire& Sender);
    void TellBootChecksum(std::uint16_t checksum);
    void TellVersionRead(const TCardText& text);
    void TellTextWritten(const TCardText& text);
    void TellDeviceType();
    void TellDeviceId();
    void TellSkipped(const std::string& component, TSkipReason reason);
    void TellRunEnded(TRunResult result, const std::string& message, const std::string& script);

    // ---- Script filters (ScriptFilters.cpp).
    void SkipUpToDate(TGestionnaire& Sender, std::int32_t component);
    void SkipFailedCard(TGestionnaire& Sender, std::int32_t card);
    void CardReady(TGestionnaire& Sender, std::int32_t card);
    void FilterMainScriptManual();
    void FilterComponentScriptManual();

    std::string AppDir;
    std::string ScriptArgument;
    TLinkSettings Link;
    bool Manual = false;
    TComponentSelection Selection;
    bool CheckUpdate = true;
    // The engines' file source while confined, over the one they had before.
    std::unique_ptr<TConfinedFiles> Confined;
    const TFileSource* UnconfinedFiles = nullptr;
    TUpdatePlan Plan;
    // Bytes the link carried in this run, both ways, and since when (ClockMs; -1 before any run).
    std::uint64_t BytesCarried = 0;
    std::int64_t RunStartMs = -1;

    std::string CurentCardDir;
    std::vector<std::string> ScriptLines;
    std::vector<std::string> ComponentLines;
    std::unique_ptr<TComDriver> Driver;
    std::unique_ptr<TProgBoot> ProgBoot;
    std::unique_ptr<TInstCrt> InstCrt;
    std::unique_ptr<TProgPsd> ProgPsd;
    std::unique_ptr<TProgJtag> ProgJtag;
    std::string ScriptPath;
    std::string ComponentScriptPath;
    std::int32_t ComponentIndex = -1;
    std::int32_t ScriptLineIndex = 0;
    std::int32_t ComponentLineIndex = 0;
    TSeqState SeqState = TSeqState::Idle;
    std::int32_t CardDeviceID = 0;
    bool DeviceIdentified = false;
    std::string LastError;
    std::string OptionCode;
    std::uint32_t Countdown = 0;
    std::uint16_t ProbeIndex = 0;
    std::uint16_t ProbeRetries = 0;
    bool EngineBusy = false;
    std::string CurrentLine;
    std::string ReceivedText;
    TBarValue Bars[3];
    std::int32_t LinesSent = 0;
    std::int32_t Retransmissions = 0;
    std::uint64_t EngineNoiseDropped = 0;
    std::uint64_t DriverNoiseAtStart = 0;
    std::string LastStatusLine;
    QTimer Timer1;
    // When a reply of the card was last taken, or the silence watch began (ClockMs; -1: not yet).
    std::int64_t HeardAtMs = -1;
    std::uint32_t CardSilenceIntervalMs = CardSilenceMs;
    TOperatorHints Hints;
    bool CardSilenceShown = false;

    TRunObserver* RunObserver = nullptr;

    bool InStep = false;
    // What the step under way did, as the engines' events tell it.
    bool StepMovedOn = false;
    bool StepSentToCard = false;
    bool StepAgainPosted = false;
    bool Closed = false;
};
