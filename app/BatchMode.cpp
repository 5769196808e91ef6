#include "BatchMode.h"

#include "BatchJson.h"
#include "BundleOpening.h"
#include "Utils.h"
#include "constante.h"
#include "textutil.h"

#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>

namespace {

constexpr int SilenceCheckMs = 100;
constexpr int ProgressRedrawMs = 200;
constexpr char EraseLine[] = "\r\x1B[K";
constexpr int UsageExitCode = 2;

int Percent(const TUpdateSession::TBarValue& bar) { return bar.Maximum <= 0 ? 0 : bar.Value * 100 / bar.Maximum; }

void WriteAll(std::FILE* stream, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

std::string ProgressLineText(int overallPercent, int operationPercent, std::int64_t secondsLeft)
{
    std::string text = constante::ProgressOverall + std::to_string(overallPercent) + "%  " + constante::ProgressOperation +
                       std::to_string(operationPercent) + '%';
    if (secondsLeft >= 0)
        text += "  " + FormatText(constante::ProgressTimeLeft, TimeText(secondsLeft));
    return text;
}


TBatchMode::TBatchMode(std::string appDir, const TUpdaterCommandLine& line, int signalFd)
    : AppDir(std::move(appDir)), Line(line), StopSignals(signalFd, [this](int signal) { SignalArrived(signal); }),
      ProgressOnTerminal(!line.Json && ::isatty(STDERR_FILENO) == 1)
{
    if (Line.Json)
        Json = std::make_unique<TBatchJson>(Cards, [](const std::string& object) { WriteAll(stdout, object + '\n'); });
    SilenceCheck.setInterval(SilenceCheckMs);
    QObject::connect(&SilenceCheck, &QTimer::timeout, &SilenceCheck, [this] { CheckSilence(); });
    ProgressTimer.setInterval(ProgressRedrawMs);
    QObject::connect(&ProgressTimer, &QTimer::timeout, &ProgressTimer, [this] { DrawProgress(); });
}

TBatchMode::~TBatchMode()
{
    Cards.clear();
}

std::string TBatchMode::SettingsPath() const { return TSettingsFile::PathFor(AppDir); }

bool TBatchMode::ChooseLinks(std::vector<TPortArgument>& ports, std::string& error)
{
    if (Line.Ports.empty()) {
        ports.push_back({{}, Settings.LinkFor(Choice)});
        return true;
    }
    for (const std::string& text : Line.Ports) {
        TPortArgument port;
        if (!ParsePortArgument(text, Settings.List(), Choice.LocalPort, port, error))
            return false;
        ports.push_back(port);
    }
    error = PortConflict(ports);
    return error.empty();
}

int TBatchMode::Run()
{
    Choice = Settings.Load(TSettingsFile::LoadPathFor(AppDir), [this](const std::string& text) { PrintError(text); });
    std::vector<TPortArgument> ports;
    std::string error;
    if (!ChooseLinks(ports, error)) {
        WriteAll(stderr, FormatText(constante::UsageErrorFormat, error) + constante::UpdaterUsage);
        return UsageExitCode;
    }
    for (const TPortArgument& port : ports)
        AddCard(port);
    for (const std::unique_ptr<TCard>& card : Cards) {
        TUpdateSession& session = *card->Session;
        if (Json)
            Json->Started(*card);
        if (Line.ReadId)
            session.ReadId();
        else
            session.Start();
        card->Silence.start();
        card->Clock.start();
    }
    // The runs begin at the next tick; nobody is there to be shown the idle
    // prompt for another idle interval first.
    for (const std::unique_ptr<TCard>& card : Cards)
        card->Session->Timer1Timer();
    if (Line.TimeoutSeconds > 0)
        SilenceCheck.start();
    if (ProgressOnTerminal)
        ProgressTimer.start();
    return QCoreApplication::exec();
}

void TBatchMode::AddCard(const TPortArgument& port)
{
    auto card = std::make_unique<TCard>();
    card->Port = port.Text;
    card->Session = std::make_unique<TUpdateSession>(AppDir, Line.Script);
    TCard& added = *card;
    TUpdateSession& session = *added.Session;
    session.SetOperatorHints(BatchHints);
    added.Report = std::make_unique<TRunReport>(
        session, Line.ReportDir.empty() ? TSettingsFile::DefaultReportFolder(AppDir) : Line.ReportDir);
    session.OnStatusLine = [this, &added](const std::string& text) {
        if (Json)
            Json->StatusLine(added, text);
        else
            PrintStatus(Tagged(added, text));
    };
    session.OnBox = [this, &added](TBoxKind kind, const std::string& text) {
        if (Json)
            Json->Box(added, kind, text);
        else
            PrintError(Tagged(added, text));
    };
    session.OnRunEnd = [this, &added](TUpdateSession::TRunResult result, const std::string& message, const std::string&) {
        RunEnded(added, result, message);
    };
    session.OnReplyTaken = [&added] { added.Silence.restart(); };
    session.OnDeviceID = [this, &added](std::int32_t id) {
        added.DeviceId = id;
        added.DeviceKnown = true;
        if (Json)
            Json->DeviceId(added);
    };
    if (Bundle) {
        session.SetConfinedToFolder(true);
        added.Report->SetBundle(ReportBundle(*Bundle));
        session.ShowInfo(OriginLine(*Bundle));
    }
    session.SetLink(port.Link);
    session.SetCheckUpdate(Choice.CheckUpdate && !Line.NoCheck);
    if (Line.Manual) {
        session.SetManual(true);
        session.SetSelection({Line.Manual->Motherboard, Line.Manual->Mcu, Line.Manual->Prom1});
    }
    Cards.push_back(std::move(card));
}

std::string TBatchMode::Tagged(const TCard& card, const std::string& text) const
{
    return Cards.size() > 1 ? '[' + card.Port + "] " + text : text;
}

void TBatchMode::PrintStatus(const std::string& line)
{
    ClearProgress();
    WriteAll(stdout, ControlsEscaped(line) + '\n');
}

void TBatchMode::PrintError(const std::string& text)
{
    ClearProgress();
    WriteAll(stderr, ControlsEscaped(text) + '\n');
}

void TBatchMode::RunEnded(TCard& card, TUpdateSession::TRunResult result, const std::string& message)
{
    if (card.Ended)
        return;
    card.Ended = true;
    card.Result = result;
    card.Message = message;
    card.DurationMs = card.Clock.elapsed();
    if (Json)
        Json->Ended(card, SummaryRow(card));
    // Nothing more of this card: no idle prompt between the others' lines.
    card.Session->Close();
    for (const std::unique_ptr<TCard>& other : Cards)
        if (!other->Ended)
            return;
    bool completed = true;
    for (const std::unique_ptr<TCard>& other : Cards)
        completed = completed && other->Result == TUpdateSession::TRunResult::Completed;
    // The step that ended the run is still on its way out: leave after it.
    QTimer::singleShot(0, &SilenceCheck, [this, completed] { Finish(completed ? 0 : 1); });
}

void TBatchMode::SignalArrived(int signal)
{
    PrintError(FormatText(constante::BatchStopped, std::to_string(signal)));
    Finish(128 + signal);
}

// Each card has its own time-out: a silent card fails, the others go on. A card
// that sends only line noise is silent.
void TBatchMode::CheckSilence()
{
    for (const std::unique_ptr<TCard>& card : Cards) {
        if (card->Ended || !card->Session->WaitsOnCard()) {
            card->Silence.restart();
            continue;
        }
        if (card->Silence.elapsed() < static_cast<qint64>(Line.TimeoutSeconds) * 1000)
            continue;
        card->Silence.restart();
        card->Session->Fail(FormatText(constante::BatchTimedOut, std::to_string(Line.TimeoutSeconds)));
    }
}

void TBatchMode::DrawProgress()
{
    std::string text;
    for (const std::unique_ptr<TCard>& card : Cards) {
        const TUpdateSession& session = *card->Session;
        const int overall = Percent(session.GetBar(TUpdateSession::TRunBar::Whole));
        const int operation = Percent(session.GetBar(TUpdateSession::TRunBar::Operation));
        if (Cards.size() == 1)
            text = ProgressLineText(overall, operation, session.SecondsLeft());
        else
            text += (text.empty() ? "" : "  ") + card->Port + ' ' + std::to_string(overall) + '%';
    }
    if (text == ProgressDrawn)
        return;
    ProgressDrawn = text;
    WriteAll(stderr, EraseLine + text);
}

void TBatchMode::ClearProgress()
{
    if (ProgressDrawn.empty())
        return;
    ProgressDrawn.clear();
    WriteAll(stderr, EraseLine);
}

TSummaryRow TBatchMode::SummaryRow(const TCard& card) const
{
    TSummaryRow row;
    row.Port = LinkName(card.Session->GetLink());
    row.DeviceKnown = card.DeviceKnown;
    row.DeviceId = card.DeviceId;
    row.Result = card.Result;
    row.DurationMs = card.DurationMs;
    row.LinesSent = card.Session->GetLinesSent();
    row.Retransmissions = card.Session->GetRetransmissions();
    row.NoiseDropped = card.Session->GetNoiseDropped();
    row.Message = card.Message;
    row.Account = card.Report->Account();
    return row;
}

std::vector<TSummaryRow> TBatchMode::SummaryRows() const
{
    std::vector<TSummaryRow> rows;
    for (const std::unique_ptr<TCard>& card : Cards)
        rows.push_back(SummaryRow(*card));
    return rows;
}

void TBatchMode::PrintSummary()
{
    const std::vector<TSummaryRow> rows = SummaryRows();
    if (Cards.size() > 1)
        for (const std::string& line : SummaryLines(rows))
            PrintStatus(line);
    // A failed run that touched nothing has said all with its error.
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (rows[index].Result != TUpdateSession::TRunResult::Completed && !Cards[index]->Report->ProgrammedAnything())
            continue;
        for (const std::string& line : rows[index].Account)
            PrintStatus(Tagged(*Cards[index], line));
    }
}

void TBatchMode::Finish(int exitCode)
{
    if (Finished)
        return;
    Finished = true;
    SilenceCheck.stop();
    ProgressTimer.stop();
    ClearProgress();
    for (const std::unique_ptr<TCard>& card : Cards) {
        card->Session->Stop();
        card->Session->Close();
        RunEnded(*card, TUpdateSession::TRunResult::Stopped, {});
    }
    if (Json)
        Json->Summary(SummaryRows(), exitCode);
    else
        PrintSummary();
    std::string message;
    if (Line.Ports.empty() && !Settings.Save(SettingsPath(), Choice, message))
        PrintError(message);
    QCoreApplication::exit(exitCode);
}
