#include "CardSet.h"

#include <algorithm>

TCardSet::TCardSet(std::string appDir, std::string script, std::string reportFolder)
    : AppDir(std::move(appDir)), Script(std::move(script)), ReportFolder(std::move(reportFolder))
{
}

TCardSet::~TCardSet()
{
    // Runs stopped on the way out tell nobody.
    OnCardChanged = nullptr;
    OnProgress = nullptr;
    OnStatusLine = nullptr;
    OnRunningChanged = nullptr;
    OnAllEnded = nullptr;
    Close();
}

void TCardSet::SetReportFolder(const std::string& folder)
{
    ReportFolder = folder;
    for (const std::unique_ptr<TCard>& card : Cards)
        card->Report->SetFolder(folder);
}

bool TCardSet::Add(const TPortArgument& port, std::string& error)
{
    std::vector<TPortArgument> ports = Ports();
    ports.push_back(port);
    error = PortConflict(ports);
    if (!error.empty())
        return false;
    auto card = std::make_unique<TCard>();
    card->Port = port;
    card->Session = std::make_unique<TUpdateSession>(AppDir, Script);
    card->Session->SetOperatorHints(CardsWindowHints);
    card->Report = std::make_unique<TRunReport>(*card->Session, ReportFolder);
    if (Bundle) {
        card->Session->SetConfinedToFolder(true);
        card->Report->SetBundle(Bundle);
    }
    Wire(*card);
    // Its prompt at once, not after the first idle interval.
    card->Session->Timer1Timer();
    Cards.push_back(std::move(card));
    return true;
}

void TCardSet::Wire(TCard& card)
{
    TUpdateSession& session = *card.Session;
    session.OnStatusLine = [this, &card](const std::string& line) {
        card.Lines.push_back(line);
        if (OnStatusLine)
            OnStatusLine(card, line);
        if (card.State == TCardState::Running) {
            card.Step = line;
            Changed(card);
        }
    };
    session.OnProgress = [this, &card](TUpdateSession::TRunBar bar, const TUpdateSession::TBarValue& value) {
        if (OnProgress)
            OnProgress(card, bar, value);
    };
    session.OnDeviceID = [this, &card](std::int32_t id) {
        card.DeviceId = id;
        card.DeviceKnown = true;
        Changed(card);
    };
    // Rows, not boxes: the failure shows in the card's row.
    session.OnBox = [&card](TBoxKind, const std::string& text) { card.BoxText = text; };
    session.OnRunEnd = [this, &card](TUpdateSession::TRunResult result, const std::string& message, const std::string&) {
        RunEnded(card, result, message);
    };
}

bool TCardSet::Remove(std::size_t index)
{
    if (index >= Cards.size() || Cards[index]->State == TCardState::Running)
        return false;
    Cards[index]->Session->Close();
    Cards.erase(Cards.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

std::size_t TCardSet::IndexOf(const TCard& card) const
{
    const auto found = std::find_if(Cards.begin(), Cards.end(), [&card](const auto& entry) { return entry.get() == &card; });
    return static_cast<std::size_t>(found - Cards.begin());
}

std::vector<TPortArgument> TCardSet::Ports() const
{
    std::vector<TPortArgument> ports;
    for (const std::unique_ptr<TCard>& card : Cards)
        ports.push_back(card->Port);
    return ports;
}

bool TCardSet::AnyRunning() const
{
    return std::any_of(Cards.begin(), Cards.end(), [](const auto& card) { return card->State == TCardState::Running; });
}

bool TCardSet::Start(std::size_t index)
{
    if (index >= Cards.size() || Cards[index]->State == TCardState::Running)
        return false;
    TCard& card = *Cards[index];
    TUpdateSession& session = *card.Session;
    const bool first = !AnyRunning();
    session.SetLink(card.Port.Link);
    session.SetManual(Manual);
    session.SetSelection(Selection);
    session.SetCheckUpdate(CheckUpdate);
    if (!session.Start())
        return false;
    // A start with every card at rest begins a new summary.
    if (first)
        for (const std::unique_ptr<TCard>& other : Cards)
            other->InSummary = false;
    card.InSummary = true;
    card.State = TCardState::Running;
    card.Step.clear();
    card.BoxText.clear();
    card.Message.clear();
    card.DeviceKnown = false;
    card.DurationMs = 0;
    card.Clock.start();
    Changed(card);
    if (first && OnRunningChanged)
        OnRunningChanged();
    // The run begins now, not at the next idle tick.
    session.Timer1Timer();
    return true;
}

std::size_t TCardSet::StartAll()
{
    std::size_t started = 0;
    for (std::size_t index = 0; index < Cards.size(); ++index)
        if (Cards[index]->State != TCardState::Running && Start(index))
            ++started;
    return started;
}

void TCardSet::Stop(std::size_t index)
{
    if (index < Cards.size() && Cards[index]->State == TCardState::Running)
        Cards[index]->Session->Stop();
}

void TCardSet::StopAll()
{
    for (std::size_t index = 0; index < Cards.size(); ++index)
        Stop(index);
}

void TCardSet::RunEnded(TCard& card, TUpdateSession::TRunResult result, const std::string& message)
{
    if (card.State != TCardState::Running)
        return;
    card.State = TCardState::Ended;
    card.Result = result;
    card.Message = message;
    card.DurationMs = card.Clock.elapsed();
    if (result != TUpdateSession::TRunResult::Stopped)
        card.Step = message;
    Changed(card);
    if (AnyRunning())
        return;
    if (OnRunningChanged)
        OnRunningChanged();
    if (OnAllEnded)
        OnAllEnded();
}

std::vector<TSummaryRow> TCardSet::Summary() const
{
    std::vector<TSummaryRow> rows;
    for (const std::unique_ptr<TCard>& card : Cards) {
        if (!card->InSummary || card->State != TCardState::Ended)
            continue;
        TSummaryRow row;
        row.Port = card->Port.Text;
        row.DeviceKnown = card->DeviceKnown;
        row.DeviceId = card->DeviceId;
        row.Result = card->Result;
        row.DurationMs = card->DurationMs;
        row.LinesSent = card->Session->GetLinesSent();
        row.Retransmissions = card->Session->GetRetransmissions();
        row.NoiseDropped = card->Session->GetNoiseDropped();
        row.Message = card->Message;
        rows.push_back(row);
    }
    return rows;
}

void TCardSet::Close()
{
    StopAll();
    for (const std::unique_ptr<TCard>& card : Cards)
        card->Session->Close();
}

void TCardSet::Changed(const TCard& card)
{
    if (OnCardChanged)
        OnCardChanged(card);
}
