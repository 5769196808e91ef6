// TCardSet: the cards of the window of several cards, without a widget.
//
// Each card has its own update session and run report, as each card of batch
// mode has, and all of them run at once on the one event loop. The set starts
// and stops them together or one by one and keeps what each card's row shows:
// its status list, the step under way, the device, the result. A failure ends
// that card's run alone and shows no box: its message is the card's result.
// When the last card that was started has ended, the set says so once, and
// the summary of those cards is ready.
#pragma once

#include "PortArgument.h"
#include "RunReport.h"
#include "RunSummary.h"
#include "UpdateSession.h"

#include <QElapsedTimer>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TCardSet {
public:
    enum class TCardState { Idle, Running, Ended };

    struct TCard {
        TPortArgument Port;
        std::unique_ptr<TUpdateSession> Session;
        // Goes before the session it observes.
        std::unique_ptr<TRunReport> Report;
        // The card's status list, every run's lines as the single window keeps them.
        std::vector<std::string> Lines;
        // The last status line of the run under way, then its end.
        std::string Step;
        // The last box of the run (a failure: its message and the script).
        std::string BoxText;
        bool DeviceKnown = false;
        std::int32_t DeviceId = 0;
        TCardState State = TCardState::Idle;
        TUpdateSession::TRunResult Result = TUpdateSession::TRunResult::Stopped;
        std::string Message;
        QElapsedTimer Clock;
        std::int64_t DurationMs = 0;
        // Started since every card was last at rest: the summary names it.
        bool InSummary = false;
    };

    // appDir: the program's folder without a trailing delimiter; script: the
    // main script named on the command line, or empty; reportFolder: where the
    // cards' reports go.
    TCardSet(std::string appDir, std::string script, std::string reportFolder);
    ~TCardSet();
    TCardSet(const TCardSet&) = delete;
    TCardSet& operator=(const TCardSet&) = delete;

    // ---- What every start applies to its card, as START does for one.
    void SetManual(bool manual) { Manual = manual; }
    void SetSelection(const TUpdateSession::TComponentSelection& selection) { Selection = selection; }
    void SetCheckUpdate(bool check) { CheckUpdate = check; }
    // Takes effect from each card's next run.
    void SetReportFolder(const std::string& folder);
    // The update is a bundle's unpacked folder: the cards added from now on keep
    // their lines to its files and name it in their reports.
    void SetBundle(const TReportBundle& bundle) { Bundle = bundle; }

    // ---- The cards.
    // False, with the reason, when the card would clash with one already there
    // (the same card twice, two UDP cards on one local port).
    bool Add(const TPortArgument& port, std::string& error);
    // A running card stays.
    bool Remove(std::size_t index);
    std::size_t Count() const { return Cards.size(); }
    const TCard& Card(std::size_t index) const { return *Cards[index]; }
    TUpdateSession& Session(std::size_t index) { return *Cards[index]->Session; }
    // The row of a card the events name.
    std::size_t IndexOf(const TCard& card) const;
    std::vector<TPortArgument> Ports() const;

    // ---- Runs.
    bool Start(std::size_t index);
    // Every card that is not running; the number started.
    std::size_t StartAll();
    void Stop(std::size_t index);
    void StopAll();
    bool AnyRunning() const;
    // The cards started since every card was last at rest, in the order of their rows.
    std::vector<TSummaryRow> Summary() const;
    // No step follows any more and every link is closed: the owner is going.
    void Close();

    // ---- Events; each is called only when set.
    // The texts of a card's row changed.
    std::function<void(const TCard& card)> OnCardChanged;
    std::function<void(const TCard& card, TUpdateSession::TRunBar bar, const TUpdateSession::TBarValue& value)> OnProgress;
    // A line was added to a card's status list.
    std::function<void(const TCard& card, const std::string& line)> OnStatusLine;
    // Whether a card runs changed.
    std::function<void()> OnRunningChanged;
    // The last card that ran has ended: Summary() is ready.
    std::function<void()> OnAllEnded;

private:
    void Wire(TCard& card);
    void RunEnded(TCard& card, TUpdateSession::TRunResult result, const std::string& message);
    void Changed(const TCard& card);

    std::string AppDir;
    std::string Script;
    std::string ReportFolder;
    bool Manual = false;
    TUpdateSession::TComponentSelection Selection;
    bool CheckUpdate = true;
    std::optional<TReportBundle> Bundle;
    std::vector<std::unique_ptr<TCard>> Cards;
};
